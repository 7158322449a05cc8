#pragma once

#include <cstddef>
#include <string>

namespace platform {

// A named section of memory shared between processes of the same user.
// Windows: a pagefile-backed file mapping "Local\<name>". POSIX: shm_open("/<name>"),
// created with mode 0600 and accepted only when it belongs to this user and no
// one else may open it, so another user cannot read or inject through it.
// The view is unmapped and the handle closed on destruction or close().
class SharedMemory {
 public:
  SharedMemory() = default;
  ~SharedMemory();
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  // Creates the section with this size, or attaches to it when it already exists,
  // and maps it read/write. A new section is zero-filled. Fails when an existing
  // section is smaller than size.
  bool createOrAttach(const std::string& name, std::size_t size);
  // Maps an existing section read-only; fails when it does not exist or is smaller than size.
  bool openExistingReadOnly(const std::string& name, std::size_t size);
  void close();

  bool isOpen() const { return view_ != nullptr; }
  void* data() const { return view_; }
  std::size_t size() const { return size_; }
  // What went wrong in the last failed call, e.g. "shm_open failed (errno 13)".
  const std::string& error() const { return error_; }

  // Removes the name so the next createOrAttach starts a fresh, zeroed section
  // (POSIX names outlive their users; a Windows section goes with its last handle,
  // so there this does nothing).
  static void removeName(const std::string& name);

 private:
  void* view_ = nullptr;
  std::size_t size_ = 0;
  void* handle_ = nullptr;  // Windows section handle; unused on POSIX
  std::string error_;
};

}  // namespace platform
