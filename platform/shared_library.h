#pragma once

#include <string>

namespace platform {

// A shared library loaded by path (dlopen / LoadLibrary); unloaded on destruction.
class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the library at exactly this path; false (with error() set) when it fails.
  bool load(const std::string& path);
  bool isLoaded() const { return handle_ != nullptr; }
  void unload();
  // The exported symbol's address, or null.
  void* symbol(const char* name) const;
  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace platform
