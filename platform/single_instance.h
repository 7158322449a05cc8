#pragma once

#include <memory>
#include <string>

namespace platform {

// A named, process-wide marker that another running copy of the program can see.
// Windows: a named mutex. Linux: an flock()ed lock file in $XDG_RUNTIME_DIR (else the temp dir).
class SingleInstanceMarker {
 public:
  enum class Status { Created, AlreadyRunning, Failed };

  explicit SingleInstanceMarker(const std::string& name);
  ~SingleInstanceMarker();
  SingleInstanceMarker(const SingleInstanceMarker&) = delete;
  SingleInstanceMarker& operator=(const SingleInstanceMarker&) = delete;

  Status status() const { return status_; }
  // The system error code when status() is Failed.
  int errorCode() const { return errorCode_; }
  // Gives the marker up early (it is also given up on destruction).
  void release();

 private:
  Status status_ = Status::Failed;
  int errorCode_ = 0;
  std::intptr_t handle_ = -1;
};

}  // namespace platform
