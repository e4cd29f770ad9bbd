// A host may load the framework at run time instead of linking it: dlopen()
// must succeed, which fails for instance when a library asks for more
// static thread-local storage than a loaded library can have.
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: framework_dlopen_check LIBRARY\n", stderr);
    return 2;
  }
  if (::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) == nullptr) {
    std::fprintf(stderr, "%s\n", ::dlerror());  // NOLINT(concurrency-mt-unsafe): one thread
    return 1;
  }
  return 0;
}
