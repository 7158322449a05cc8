// Sections under Wine: ours carry this account as owner and the only entry of their
// access list; a section of the same name that another account owns is refused.
#include <gtest/gtest.h>
#include <windows.h>

// After windows.h, which they rely on.
#include <aclapi.h>
#include <sddl.h>

#include <chrono>
#include <string>

#include "platform/shared_memory.h"

namespace {

std::string uniqueName(const char* label) {
  return std::string("strivo_test_") + label + "_" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// A section made by "someone else": owner LocalSystem, everyone may use it.
HANDLE plantSection(const std::string& name) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:SYD:(A;;GA;;;WD)", SDDL_REVISION_1, &descriptor,
                                                              nullptr))
    return nullptr;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  HANDLE section = ::CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, 4096,
                                        (L"Local\\" + wide(name)).c_str());
  ::LocalFree(descriptor);
  return section;
}

TEST(SharedMemoryWin32, OursArePrivateAndAnotherAccountsSectionIsRefused) {
  const std::string name = uniqueName("owner");
  platform::SharedMemory section;
  ASSERT_TRUE(section.createOrAttach(name, 64)) << section.error();
  HANDLE probe = ::OpenFileMappingW(READ_CONTROL, FALSE, (L"Local\\" + wide(name)).c_str());
  ASSERT_NE(probe, nullptr);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL acl = nullptr;
  ASSERT_EQ(::GetSecurityInfo(probe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                              &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_NE(acl, nullptr);
  EXPECT_EQ(acl->AceCount, 1);
  ::LocalFree(descriptor);
  ::CloseHandle(probe);

  const std::string planted = uniqueName("planted");
  HANDLE foreign = plantSection(planted);
  if (!foreign) GTEST_SKIP() << "this system does not let a test make a section another account owns";
  platform::SharedMemory attacher;
  EXPECT_FALSE(attacher.createOrAttach(planted, 64));
  EXPECT_EQ(attacher.error(), "section belongs to another user");
  platform::SharedMemory reader;
  EXPECT_FALSE(reader.openExistingReadOnly(planted, 64));
  EXPECT_FALSE(reader.isOpen());
  ::CloseHandle(foreign);
}

}  // namespace
