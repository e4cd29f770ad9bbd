#include "appkit/TableColumn.h"

#include <utility>

#include "appkit/ClassBuilder.h"
#include "appkit/Coder.h"

namespace appkit {

namespace {
[[maybe_unused]] const bool registered =
    ClassBuilder<TableColumn, Object>::define("TableColumn", [](auto& /*cls*/) {});
}  // namespace

TableColumn::TableColumn(std::string identifier) : identifier_(std::move(identifier)) {}

TableColumn::TableColumn(const Coder& coder)
    : identifier_(coder.decodeString("id").value_or("")),
      title_(coder.decodeString("title").value_or("")) {}

}  // namespace appkit
