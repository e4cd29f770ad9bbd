#include "appkit/TableView.h"

namespace appkit {

std::int64_t TableView::numberOfRows() {
  auto source = dataSource_.lock();
  const std::optional<std::any> rows =
      source != nullptr ? source->performSelector("numberOfRowsInTableView:", sharedAs<TableView>())
                        : std::nullopt;
  const auto* count = rows ? std::any_cast<std::int64_t>(&*rows) : nullptr;
  return count != nullptr && *count > 0 ? *count : 0;
}

std::any TableView::objectValue(const std::shared_ptr<TableColumn>& column, std::int64_t row) {
  auto source = dataSource_.lock();
  const std::optional<std::any> value =
      source != nullptr ? source->performSelector("tableView:objectValueForTableColumn:row:",
                                                  CellRequest{sharedAs<TableView>(), column, row})
                        : std::nullopt;
  return value.value_or(std::any());
}

}  // namespace appkit
