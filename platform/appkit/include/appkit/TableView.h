#pragma once

#include <any>
#include <cstdint>
#include <memory>
#include <vector>

#include "appkit/AppKitExport.h"
#include "appkit/TableColumn.h"
#include "appkit/View.h"

namespace appkit {

// A table of rows in titled columns. It holds no cell values: it asks its
// data source for them, through the selectors "numberOfRowsInTableView:"
// (argument: the table, a std::shared_ptr<TableView>; result: std::int64_t)
// and "tableView:objectValueForTableColumn:row:" (argument: a CellRequest;
// result: the cell's value).
class VELKAPPKIT_EXPORT TableView : public View {
 public:
  struct CellRequest {
    std::shared_ptr<TableView> tableView;
    std::shared_ptr<TableColumn> tableColumn;
    std::int64_t row = 0;
  };

  explicit TableView(const Coder& coder) : View(coder) {}

  const std::vector<std::shared_ptr<TableColumn>>& tableColumns() const { return columns_; }
  void addTableColumn(const std::shared_ptr<TableColumn>& column) { columns_.push_back(column); }

  // The table asks its delegate nothing, so it keeps none.
  void setDelegate(const std::shared_ptr<Object>& /*delegate*/) {}
  // Held weakly.
  void setDataSource(const std::shared_ptr<Object>& dataSource) { dataSource_ = dataSource; }

  // The data source's row count; 0 without a data source that gives one.
  std::int64_t numberOfRows();

  // The data source's value for the cell (rows outside the table are its to
  // answer); empty without a data source.
  std::any objectValue(const std::shared_ptr<TableColumn>& column, std::int64_t row);

 private:
  std::vector<std::shared_ptr<TableColumn>> columns_;
  std::weak_ptr<Object> dataSource_;
};

}  // namespace appkit
