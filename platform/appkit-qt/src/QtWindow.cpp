#include "QtWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "appkit/Button.h"
#include "appkit/Window.h"
#include "appkit/WindowContents.h"

namespace {

constexpr int kCellPadding = 24;

QString qt(const std::string& text) { return QString::fromStdString(text); }

// A button title as Qt shows it: '&' stays an ampersand, not a mnemonic.
QString buttonTitle(const std::string& title) {
  return qt(title).replace(QLatin1Char('&'), QLatin1String("&&"));
}

Qt::WindowFlags flagsFor(appkit::WindowStyleMask mask) {
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
  flags.setFlag(Qt::WindowTitleHint, (mask & appkit::WindowStyleMaskTitled) != 0);
  flags.setFlag(Qt::WindowCloseButtonHint, (mask & appkit::WindowStyleMaskClosable) != 0);
  return flags;
}

// A key press as the appkit backends type it; nullopt for a modifier key alone
// and keys that type nothing.
std::optional<appkit::Input> keyInput(const QKeyEvent& event) {
  appkit::Input input;
  static constexpr std::array<std::pair<Qt::KeyboardModifier, appkit::EventModifierFlags>, 4>
      kModifiers = {{{Qt::ShiftModifier, appkit::EventModifierFlagShift},
                     {Qt::ControlModifier, appkit::EventModifierFlagControl},
                     {Qt::AltModifier, appkit::EventModifierFlagOption},
                     {Qt::MetaModifier, appkit::EventModifierFlagCommand}}};
  for (const auto& [modifier, flag] : kModifiers) {
    input.modifierFlags |= event.modifiers().testFlag(modifier) ? flag : 0;
  }
  const int key = event.key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z) {
    input.key = std::string(1, static_cast<char>('a' + (key - Qt::Key_A)));
    return input;
  }
  static constexpr std::array<std::pair<int, const char*>, 6> kNamedKeys = {
      {{Qt::Key_Return, "\r"},
       {Qt::Key_Enter, "\r"},
       {Qt::Key_Space, " "},
       {Qt::Key_Tab, "\t"},
       {Qt::Key_Backtab, "\t"},
       {Qt::Key_Escape, "\x1b"}}};
  for (const auto& [code, text] : kNamedKeys) {
    if (key == code) {
      input.key = text;
      return input;
    }
  }
  const QString text = event.text();
  if (text.isEmpty() || !text.at(0).isPrint()) {
    return std::nullopt;
  }
  input.key = text.toStdString();
  return input;
}

}  // namespace

QtWindow::QtWindow(appkit::Window& window, InputHandler onInput)
    : QDialog(nullptr, flagsFor(window.styleMask())), onInput_(std::move(onInput)), layout_(this) {
  setWindowModality(Qt::ApplicationModal);
  const appkit::WindowContents contents = appkit::WindowContents::of(window);
  setWindowTitle(qt(contents.title));
  if (!contents.columns.empty()) {
    const auto columns = static_cast<int>(contents.columns.size());
    table_ = std::make_unique<QTableWidget>(static_cast<int>(contents.rows.size()), columns, this);
    QStringList titles;
    for (const auto& title : contents.columns) {
      titles << qt(title);
    }
    table_->setHorizontalHeaderLabels(titles);
    QAbstractItemModel& cells = *table_->model();
    for (int row = 0; row < table_->rowCount(); ++row) {
      const auto& texts = contents.rows[static_cast<std::size_t>(row)];
      for (int column = 0; column < columns && column < static_cast<int>(texts.size()); ++column) {
        cells.setData(cells.index(row, column), qt(texts[static_cast<std::size_t>(column)]));
      }
    }
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::TabFocus);
    table_->setAccessibleName(qt(contents.tableName));
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->resizeColumnsToContents();
    // Room on either side of the widest text.
    for (int column = 0; column < columns; ++column) {
      table_->setColumnWidth(column, table_->columnWidth(column) + kCellPadding);
    }
    layout_.addWidget(table_.get());
  }
  buttonRow_.addStretch();
  buttonViews_ = contents.buttonViews;
  for (const auto& title : contents.buttons) {
    auto button = std::make_unique<QPushButton>(buttonTitle(title), this);
    // Neither Enter nor a mnemonic may press it behind the window's back.
    button->setAutoDefault(false);
    button->setDefault(false);
    connect(button.get(), &QPushButton::clicked, this, [this, clicked = button.get()] {
      firstResponderFollows(clicked);
      onInput_({.kind = appkit::Input::Kind::ButtonPress});
    });
    buttonRow_.addWidget(button.get());
    buttons_.push_back(std::move(button));
  }
  layout_.addLayout(&buttonRow_);
  if (contents.focusedButton >= 0) {
    buttons_[static_cast<std::size_t>(contents.focusedButton)]->setFocus(Qt::OtherFocusReason);
  }
  fitAndCentre(contents.width, contents.height);
  qApp->installEventFilter(this);
}

void QtWindow::firstResponderFollows(const QWidget* focus) {
  for (std::size_t i = 0; i < buttons_.size() && i < buttonViews_.size(); ++i) {
    if (auto view = buttonViews_[i].lock()) {
      view->setAccessibilityFocused(focus == buttons_[i].get());
    }
  }
}

void QtWindow::fitAndCentre(int width, int height) {
  if (table_ != nullptr) {
    // Every column and row shows whole: the table is at least as large as
    // its header and cells.
    const int frame = 2 * table_->frameWidth();
    const int columnsWidth = table_->horizontalHeader()->length() + frame;
    const int rowsHeight =
        table_->horizontalHeader()->height() + table_->verticalHeader()->length() + frame;
    table_->setMinimumSize(columnsWidth, rowsHeight);
  }
  const QSize hint = layout_.sizeHint();
  const QSize size(std::max(width, hint.width()), std::max(height, hint.height()));
  setFixedSize(size);
  if (const QScreen* screen = this->screen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(size.width() / 2, size.height() / 2));
  }
}

bool QtWindow::eventFilter(QObject* watched, QEvent* event) {
  const auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != this) {
    return false;
  }
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      // The key press comes as such, not as a shortcut or mnemonic.
      event->accept();
      return true;
    case QEvent::KeyPress: {
      auto& key = *static_cast<QKeyEvent*>(event);
      const std::optional<appkit::Input> input = keyInput(key);
      if (input) {
        onInput_(*input);
      }
      const bool plainTab = (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab) &&
                            (key.modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier;
      if (plainTab) {
        focusNextPrevChild(key.key() == Qt::Key_Tab && key.modifiers() == Qt::NoModifier);
        // So that Enter or Space on the table presses no button.
        firstResponderFollows(focusWidget());
      }
      // Keys that type nothing move through the table when it has the focus.
      return input || qobject_cast<const QTableView*>(widget) == nullptr;
    }
    case QEvent::KeyRelease:
      return true;
    case QEvent::FocusIn:
      // Shows where the keyboard focus is before any key has moved it: Qt
      // draws the focus only after Tab unless the window says otherwise.
      setAttribute(Qt::WA_KeyboardFocusChange);
      return false;
    default:
      return false;
  }
}

void QtWindow::closeEvent(QCloseEvent* event) {
  // The title bar's close button: the appkit window decides whether it closes.
  event->ignore();
  onInput_({.kind = appkit::Input::Kind::CloseButton});
}
