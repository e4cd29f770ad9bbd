// A bare Qt Widgets program that shows what the reminder's desktop window
// shows: its title, the table of certificates with fitted columns and the
// focused close button, modal, fixed in size. The window latency script times
// it against `velk-host remind --ui desktop`.
// Usage: bare_window CLASS,SERIAL,DATE...

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

int main(int argc, char** argv) {
  const QApplication application(argc, argv);
  const QStringList rows = QApplication::arguments().mid(1);
  QDialog window;
  window.setWindowTitle(QStringLiteral("証明書の有効期限のお知らせ"));
  window.setWindowModality(Qt::ApplicationModal);
  QVBoxLayout layout(&window);
  QTableWidget table(static_cast<int>(rows.size()), 3, &window);
  table.setHorizontalHeaderLabels(
      {QStringLiteral("種別"), QStringLiteral("シリアル番号"), QStringLiteral("有効期限の満了日")});
  for (int row = 0; row < rows.size(); ++row) {
    const QStringList cells = rows[row].split(QLatin1Char(','));
    for (int column = 0; column < 3 && column < cells.size(); ++column) {
      // The table takes the item over.
      table.setItem(row, column, std::make_unique<QTableWidgetItem>(cells[column]).release());
    }
  }
  table.verticalHeader()->hide();
  table.horizontalHeader()->setStretchLastSection(true);
  table.resizeColumnsToContents();
  layout.addWidget(&table);
  QHBoxLayout buttons;
  buttons.addStretch();
  QPushButton close(QStringLiteral("閉じる"), &window);
  QObject::connect(&close, &QPushButton::clicked, &window, &QDialog::accept);
  buttons.addWidget(&close);
  layout.addLayout(&buttons);
  window.setFixedSize(window.sizeHint().expandedTo(QSize(560, 240)));
  close.setFocus();
  window.show();
  return QApplication::exec();
}
