#pragma once

#include <any>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "appkit/AppKitExport.h"
#include "appkit/View.h"

namespace appkit {

class Coder;
class TableColumn;
class TableViewDataSource;

// A table of rows in titled columns. It holds no cell values: it asks its data
// source for them each time it is drawn.
class VELKAPPKIT_EXPORT TableView : public View {
 public:
  TableView() = default;
  explicit TableView(const Coder& coder);

  const std::vector<std::shared_ptr<TableColumn>>& tableColumns() const { return columns_; }
  // Adds `column` at the right end; nullptr is ignored.
  void addTableColumn(const std::shared_ptr<TableColumn>& column);

  // The delegate, held weakly; nullptr when unset or gone.
  std::shared_ptr<Object> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<Object>& delegate) { delegate_ = delegate; }

  // The data source, held weakly; nullptr when unset or gone.
  std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
  void setDataSource(const std::shared_ptr<TableViewDataSource>& dataSource) {
    dataSource_ = dataSource;
  }

  // The data source's row count; 0 without a data source or for a negative
  // count.
  std::int64_t numberOfRows();

  // The data source's value for the cell; empty without a data source or
  // outside the rows.
  std::any objectValue(const std::shared_ptr<TableColumn>& column, std::int64_t row);

  // Has the window draw the table again with the data source's current rows.
  void reloadData();

 private:
  std::vector<std::shared_ptr<TableColumn>> columns_;
  std::weak_ptr<Object> delegate_;
  std::weak_ptr<TableViewDataSource> dataSource_;
};

}  // namespace appkit
