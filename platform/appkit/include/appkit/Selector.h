#pragma once

#include <string>

namespace appkit {

// The name of a method, as in "closeButton_actionPerformed:" or "setTable:".
// Objects answer selectors through the table of their registered class (see
// Class and ClassBuilder).
using Selector = std::string;

}  // namespace appkit
