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

using std::string_view_literals::operator""sv;

void report(const std::string& path, const std::string& message) {
  std::cerr << "appkit: storyboard " << path << ": " << message << '\n';
}

// Makes the objects of one scene by class name and wires them; throws
// std::runtime_error saying what it cannot make.
class SceneBuilder {
 public:
  explicit SceneBuilder(const pugi::xml_node& root) : root_(root) {}

  std::shared_ptr<Object> scene(std::string_view id) {
    const pugi::xml_node element = sceneElement(id);
    if (element.name() == "viewController"sv) {
      return viewController(element);
    }
    auto controller = make<WindowController>(element);
    for (const pugi::xml_node& content : element.children()) {
      const pugi::xml_node scene = sceneElement(content.attribute("ref").value());
      if (content.name() != "contentViewController"sv || scene.name() != "viewController"sv) {
        throw std::runtime_error("a window controller holds one view controller");
      }
      controller->setContentViewController(viewController(scene));
    }
    return controller;
  }

 private:
  std::shared_ptr<ViewController> viewController(const pugi::xml_node& element) {
    auto controller = make<ViewController>(element);
    std::shared_ptr<View> root;
    if (const pugi::xml_node view = element.child("view")) {
      root = this->view(view);
    }
    std::vector<std::pair<Selector, std::shared_ptr<Object>>> outlets;
    for (const pugi::xml_node& outlet : element.child("connections").children()) {
      const Selector setter = Class::setterOf(outlet.attribute("property").value());
      if (!controller->respondsToSelector(setter)) {
        throw std::runtime_error("the view controller has no outlet \"" +
                                 std::string(outlet.attribute("property").value()) + "\"");
      }
      outlets.emplace_back(setter, find(outlet.attribute("destination").value()));
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
    if (element.name() == "button"sv) {
      auto button = make<Button>(element);
      const std::string_view target = element.attribute("target").value();
      if (target != "owner"sv && !target.empty()) {
        throw std::runtime_error("a button's target is its owner, not \"" + std::string(target) +
                                 "\"");
      }
      if (!target.empty()) {
        ownersButtons_.push_back(button);
      }
      return button;
    }
    if (element.name() == "tableView"sv) {
      auto table = make<TableView>(element);
      for (const pugi::xml_node& column : element.children()) {
        if (column.name() != "tableColumn"sv) {
          throw unexpected(column);
        }
        table->addTableColumn(make<TableColumn>(column));
      }
      return table;
    }
    if (element.name() != "view"sv) {
      throw unexpected(element);
    }
    auto container = make<View>(element);
    for (const pugi::xml_node& child : element.children()) {
      container->addSubview(view(child));
    }
    return container;
  }

  // An instance of the element's customClass, which must be a T, else a
  // plain T, made from the element's attributes.
  template <class T>
  std::shared_ptr<T> make(const pugi::xml_node& element) {
    std::map<std::string, std::string, std::less<>> values;
    for (const pugi::xml_attribute& attribute : element.attributes()) {
      values[attribute.name()] = attribute.value();
    }
    const Coder coder(std::move(values));
    const char* className = element.attribute("customClass").as_string(nullptr);
    const Class* cls = className != nullptr ? Class::named(className) : nullptr;
    auto object =
        className == nullptr
            ? std::make_shared<T>(coder)
            : std::dynamic_pointer_cast<T>(cls != nullptr ? cls->instantiate(coder) : nullptr);
    if (object == nullptr) {
      throw std::runtime_error("no class \"" + std::string(className) + "\" for <" +
                               element.name() + "> can be made");
    }
    if (const char* id = element.attribute("id").as_string(nullptr)) {
      objects_[id] = object;
    }
    return object;
  }

  pugi::xml_node sceneElement(std::string_view id) const {
    for (const pugi::xml_node& element : root_.children()) {
      if (id == element.attribute("id").value()) {
        return element;
      }
    }
    throw std::runtime_error("no scene with id \"" + std::string(id) + "\"");
  }

  std::shared_ptr<Object> find(std::string_view id) const {
    const auto found = objects_.find(id);
    if (found == objects_.end()) {
      throw std::runtime_error("no object with id \"" + std::string(id) + "\"");
    }
    return found->second;
  }

  static std::runtime_error unexpected(const pugi::xml_node& element) {
    return std::runtime_error("unexpected <" + std::string(element.name()) + "> in <" +
                              element.parent().name() + ">");
  }

  pugi::xml_node root_;
  std::map<std::string, std::shared_ptr<Object>, std::less<>> objects_;
  std::vector<std::shared_ptr<Button>> ownersButtons_;
};

}  // namespace

Storyboard::Storyboard(std::shared_ptr<const Contents> contents) : contents_(std::move(contents)) {}

std::shared_ptr<Storyboard> Storyboard::storyboardWithName(const std::string& name,
                                                           const std::shared_ptr<Bundle>& bundle) {
  try {
    const auto path =
        bundle != nullptr ? bundle->pathForResource(name, "storyboard") : std::nullopt;
    if (!path) {
      report(name + ".storyboard",
             "not found in " + (bundle ? bundle->resourcePath() : "no bundle"));
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
