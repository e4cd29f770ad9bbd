#include "appkit/Storyboard.h"

#include <sys/stat.h>

#include <pugixml.hpp>

#include <ctime>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "appkit/Bundle.h"
#include "appkit/Button.h"
#include "appkit/Class.h"
#include "appkit/Coder.h"
#include "appkit/TableColumn.h"
#include "appkit/TableView.h"
#include "appkit/View.h"
#include "appkit/ViewController.h"
#include "appkit/WindowController.h"

namespace appkit {

struct Storyboard::Contents {
  std::string path;
  pugi::xml_document document;
};

namespace {

// Why a scene cannot be instantiated; caught before it leaves the storyboard.
class StoryboardError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void report(const std::string& path, const std::string& message) {
  std::cerr << "appkit: storyboard " << path << ": " << message << '\n';
}

// One version of a file: its inode, size and modification and change times.
// Two looks at a file that give the same version saw the same content unless
// it was written within the file system's time stamp granularity of the
// first look; a parsed file is therefore trusted only once its change time
// lies a whole second before the parse.
struct FileVersion {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static std::optional<FileVersion> of(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
      return std::nullopt;
    }
    return FileVersion{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
  }

  bool operator==(const FileVersion& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
  }
};

bool isElement(const pugi::xml_node& node) { return node.type() == pugi::node_element; }

// Makes the objects of one scene, by class name, and wires them.
class SceneBuilder {
 public:
  explicit SceneBuilder(const pugi::xml_node& root) : root_(root) {}

  std::shared_ptr<Object> scene(const std::string& id) {
    pugi::xml_node element = sceneElement(id);
    if (std::string_view(element.name()) == "windowController") {
      return windowController(element);
    }
    return viewController(element);
  }

 private:
  struct Objects {
    std::map<std::string, std::shared_ptr<Object>, std::less<>> byId;
    std::vector<std::pair<std::shared_ptr<Button>, std::string>> targets;
  };

  std::shared_ptr<WindowController> windowController(const pugi::xml_node& element) {
    Objects objects;
    auto controller = make<WindowController>(element, "WindowController", objects);
    for (const pugi::xml_node& child : element.children()) {
      if (!isElement(child)) {
        continue;
      }
      if (std::string_view(child.name()) != "contentViewController") {
        throw unexpected(child);
      }
      pugi::xml_node content = sceneElement(child.attribute("ref").value());
      if (std::string_view(content.name()) != "viewController") {
        throw StoryboardError("the content of a window controller must be a view controller");
      }
      controller->setContentViewController(viewController(content));
    }
    return controller;
  }

  std::shared_ptr<ViewController> viewController(const pugi::xml_node& element) {
    Objects objects;
    auto controller = make<ViewController>(element, "ViewController", objects);
    std::shared_ptr<View> root;
    std::vector<std::pair<Selector, std::shared_ptr<Object>>> outlets;
    for (const pugi::xml_node& child : element.children()) {
      if (!isElement(child)) {
        continue;
      }
      const std::string_view name = child.name();
      if (name == "view" && root == nullptr) {
        root = view(child, objects);
      } else if (name == "connections") {
        outlets = connections(child, objects, *controller);
      } else {
        throw unexpected(child);
      }
    }
    for (const auto& [button, target] : objects.targets) {
      button->setTarget(target == "owner" ? controller : find(objects, target));
    }
    // The views stay with the loader until the controller loads its view,
    // when the outlets are set, before viewDidLoad().
    controller->setViewLoader([root, outlets](ViewController& owner) {
      for (const auto& [setter, destination] : outlets) {
        owner.performSelector(setter, std::any(destination));
      }
      return root;
    });
    return controller;
  }

  std::vector<std::pair<Selector, std::shared_ptr<Object>>> connections(
      const pugi::xml_node& element, const Objects& objects, const ViewController& controller) {
    std::vector<std::pair<Selector, std::shared_ptr<Object>>> outlets;
    for (const pugi::xml_node& child : element.children()) {
      if (!isElement(child)) {
        continue;
      }
      if (std::string_view(child.name()) != "outlet") {
        throw unexpected(child);
      }
      std::string property = child.attribute("property").value();
      if (property.empty()) {
        throw StoryboardError("an outlet without a property");
      }
      property[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(property[0])));
      Selector setter = "set" + property + ":";
      if (!controller.respondsToSelector(setter)) {
        throw StoryboardError("the view controller has no outlet \"" +
                              std::string(child.attribute("property").value()) + "\"");
      }
      outlets.emplace_back(std::move(setter),
                           find(objects, child.attribute("destination").value()));
    }
    return outlets;
  }

  std::shared_ptr<View> view(const pugi::xml_node& element, Objects& objects) {
    const std::string_view name = element.name();
    if (name == "button") {
      auto button = make<Button>(element, "Button", objects);
      if (auto target = element.attribute("target")) {
        objects.targets.emplace_back(button, target.value());
      }
      return button;
    }
    if (name == "tableView") {
      auto table = make<TableView>(element, "TableView", objects);
      for (const pugi::xml_node& child : element.children()) {
        if (isElement(child)) {
          if (std::string_view(child.name()) != "tableColumn") {
            throw unexpected(child);
          }
          table->addTableColumn(make<TableColumn>(child, "TableColumn", objects));
        }
      }
      return table;
    }
    if (name != "view") {
      throw unexpected(element);
    }
    auto container = make<View>(element, "View", objects);
    for (const pugi::xml_node& child : element.children()) {
      if (isElement(child)) {
        container->addSubview(view(child, objects));
      }
    }
    return container;
  }

