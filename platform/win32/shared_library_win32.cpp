#include <windows.h>

#include "platform/shared_library.h"
#include "platform/win32/wide_text.h"

namespace platform {

SharedLibrary::~SharedLibrary() { unload(); }

bool SharedLibrary::load(const std::string& path) {
  unload();
  HMODULE module = ::LoadLibraryW(win32::widen(path).c_str());
  if (!module) {
    error_ = "LoadLibrary failed with error " + std::to_string(GetLastError());
    return false;
  }
  handle_ = reinterpret_cast<void*>(module);
  error_.clear();
  return true;
}

void SharedLibrary::unload() {
  if (handle_) {
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
    handle_ = nullptr;
  }
}

void* SharedLibrary::symbol(const char* name) const {
  if (!handle_) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
}

}  // namespace platform
