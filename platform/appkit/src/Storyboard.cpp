#include "appkit/Storyboard.h"

#include <pugixml.hpp>

#include <iostream>
#include <map>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "appkit/Bundle.h"
#include "appkit/Button.h"
#include "appkit/Class.h"
#include "appkit/TableView.h"
#include "appkit/WindowController.h"

namespace appkit {

struct Storyboard::Contents {
  std::string path;
  pugi::xml_document document;
};

namespace {

// Makes the objects of one scene by class name and wires them; throws
// std::runtime_error saying what it cannot make.
class SceneBuilder {
 public:
  explicit SceneBuilder(const pugi::xml_node& root) : root_(root) {}

  // The objects of the scene `id`: a window controller with its content, or
  // a view controller.
  std::shared_ptr<Object> scene(const char* id) {
    const pugi::xml_node element = sceneElement(id, "windowController");
    if (element.empty()) {
      return viewController(sceneElement(id, "viewController"));
    }
    auto controller = make<WindowController>(element);
    const pugi::xml_node content = element.child("contentViewController");
    if (!content.empty()) {
      controller->setContentViewController(
          viewController(sceneElement(content.attribute("ref").value(), "viewController")));
    }
    return controller;
  }

 private:
  std::shared_ptr<ViewController> viewController(const pugi::xml_node& element) {
    if (element.empty()) {
      throw std::runtime_error("no view controller scene of that id");
    }
    auto controller = make<ViewController>(element);
    const pugi::xml_node rootView = element.child("view");
    std::shared_ptr<View> root = rootView.empty() ? nullptr : view(rootView);
    std::vector<std::pair<Selector, std::shared_ptr<Object>>> outlets;
    for (const pugi::xml_node& outlet : element.child("connections").children("outlet")) {
      const std::string property = outlet.attribute("property").value();
      if (!controller->respondsToSelector(Class::setterOf(property))) {
        throw std::runtime_error("the view controller has no outlet \"" + property + "\"");
      }
      outlets.emplace_back(Class::setterOf(property),
                           find(outlet.attribute("destination").value()));
    }
    for (const auto& button : ownersButtons_) {
      button->setTarget(controller);
    }
    // The views wait in the loader until the controller loads its view; the
    // outlets are set then, before viewDidLoad().
    controller->setViewLoader([root, outlets](ViewController& owner) {
      for (const auto& [setter, destination] : outlets) {
        owner.performSelector(setter, destination);
      }
      return root;
    });
    return controller;
  }

  std::shared_ptr<View> view(const pugi::xml_node& element) {
    const std::string_view name = element.name();
    if (name == "button") {
      auto button = make<Button>(element);
      const std::string_view target = element.attribute("target").value();
      if (target == "owner") {
        ownersButtons_.push_back(button);
      } else if (!target.empty()) {
        throw std::runtime_error("a button's target is \"owner\" or none");
      }
      return button;
    }
    if (name == "tableView") {
      auto table = make<TableView>(element);
      for (const pugi::xml_node& column : element.children()) {
        table->addTableColumn(make<TableColumn>(column, "tableColumn"));
      }
      return table;
    }
    auto container = make<View>(element, "view");
    for (const pugi::xml_node& child : element.children()) {
      container->addSubview(view(child));
    }
    return container;
  }

  // An instance of the element's customClass, which must be a T, or else a
  // plain T, made from the element's attributes; the element must be a
  // `kind` when one is given.
  template <class T>
  std::shared_ptr<T> make(const pugi::xml_node& element, std::string_view kind = {}) {
    if (!kind.empty() && element.name() != kind) {
      throw std::runtime_error("unexpected <" + std::string(element.name()) + ">");
    }
    std::map<std::string, std::string, std::less<>> values;
    for (const pugi::xml_attribute& attribute : element.attributes()) {
      values[attribute.name()] = attribute.value();
    }
    const Coder coder(std::move(values));
    const char* className = element.attribute("customClass").as_string(nullptr);
    const Class* cls = className != nullptr ? Class::named(className) : nullptr;
    auto object = className == nullptr ? std::make_shared<T>(coder)
                  : cls != nullptr     ? std::dynamic_pointer_cast<T>(cls->instantiate(coder))
                                       : nullptr;
    if (object == nullptr) {
      throw std::runtime_error("no \"" + std::string(className) + "\" can be made");
    }
    objects_[element.attribute("id").value()] = object;
    return object;
  }

  pugi::xml_node sceneElement(const char* id, const char* kind) const {
    return *id == '\0' ? pugi::xml_node() : root_.find_child_by_attribute(kind, "id", id);
  }

  std::shared_ptr<Object> find(const std::string& id) const {
    const auto found = objects_.find(id);
    if (id.empty() || found == objects_.end()) {
      throw std::runtime_error("no object with id \"" + id + "\"");
    }
    return found->second;
  }

  pugi::xml_node root_;
  std::map<std::string, std::shared_ptr<Object>, std::less<>> objects_;
  std::vector<std::shared_ptr<Button>> ownersButtons_;
};

void report(const std::string& path, const std::string& message) {
  std::cerr << "appkit: storyboard " << path << ": " << message << '\n';
}

}  // namespace

Storyboard::Storyboard(std::shared_ptr<const Contents> contents) : contents_(std::move(contents)) {}

std::shared_ptr<Storyboard> Storyboard::storyboardWithName(const std::string& name,
                                                           const std::shared_ptr<Bundle>& bundle) {
  try {
    const auto path =
        bundle != nullptr ? bundle->pathForResource(name, "storyboard") : std::nullopt;
    if (!path) {
      report(name, "not found in " + (bundle != nullptr ? bundle->resourcePath() : "no bundle"));
      return nullptr;
    }
    auto contents = std::make_shared<Contents>();
    contents->path = *path;
    const pugi::xml_parse_result result = contents->document.load_file(path->c_str());
    if (!result || !contents->document.child("storyboard")) {
      report(*path, result ? "the root element is not <storyboard>" : result.description());
      return nullptr;
    }
    return std::make_shared<Storyboard>(std::move(contents));
  } catch (const std::exception& error) {
    report(name, error.what());
    return nullptr;
  }
}

std::shared_ptr<Object> Storyboard::instantiateInitialController() const {
  try {
    const pugi::xml_node root = contents_->document.child("storyboard");
    return SceneBuilder(root).scene(root.attribute("initialController").value());
  } catch (const std::exception& error) {
    report(contents_->path, error.what());
    return nullptr;
  }
}

}  // namespace appkit