  // An instance of the element's customClass, or of `builtin`, which the
  // class must be or inherit from, made from the element's attributes.
  template <class T>
  std::shared_ptr<T> make(const pugi::xml_node& element, const char* builtin, Objects& objects) {
    const char* className = element.attribute("customClass").as_string(builtin);
    const Class* cls = Class::named(className);
    if (cls == nullptr) {
      throw StoryboardError("unknown class \"" + std::string(className) + "\"");
    }
    const Class* kind = Class::named(builtin);
    if (kind == nullptr || !cls->isSubclassOfClass(*kind)) {
      throw StoryboardError("class \"" + std::string(className) + "\" is not a " + builtin);
    }
    std::map<std::string, std::string, std::less<>> values;
    for (const pugi::xml_attribute& attribute : element.attributes()) {
      values[attribute.name()] = attribute.value();
    }
    auto object = std::dynamic_pointer_cast<T>(cls->instantiate(Coder(std::move(values))));
    if (object == nullptr) {
      throw StoryboardError("could not make an instance of \"" + std::string(className) + "\"");
    }
    if (auto id = element.attribute("id")) {
      if (!objects.byId.emplace(id.value(), object).second) {
        throw StoryboardError("two objects with id \"" + std::string(id.value()) + "\"");
      }
    }
    return object;
  }

  pugi::xml_node sceneElement(std::string_view id) const {
    for (const pugi::xml_node& element : root_.children()) {
      const std::string_view name = element.name();
      if (isElement(element) && (name == "windowController" || name == "viewController") &&
          id == element.attribute("id").value()) {
        return element;
      }
    }
    throw StoryboardError("no scene with id \"" + std::string(id) + "\"");
  }

  static std::shared_ptr<Object> find(const Objects& objects, std::string_view id) {
    auto found = objects.byId.find(id);
    if (found == objects.byId.end()) {
      throw StoryboardError("no object with id \"" + std::string(id) + "\" in the scene");
    }
    return found->second;
  }

  static StoryboardError unexpected(const pugi::xml_node& element) {
    return StoryboardError{"unexpected <" + std::string(element.name()) + "> in <" +
                           element.parent().name() + ">"};
  }

  pugi::xml_node root_;
};

}  // namespace

Storyboard::Storyboard(Key /*key*/, std::shared_ptr<const Contents> contents)
    : contents_(std::move(contents)) {}

Storyboard::~Storyboard() = default;

std::shared_ptr<Storyboard> Storyboard::storyboardWithName(const std::string& name,
                                                           const std::shared_ptr<Bundle>& bundle) {
  try {
    auto source = bundle != nullptr ? bundle : Bundle::mainBundle();
    auto path = source != nullptr ? source->pathForResource(name, "storyboard") : std::nullopt;
    if (!path) {
      report(name + ".storyboard",
             "not found in " + (source != nullptr ? source->resourcePath() : "any bundle"));
      return nullptr;
    }
    // A parsed document and the version of the file it was parsed from.
    struct ParsedFile {
      FileVersion version;
      // The wall-clock second at which the file was about to be read.
      time_t readIn = 0;
      std::shared_ptr<const Contents> contents;

      bool holds(const FileVersion& now) const {
        return now == version && version.changed.tv_sec + 1 < readIn;
      }
    };
    // The parsed document of each file is kept while the file stays the
    // same: a program that shows the same window again parses it once. The
    // document is only read once parsed, so storyboards share it.
    static std::mutex mutex;
    static std::map<std::string, ParsedFile, std::less<>> parsed;
    const std::optional<FileVersion> version = FileVersion::of(*path);
    if (version) {
      const std::lock_guard<std::mutex> guard(mutex);
      const auto kept = parsed.find(*path);
      if (kept != parsed.end() && kept->second.holds(*version)) {
        return std::make_shared<Storyboard>(Key(), kept->second.contents);
      }
    }
    const time_t readIn = std::time(nullptr);
    auto contents = std::make_shared<Contents>();
    contents->path = *path;
    pugi::xml_parse_result result = contents->document.load_file(path->c_str());
    if (!result) {
      report(*path,
             std::string(result.description()) + " at byte " + std::to_string(result.offset));
      return nullptr;
    }
    if (!contents->document.child("storyboard")) {
      report(*path, "the root element is not <storyboard>");
      return nullptr;
    }
    if (version) {
      const std::lock_guard<std::mutex> guard(mutex);
      parsed.insert_or_assign(*path, ParsedFile{*version, readIn, contents});
    }
    return std::make_shared<Storyboard>(Key(), std::move(contents));
  } catch (const std::exception& error) {
    report(name, error.what());
    return nullptr;
  }
}

std::shared_ptr<Object> Storyboard::instantiateInitialController() const {
  const pugi::xml_node root = contents_->document.child("storyboard");
  try {
    const char* initial = root.attribute("initialController").value();
    if (*initial == '\0') {
      throw StoryboardError("no initialController");
    }
    return SceneBuilder(root).scene(initial);
  } catch (const std::exception& error) {
    report(contents_->path, error.what());
    return nullptr;
  }
}

}  // namespace appkit
