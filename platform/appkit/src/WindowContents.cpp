#include "appkit/WindowContents.h"

#include <any>
#include <cstdint>

#include "appkit/Button.h"
#include "appkit/TableView.h"
#include "appkit/View.h"
#include "appkit/Window.h"

namespace appkit {

namespace {

std::string cellText(const std::any& value) {
  if (const auto* text = std::any_cast<std::string>(&value)) {
    return *text;
  }
  const auto* number = std::any_cast<int>(&value);
  return number != nullptr ? std::to_string(*number) : std::string();
}

void collect(const std::shared_ptr<View>& view, const std::shared_ptr<View>& focus,
             WindowContents& contents) {
  if (auto button = std::dynamic_pointer_cast<Button>(view)) {
    if (button == focus) {
      contents.focusedButton = static_cast<int>(contents.buttons.size());
    }
    contents.buttons.push_back(button->title());
    contents.buttonViews.push_back(button);
  }
  if (auto table = std::dynamic_pointer_cast<TableView>(view); table && contents.columns.empty()) {
    contents.tableName = table->accessibilityLabel();
    for (const auto& column : table->tableColumns()) {
      contents.columns.push_back(column->title());
    }
    const std::int64_t count = table->numberOfRows();
    for (std::int64_t row = 0; row < count; ++row) {
      std::vector<std::string>& cells = contents.rows.emplace_back();
      for (const auto& column : table->tableColumns()) {
        cells.push_back(cellText(table->objectValue(column, row)));
      }
    }
  }
  for (const auto& subview : view->subviews()) {
    collect(subview, focus, contents);
  }
}

}  // namespace

WindowContents WindowContents::of(Window& window) {
  const std::shared_ptr<View> content = window.contentView();
  WindowContents contents{
      .title = window.title(), .width = content->width(), .height = content->height()};
  collect(content, window.firstResponder(), contents);
  return contents;
}

}  // namespace appkit
