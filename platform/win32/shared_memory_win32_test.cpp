// Sections under Wine: ours carry one access entry (this account's); a section of
// the same name that another account owns is refused.
#include <gtest/gtest.h>
#include <windows.h>

// After windows.h, which they rely on.
#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "platform/shared_memory.h"

namespace {

std::wstring sectionName(const std::string& name) { return L"Local\\" + std::wstring(name.begin(), name.end()); }

TEST(SharedMemoryWin32, OursArePrivateAndAnotherAccountsSectionIsRefused) {
  const std::string name = "strivo_test_owner_" + std::to_string(::GetCurrentProcessId());
  platform::SharedMemory section;
  ASSERT_TRUE(section.createOrAttach(name, 64)) << section.error();
  HANDLE probe = ::OpenFileMappingW(READ_CONTROL, FALSE, sectionName(name).c_str());
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(::GetSecurityInfo(probe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                              &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(acl ? acl->AceCount : 0, 1);
  ::LocalFree(descriptor);
  ::CloseHandle(probe);

  // Planted by "someone else": owner LocalSystem, everyone may use it.
  const std::string planted = name + "_planted";
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:SYD:(A;;GA;;;WD)", SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  HANDLE foreign =
      ::CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, 4096, sectionName(planted).c_str());
  ::LocalFree(descriptor);
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
