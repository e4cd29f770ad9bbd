#include "appkit/TableView.h"

#include "appkit/ClassBuilder.h"
#include "appkit/TableColumn.h"
#include "appkit/TableViewDataSource.h"
#include "appkit/Window.h"

namespace appkit {

namespace {
[[maybe_unused]] const bool registered =
    ClassBuilder<TableView, View>::define("TableView", [](auto& /*cls*/) {});
}  // namespace

TableView::TableView(const Coder& coder) : View(coder) {}

void TableView::addTableColumn(const std::shared_ptr<TableColumn>& column) {
  if (column != nullptr) {
    columns_.push_back(column);
  }
}

std::int64_t TableView::numberOfRows() {
  auto source = dataSource();
  if (source == nullptr) {
    return 0;
  }
  const std::int64_t rows = source->numberOfRows(*this);
  return rows > 0 ? rows : 0;
}

std::any TableView::objectValue(const std::shared_ptr<TableColumn>& column, std::int64_t row) {
  auto source = dataSource();
  if (source == nullptr || row < 0 || row >= numberOfRows()) {
    return {};
  }
  return source->tableView(*this, column, row);
}

void TableView::reloadData() {
  if (auto window = this->window()) {
    window->display();
  }
}

}  // namespace appkit
