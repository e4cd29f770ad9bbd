#include "appkit/Storyboard.h"

#include <pugixml.hpp>

#include <iostream>
#include <map>
#include <stdexcept>
#include <string_view>
#include <utility>

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

// Makes the objects of the initial controller's scene by class name and wires
// them; throws std::runtime_error saying what it cannot make.
class SceneBuilder {
 public:
  explicit SceneBuilder(const pugi::xml_node& root) : root_(root) {}

  // A window controller with its content, or a view controller.
  std::shared_ptr<Object> initialController() {
    const char* id = root_.attribute("initialController").value();
    const pugi::xml_node element = root_.find_child_by_attribute("windowController", "id", id);
    if (element.empty()) {
      return viewController(id);
    }
    auto controller = make<WindowController>(element);
    if (const pugi::xml_node content = element.child("contentViewController")) {
      controller->setContentViewController(viewController(content.attribute("ref").value()));
    }
    return controller;
  }

 private:
  // The view controller scene `id` with its view; the outlets are set at
  // once, so they are there when the first view() runs viewDidLoad().
  std::shared_ptr<ViewController> viewController(const char* id) {
    const pugi::xml_node element = root_.find_child_by_attribute("viewController", "id", id);
    if (element.empty()) {
      throw std::runtime_error("no view controller scene of that id");
    }
    owner_ = make<ViewController>(element);
    if (const pugi::xml_node root = element.child("view")) {
      owner_->setView(view(root));
    }
    for (const pugi::xml_node& outlet : element.child("connections").children("outlet")) {
      const std::string property = outlet.attribute("property").value();
      const std::string id = outlet.attribute("destination").value();
      const auto destination = objects_.find(id);
      if (id.empty() || destination == objects_.end()) {
        throw std::runtime_error("no object with id \"" + id + "\"");
      }
      if (!owner_->performSelector(Class::setterOf(property), destination->second)) {
        throw std::runtime_error("the view controller has no outlet \"" + property + "\"");
      }
    }
    return owner_;
  }

  std::shared_ptr<View> view(const pugi::xml_node& element) {
    const std::string_view name = element.name();
    if (name == "button") {
      auto button = make<Button>(element);
      const std::string_view target = element.attribute("target").value();
      if (target == "owner") {
        button->setTarget(owner_);
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

  pugi::xml_node root_;
  std::map<std::string, std::shared_ptr<Object>, std::less<>> objects_;
  std::shared_ptr<ViewController> owner_;
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
    return SceneBuilder(contents_->document.child("storyboard")).initialController();
  } catch (const std::exception& error) {
    report(contents_->path, error.what());
    return nullptr;
  }
}

}  // namespace appkit
