#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/shared_memory.h"

namespace platform {
namespace {

std::string objectName(const std::string& name) { return "/" + name; }

std::string failure(const char* what) { return std::string(what) + " failed (errno " + std::to_string(errno) + ")"; }

// Only a section of this user that nobody else may open is trusted: a section
// planted by another user could feed or read the game's input.
bool ownedPrivately(const struct stat& info) {
  return info.st_uid == ::geteuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

}  // namespace

SharedMemory::~SharedMemory() { close(); }

bool SharedMemory::createOrAttach(const std::string& name, std::size_t size) {
  close();
  const int fd = ::shm_open(objectName(name).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) {
    error_ = failure("shm_open");
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error_ = failure("fstat");
    ::close(fd);
    return false;
  }
  if (info.st_uid != ::geteuid()) {
    error_ = "section belongs to another user";
    ::close(fd);
    return false;
  }
  // A umask may have taken our own write bit, or an older copy let others in: 0600 it is.
  if ((info.st_mode & 0777) != (S_IRUSR | S_IWUSR) && ::fchmod(fd, S_IRUSR | S_IWUSR) != 0) {
    error_ = failure("fchmod");
    ::close(fd);
    return false;
  }
  if (info.st_size == 0 && ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
    error_ = failure("ftruncate");
    ::close(fd);
    return false;
  }
  if (info.st_size != 0 && static_cast<std::size_t>(info.st_size) < size) {
    error_ = "existing section is smaller than " + std::to_string(size) + " bytes";
    ::close(fd);
    return false;
  }
  void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  ::close(fd);
  if (view == MAP_FAILED) {
    error_ = failure("mmap");
    return false;
  }
  view_ = view;
  size_ = size;
  error_.clear();
  return true;
}

bool SharedMemory::openExistingReadOnly(const std::string& name, std::size_t size) {
  close();
  const int fd = ::shm_open(objectName(name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0);
  if (fd < 0) {
    error_ = failure("shm_open");
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !ownedPrivately(info) || static_cast<std::size_t>(info.st_size) < size) {
    error_ = "section is not this user's private section of at least " + std::to_string(size) + " bytes";
    ::close(fd);
    return false;
  }
  void* view = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  if (view == MAP_FAILED) {
    error_ = failure("mmap");
    return false;
  }
  view_ = view;
  size_ = size;
  error_.clear();
  return true;
}

void SharedMemory::close() {
  if (view_) ::munmap(view_, size_);
  view_ = nullptr;
  size_ = 0;
}

void SharedMemory::removeName(const std::string& name) { ::shm_unlink(objectName(name).c_str()); }

}  // namespace platform
