#include "appkit/View.h"

#include <stdexcept>
#include <string>

#include "appkit/Coder.h"

namespace appkit {

namespace {

int decodeSide(const Coder& coder, const char* key) {
  const std::string text = coder.decodeString(key).value_or("0");
  std::size_t end = 0;
  const int value = std::stoi(text, &end);
  if (end != text.size() || value < 0 || value > 10000) {
    throw std::invalid_argument(std::string("view ") + key + " \"" + text + "\" is out of range");
  }
  return value;
}

}  // namespace

View::View(const Coder& coder)
    : width_(decodeSide(coder, "width")),
      height_(decodeSide(coder, "height")),
      accessibilityLabel_(coder.decodeString("accessibilityLabel").value_or("")) {}

}  // namespace appkit
