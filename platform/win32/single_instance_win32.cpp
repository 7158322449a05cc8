#include <windows.h>

#include "platform/single_instance.h"

namespace platform {

SingleInstanceMarker::SingleInstanceMarker(const std::string& name) {
  HANDLE mutex = ::CreateMutexA(nullptr, TRUE, name.c_str());
  if (!mutex) {
    errorCode_ = static_cast<int>(::GetLastError());
    return;
  }
  status_ = ::GetLastError() == ERROR_ALREADY_EXISTS ? Status::AlreadyRunning : Status::Created;
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
}

SingleInstanceMarker::~SingleInstanceMarker() { release(); }

void SingleInstanceMarker::release() {
  if (handle_ != -1) {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
  }
}

}  // namespace platform
