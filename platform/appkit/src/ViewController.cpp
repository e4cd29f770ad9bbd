#include "appkit/ViewController.h"

#include <utility>

#include "appkit/Coder.h"

namespace appkit {

ViewController::ViewController(const Coder& coder)
    : title_(coder.decodeString("title").value_or("")) {}

std::shared_ptr<View> ViewController::view() {
  if (!std::exchange(loaded_, true)) {
    viewDidLoad();
  }
  return view_;
}

}  // namespace appkit
