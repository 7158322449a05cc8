#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/single_instance.h"

namespace platform {
namespace {

std::string lockFilePath(const std::string& name) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = (runtime && *runtime) ? runtime : "";
  if (folder.empty()) {
    const char* temp = std::getenv("TMPDIR");
    folder = (temp && *temp) ? temp : "/tmp";
  }
  return folder + "/" + name + ".lock";
}

}  // namespace

SingleInstanceMarker::SingleInstanceMarker(const std::string& name) {
  const int fd = ::open(lockFilePath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    errorCode_ = errno;
    return;
  }
  handle_ = fd;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    status_ = Status::Created;
  } else if (errno == EWOULDBLOCK) {
    status_ = Status::AlreadyRunning;
  } else {
    errorCode_ = errno;
    release();
  }
}

SingleInstanceMarker::~SingleInstanceMarker() { release(); }

void SingleInstanceMarker::release() {
  if (handle_ >= 0) {
    ::close(static_cast<int>(handle_));  // closing drops the lock
    handle_ = -1;
  }
}

}  // namespace platform
