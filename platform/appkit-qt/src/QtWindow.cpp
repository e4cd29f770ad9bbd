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
std::optional<QtWindowInput> keyInput(const QKeyEvent& event) {
  QtWindowInput input;
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
  appkit::WindowContents contents = appkit::WindowContents::of(window);
  if (!contents.columns.empty()) {
    table_ = std::make_unique<QTableView>(this);
    table_->setModel(&model_);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::TabFocus);
    table_->setAccessibleName(qt(contents.tableName));
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout_.addWidget(table_.get());
  }
  buttonRow_.addStretch();
  buttonViews_ = contents.buttonViews;
  for (std::size_t i = 0; i < contents.buttons.size(); ++i) {
    auto button = std::make_unique<QPushButton>(this);
    // Neither Enter nor a mnemonic may press it behind the window's back.
    button->setAutoDefault(false);
    button->setDefault(false);
    connect(button.get(), &QPushButton::clicked, this, [this, view = contents.buttonViews[i]] {
      onInput_({.kind = QtWindowInput::Kind::ButtonClick, .button = view});
    });
    buttonRow_.addWidget(button.get());
    buttons_.push_back(std::move(button));
  }
  layout_.addLayout(&buttonRow_);
  const int width = contents.width;
  const int height = contents.height;
  showContents(std::move(contents));
  fitAndCentre(width, height);
  qApp->installEventFilter(this);
}

void QtWindow::refresh(appkit::Window& window) { showContents(appkit::WindowContents::of(window)); }

void QtWindow::showContents(appkit::WindowContents contents) {
  setWindowTitle(qt(contents.title));
  if (table_ != nullptr) {
    model_.setContents(std::move(contents.columns), std::move(contents.rows));
    table_->resizeColumnsToContents();
    // Room on either side of the widest text.
    for (int column = 0; column < model_.columnCount({}); ++column) {
      table_->setColumnWidth(column, table_->columnWidth(column) + kCellPadding);
    }
  }
  for (std::size_t i = 0; i < buttons_.size() && i < contents.buttons.size(); ++i) {
    buttons_[i]->setText(buttonTitle(contents.buttons[i]));
  }
  if (contents.focusedButton >= 0 &&
      static_cast<std::size_t>(contents.focusedButton) < buttons_.size()) {
    buttons_[static_cast<std::size_t>(contents.focusedButton)]->setFocus(Qt::OtherFocusReason);
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
      const std::optional<QtWindowInput> input = keyInput(key);
      if (input) {
        onInput_(*input);
      }
      const bool plainTab = (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab) &&
                            (key.modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier;
      if (plainTab) {
        focusNextPrevChild(key.key() == Qt::Key_Tab && key.modifiers() == Qt::NoModifier);
        // The window's first responder follows, so that Enter or Space on
        // the table presses no button.
        for (std::size_t i = 0; i < buttons_.size() && i < buttonViews_.size(); ++i) {
          if (auto view = buttonViews_[i].lock()) {
            view->setAccessibilityFocused(focusWidget() == buttons_[i].get());
          }
        }
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
  onInput_({.kind = QtWindowInput::Kind::CloseButton});
}
