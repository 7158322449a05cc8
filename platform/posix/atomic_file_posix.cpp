#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/atomic_file.h"

namespace platform {

std::string_view nativeLineEnding() { return "\n"; }

bool replaceFileAtomically(const std::string& path, std::string_view contents, std::string& error) {
  const std::string temporary = path + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  const char* data = contents.data();
  std::size_t left = contents.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      ::close(fd);
      ::unlink(temporary.c_str());
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    error = std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

namespace {

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

CopyOutcome copyToNewFile(const std::string& source, const std::string& target, std::string& error) {
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    if (errno == ENOENT) return CopyOutcome::SourceMissing;
    error = std::strerror(errno);
    return CopyOutcome::Failed;
  }
  // O_EXCL makes "does it exist" and "create it" one step, so no older copy is ever replaced.
  const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) {
    const int code = errno;
    ::close(in);
    if (code == EEXIST) return CopyOutcome::TargetExists;
    error = std::strerror(code);
    return CopyOutcome::Failed;
  }
  char buffer[65536];
  int failure = 0;  // the errno of the first failing call
  for (;;) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 || (got > 0 && !writeAll(out, buffer, static_cast<std::size_t>(got)))) failure = errno;
    if (got <= 0 || failure != 0) break;
  }
  if (failure == 0 && ::fsync(out) != 0) failure = errno;
  ::close(in);
  if (::close(out) != 0 && failure == 0) failure = errno;
  if (failure != 0) {
    error = std::strerror(failure);
    ::unlink(target.c_str());
    return CopyOutcome::Failed;
  }
  return CopyOutcome::Copied;
}

}  // namespace platform
