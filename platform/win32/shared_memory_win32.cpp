#include <windows.h>

// After windows.h, which it relies on.
#include <aclapi.h>

#include <vector>

#include "platform/shared_memory.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

std::wstring sectionName(const std::string& name) { return L"Local\\" + win32::widen(name); }

std::string failure(const char* what) {
  return std::string(what) + " failed (error " + std::to_string(::GetLastError()) + ")";
}

// The account this process runs as (its token's user), as a copy of its SID.
std::vector<unsigned char> currentUser() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  std::vector<unsigned char> sid;
  if (size && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    sid.assign(static_cast<unsigned char*>(user), static_cast<unsigned char*>(user) + ::GetLengthSid(user));
  }
  ::CloseHandle(token);
  return sid;
}

// Owner and only entry of the access list: this account. An elevated process would
// otherwise give its sections to the Administrators group.
struct PrivateSecurity {
  std::vector<unsigned char> user = currentUser();
  std::vector<unsigned char> acl;
  SECURITY_DESCRIPTOR descriptor{};
  SECURITY_ATTRIBUTES attributes{};

  bool build() {
    if (user.empty()) return false;
    PSID sid = user.data();
    acl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(sid));
    PACL list = reinterpret_cast<PACL>(acl.data());
    if (!::InitializeAcl(list, static_cast<DWORD>(acl.size()), ACL_REVISION) ||
        !::AddAccessAllowedAce(list, ACL_REVISION, SECTION_ALL_ACCESS, sid) ||
        !::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorOwner(&descriptor, sid, FALSE) ||
        !::SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE))
      return false;
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = &descriptor;
    return true;
  }
};

// Whether the section's owner is this account: a section another account made
// could read or feed the game's input.
bool ownedBy(HANDLE section, const std::vector<unsigned char>& user) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(section, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
    return false;
  const bool same = owner && !user.empty() && ::EqualSid(owner, const_cast<unsigned char*>(user.data()));
  ::LocalFree(descriptor);
  return same;
}

}  // namespace

SharedMemory::~SharedMemory() { close(); }

bool SharedMemory::createOrAttach(const std::string& name, std::size_t size) {
  close();
  PrivateSecurity security;
  if (!security.build()) {
    error_ = failure("building the section's access list");
    return false;
  }
  HANDLE section = ::CreateFileMappingW(INVALID_HANDLE_VALUE, &security.attributes, PAGE_READWRITE, 0,
                                        static_cast<DWORD>(size), sectionName(name).c_str());
  if (!section) {
    error_ = failure("CreateFileMappingW");
    return false;
  }
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    // Someone made it first: it must be ours, and from now on only we may open it.
    if (!ownedBy(section, security.user)) {
      error_ = "section belongs to another user";
      ::CloseHandle(section);
      return false;
    }
    const DWORD reset =
        ::SetSecurityInfo(section, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                          nullptr, nullptr, reinterpret_cast<PACL>(security.acl.data()), nullptr);
    if (reset != ERROR_SUCCESS) {
      error_ = "SetSecurityInfo failed (error " + std::to_string(reset) + ")";
      ::CloseHandle(section);
      return false;
    }
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
  HANDLE section = ::OpenFileMappingW(FILE_MAP_READ | READ_CONTROL, FALSE, sectionName(name).c_str());
  if (!section) {
    error_ = failure("OpenFileMappingW");
    return false;
  }
  if (!ownedBy(section, currentUser())) {
    error_ = "section belongs to another user";
    ::CloseHandle(section);
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
