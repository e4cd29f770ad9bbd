#pragma once

#include <string>

#include "appkit/AppKitExport.h"
#include "appkit/Coder.h"
#include "appkit/Object.h"

namespace appkit {

// One column of a table view, told apart by its header title.
class VELKAPPKIT_EXPORT TableColumn : public Object {
 public:
  // Decodes "title".
  explicit TableColumn(const Coder& coder) : title_(coder.decodeString("title").value_or("")) {}

  const std::string& title() const { return title_; }

 private:
  std::string title_;
};

}  // namespace appkit
