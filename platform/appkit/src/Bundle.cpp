#include "appkit/Bundle.h"

#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include "appkit/Class.h"

#ifndef VELK_APPKIT_LIBDIR_TO_DATADIR
#error "VELK_APPKIT_LIBDIR_TO_DATADIR (e.g. \"../share\") must be defined by the build"
#endif

namespace appkit {

namespace {

namespace fs = std::filesystem;

// The bundle of the library or program file `file`: libName.so.N gives the
// name Name, a program its file name; the resources are in
// <folder of file>/<libdir to datadir>/<name>.
std::shared_ptr<Bundle> resolveBundle(const fs::path& file) {
  std::error_code error;
  fs::path real = fs::canonical(file, error);
  if (error) {
    return nullptr;
  }
  std::string name = file.filename().string();
  if (name.rfind("lib", 0) == 0 && name.find(".so") != std::string::npos) {
    name = name.substr(3, name.find(".so") - 3);
  }
  fs::path resources =
      (real.parent_path() / VELK_APPKIT_LIBDIR_TO_DATADIR / name).lexically_normal();
  return std::make_shared<Bundle>(real.string(), resources.string());
}

// resolveBundle(file), worked out once per file: resolving the path takes a
// system call per component, and a loaded library's bundle is asked for
// every time a storyboard is read.
std::shared_ptr<Bundle> bundleForFile(const fs::path& file) {
  static std::mutex mutex;
  static std::map<std::string, std::shared_ptr<Bundle>> known;
  const std::lock_guard<std::mutex> guard(mutex);
  std::shared_ptr<Bundle>& bundle = known[file.string()];
  if (!bundle) {
    bundle = resolveBundle(file);
  }
  return bundle;
}

// True when `address` lies in the running program itself (the first object
// dl_iterate_phdr reports), not in a shared library.
bool inProgram(const void* address) {
  std::pair<ElfW(Addr), bool> search(reinterpret_cast<ElfW(Addr)>(address), false);
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) -> int {
        auto& [where, found] = *static_cast<std::pair<ElfW(Addr), bool>*>(data);
        for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr)& segment = info->dlpi_phdr[i];
          const ElfW(Addr) start = info->dlpi_addr + segment.p_vaddr;
          if (segment.p_type == PT_LOAD && where >= start && where < start + segment.p_memsz) {
            found = true;
          }
        }
        return 1;  // the program comes first; stop there
      },
      &search);
  return search.second;
}

// The loaded shared library whose own definition `symbol` is; empty when
// none. A program that refers to a library's data (type information) may hold
// a copy of it that stands in for the library's, so the library has to be
// asked by name.
std::string libraryDefining(const std::string& symbol) {
  std::pair<const std::string*, std::string> search(&symbol, std::string());
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) -> int {
        auto& [symbol, file] = *static_cast<std::pair<const std::string*, std::string>*>(data);
        if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0') {
          return 0;
        }
        void* handle = dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD);
        if (handle == nullptr) {
          return 0;
        }
        Dl_info where{};
        void* address = dlsym(handle, symbol->c_str());
        if (address != nullptr && dladdr(address, &where) != 0 && where.dli_fname != nullptr &&
            std::string_view(where.dli_fname) == info->dlpi_name) {
          file = info->dlpi_name;
        }
        dlclose(handle);
        return file.empty() ? 0 : 1;
      },
      &search);
  return search.second;
}

}  // namespace

Bundle::Bundle(std::string executablePath, std::string resourcePath)
    : executablePath_(std::move(executablePath)), resourcePath_(std::move(resourcePath)) {}

std::shared_ptr<Bundle> Bundle::forClass(const std::type_info& type) {
  if (const Class* cls = Class::forType(type)) {
    return forAddress(cls->imageAddress());
  }
  if (inProgram(&type)) {
    std::string name = type.name();
    if (!name.empty() && name[0] == '*') {
      name.erase(0, 1);
    }
    std::string library = libraryDefining("_ZTI" + name);
    if (!library.empty()) {
      return bundleForFile(library);
    }
  }
  return forAddress(&type);
}

std::shared_ptr<Bundle> Bundle::forAddress(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
    return nullptr;
  }
  fs::path file = info.dli_fname;
  // The program itself is reported by the name it was started with, which
  // need not be a path from here.
  if (!file.is_absolute()) {
    return mainBundle();
  }
  return bundleForFile(file);
}

std::shared_ptr<Bundle> Bundle::mainBundle() {
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  return error ? nullptr : bundleForFile(program);
}

std::shared_ptr<Bundle> Bundle::bundleWithResourcePath(std::string resourcePath) {
  return std::make_shared<Bundle>(std::string(), std::move(resourcePath));
}

std::optional<std::string> Bundle::pathForResource(std::string_view name,
                                                   std::string_view type) const {
  std::string file(name);
  if (!type.empty()) {
    file += '.';
    file += type;
  }
  fs::path path = fs::path(resourcePath_) / file;
  std::error_code error;
  if (name.empty() || !fs::is_regular_file(path, error)) {
    return std::nullopt;
  }
  return path.string();
}

}  // namespace appkit
