#include <windows.h>

#include "platform/shared_memory.h"

namespace platform {
namespace {

std::string sectionName(const std::string& name) { return "Local\\" + name; }

std::string failure(const char* what) {
  return std::string(what) + " failed (error " + std::to_string(::GetLastError()) + ")";
}

}  // namespace

SharedMemory::~SharedMemory() { close(); }

bool SharedMemory::createOrAttach(const std::string& name, std::size_t size) {
  close();
  HANDLE section = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size),
                                        sectionName(name).c_str());
  if (!section) {
    error_ = failure("CreateFileMappingA");
    return false;
  }
  void* view = ::MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, size);
  // Mapping more than an existing, smaller section holds fails here, so nobody reads past its end.
  if (!view) {
    error_ = failure("MapViewOfFile");
    ::CloseHandle(section);
    return false;
  }
  handle_ = section;
  view_ = view;
  size_ = size;
  error_.clear();
  return true;
}

bool SharedMemory::openExistingReadOnly(const std::string& name, std::size_t size) {
  close();
  HANDLE section = ::OpenFileMappingA(FILE_MAP_READ, FALSE, sectionName(name).c_str());
  if (!section) {
    error_ = failure("OpenFileMappingA");
    return false;
  }
  void* view = ::MapViewOfFile(section, FILE_MAP_READ, 0, 0, size);
  // Mapping more than an existing, smaller section holds fails here, so nobody reads past its end.
  if (!view) {
    error_ = failure("MapViewOfFile");
    ::CloseHandle(section);
    return false;
  }
  handle_ = section;
  view_ = view;
  size_ = size;
  error_.clear();
  return true;
}

void SharedMemory::close() {
  if (view_) ::UnmapViewOfFile(view_);
  if (handle_) ::CloseHandle(static_cast<HANDLE>(handle_));
  view_ = nullptr;
  handle_ = nullptr;
  size_ = 0;
}

void SharedMemory::removeName(const std::string&) {}

}  // namespace platform
