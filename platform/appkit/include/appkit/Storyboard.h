#pragma once

#include <memory>
#include <string>

#include "appkit/AppKitExport.h"

namespace appkit {

class Bundle;
class Object;

// A storyboard: controllers and their views described in an XML file
// "<name>.storyboard" in a bundle's resource folder. Instantiating a
// controller makes its objects by class name and connects outlets and the
// buttons' actions by name. The format:
//
//   <storyboard initialController="window">
//     <windowController id="window">
//       <contentViewController ref="dialog"/>                 (optional)
//     </windowController>
//     <viewController id="dialog" customClass="MyDialog" title="...">
//       <view width="560" height="240">                       (the root view)
//         <tableView id="table">
//           <tableColumn title="Kind"/>
//         </tableView>
//         <button id="close" title="Close" action="close:" target="owner"/>
//       </view>
//       <connections>
//         <outlet property="table" destination="table"/>
//       </connections>
//     </viewController>
//   </storyboard>
//
// Any element may name a registered class in customClass instead of its own
// kind (which it must be); each object is made from the element's attributes
// (Class::instantiate). A button's target is "owner", the scene's view
// controller. An outlet calls the controller's setter "set<Property>:" with
// the destination object as the controller is made, before viewDidLoad().
class VELKAPPKIT_EXPORT Storyboard {
 public:
  struct Contents;
  explicit Storyboard(std::shared_ptr<const Contents> contents);

  // Reads "<name>.storyboard" from `bundle`. Returns nullptr, with a line on
  // standard error, when the file is missing or is not well-formed XML with a
  // <storyboard> root.
  static std::shared_ptr<Storyboard> storyboardWithName(const std::string& name,
                                                        const std::shared_ptr<Bundle>& bundle);

  // New objects for the initial controller's scene: a WindowController (with
  // its content view controller) or a ViewController. Returns nullptr, with a
  // line on standard error, when there is no initial controller, a class is
  // not registered or not of its element's kind, a reference, target or
  // destination is unknown, the controller lacks an outlet's setter, or
  // making an object fails; nothing is thrown.
  std::shared_ptr<Object> instantiateInitialController() const;

 private:
  std::shared_ptr<const Contents> contents_;
};

}  // namespace appkit
