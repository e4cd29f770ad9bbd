#pragma once

#include <string>

#include "appkit/AppKitExport.h"
#include "appkit/Object.h"

namespace appkit {

class Coder;

// One column of a table view, told apart by its identifier or header title.
class VELKAPPKIT_EXPORT TableColumn : public Object {
 public:
  explicit TableColumn(std::string identifier = {});
  // Decodes "id" as the identifier and "title".
  explicit TableColumn(const Coder& coder);

  const std::string& identifier() const { return identifier_; }
  // The header title.
  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }

 private:
  std::string identifier_;
  std::string title_;
};

}  // namespace appkit
