#pragma once

#include <memory>
#include <string>

#include "appkit/AppKitExport.h"

namespace appkit {

class Bundle;
class Object;

// A storyboard: controllers and their views described in an XML file
// "<name>.storyboard" in a bundle's resource folder. Instantiating a
// controller makes its objects by class name and connects outlets and actions
// by name. The format:
//
//   <storyboard initialController="window">
//     <windowController id="window" customClass="...">        (customClass optional)
//       <contentViewController ref="dialog"/>                 (optional)
//     </windowController>
//     <viewController id="dialog" customClass="MyDialog" title="...">
//       <view>                                                (the root view, optional)
//         <tableView id="table">
//           <tableColumn id="kind" title="Kind"/>
//         </tableView>
//         <button id="close" title="Close" action="close:" target="owner"/>
//         <view>...nested views...</view>
//       </view>
//       <connections>
//         <outlet property="table" destination="table"/>
//       </connections>
//     </viewController>
//   </storyboard>
//
// Scenes are the <windowController> and <viewController> children of the root.
// Every element may name a registered subclass in customClass; each class is
// instantiated through its Coder constructor with the element's attributes.
// A button's target is "owner" (the scene's view controller), the id of
// another object of the scene, or absent (the key window's responder chain).
// An outlet calls the scene controller's setter "set<Property>:" with the
// destination object when the view is loaded, before viewDidLoad().
class VELKAPPKIT_EXPORT Storyboard {
  struct Contents;
  struct Key {
    explicit Key() = default;
  };

 public:
  // Use storyboardWithName().
  Storyboard(Key key, std::shared_ptr<const Contents> contents);
  ~Storyboard();
  Storyboard(const Storyboard&) = delete;
  Storyboard& operator=(const Storyboard&) = delete;

  // Reads "<name>.storyboard" from `bundle` (the main bundle for nullptr);
  // a file parsed before and unchanged since (same inode, size, modification
  // and change time, the change a second or more before that parse) is not
  // read again. Returns nullptr, with a line on standard error, when the file
  // is missing or is not well-formed XML with a <storyboard> root.
  static std::shared_ptr<Storyboard> storyboardWithName(const std::string& name,
                                                        const std::shared_ptr<Bundle>& bundle);

  // New objects for the initial controller's scene: a WindowController (with
  // its content view controller) or a ViewController. Returns nullptr, with a
  // line on standard error, when there is no initial controller, a class is
  // not registered or not of the element's kind, a reference or destination
  // is unknown, the controller lacks an outlet's setter, or making an object
  // fails; nothing is thrown.
  std::shared_ptr<Object> instantiateInitialController() const;

 private:
  std::shared_ptr<const Contents> contents_;
};

}  // namespace appkit
