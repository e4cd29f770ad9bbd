#include "appkit/WindowContents.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <sstream>

#include "DisplayWidth.h"
#include "appkit/Button.h"
#include "appkit/TableColumn.h"
#include "appkit/TableView.h"
#include "appkit/View.h"
#include "appkit/Window.h"

namespace appkit {

namespace {

void collect(const std::shared_ptr<View>& view, const std::shared_ptr<Responder>& focus,
             WindowContents& contents) {
  if (auto button = std::dynamic_pointer_cast<Button>(view)) {
    if (button == focus) {
      contents.focusedButton = static_cast<int>(contents.buttons.size());
    }
    contents.buttons.push_back(button->title());
    contents.buttonViews.push_back(button);
  }
  if (auto table = std::dynamic_pointer_cast<TableView>(view); table && !contents.hasTable) {
    contents.hasTable = true;
    for (const auto& column : table->tableColumns()) {
      contents.columns.push_back(column->title());
    }
    const std::int64_t count = table->numberOfRows();
    for (std::int64_t row = 0; row < count; ++row) {
      std::vector<std::string> cells;
      for (const auto& column : table->tableColumns()) {
        cells.push_back(WindowContents::cellText(table->objectValue(column, row)));
      }
      contents.rows.push_back(std::move(cells));
    }
  }
  for (const auto& subview : view->subviews()) {
    collect(subview, focus, contents);
  }
}

template <class T>
bool print(const std::any& value, std::string& text) {
  if (const T* number = std::any_cast<T>(&value)) {
    std::ostringstream out;
    out << *number;
    text = out.str();
    return true;
  }
  return false;
}

}  // namespace

WindowContents WindowContents::of(Window& window) {
  WindowContents contents;
  contents.title = window.title();
  if (auto content = window.contentView()) {
    contents.width = content->frameSize().width;
    contents.height = content->frameSize().height;
    collect(content, window.firstResponder(), contents);
  }
  return contents;
}

std::vector<int> WindowContents::columnWidths() const {
  std::vector<int> widths;
  for (const auto& column : columns) {
    widths.push_back(displayWidth(column));
  }
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      widths[i] = std::max(widths[i], displayWidth(row[i]));
    }
  }
  return widths;
}

std::string WindowContents::cellText(const std::any& value) {
  if (const auto* text = std::any_cast<std::string>(&value)) {
    return *text;
  }
  if (const auto* text = std::any_cast<const char*>(&value)) {
    return *text != nullptr ? *text : "";
  }
  std::string text;
  [[maybe_unused]] const bool printed =
      print<int>(value, text) || print<long>(value, text) || print<long long>(value, text) ||
      print<unsigned>(value, text) || print<unsigned long>(value, text) ||
      print<unsigned long long>(value, text) || print<double>(value, text);
  return text;
}

}  // namespace appkit
