#include <dlfcn.h>

#include "platform/shared_library.h"

namespace platform {

SharedLibrary::~SharedLibrary() { unload(); }

bool SharedLibrary::load(const std::string& path) {
  unload();
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* message = ::dlerror();
    error_ = message ? message : "dlopen failed";
    return false;
  }
  error_.clear();
  return true;
}

void SharedLibrary::unload() {
  if (handle_) {
    ::dlclose(handle_);
    handle_ = nullptr;
  }
}

void* SharedLibrary::symbol(const char* name) const { return handle_ ? ::dlsym(handle_, name) : nullptr; }

}  // namespace platform
