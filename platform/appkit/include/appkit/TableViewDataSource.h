#pragma once

#include <any>
#include <cstdint>
#include <memory>

#include "appkit/AppKitExport.h"

namespace appkit {

class TableColumn;
class TableView;

// Where a table view gets its rows. The table asks again whenever it is drawn.
class VELKAPPKIT_EXPORT TableViewDataSource {
 public:
  virtual ~TableViewDataSource();

  // The number of rows of `tableView`.
  virtual std::int64_t numberOfRows(TableView& tableView) = 0;

  // The value of the cell in `tableColumn` (nullptr when the table has no
  // column) at `row`, counted from 0. An empty any shows nothing; a
  // std::string shows as it is; numbers show in decimal.
  virtual std::any tableView(TableView& tableView, const std::shared_ptr<TableColumn>& tableColumn,
                             std::int64_t row) = 0;
};

}  // namespace appkit
