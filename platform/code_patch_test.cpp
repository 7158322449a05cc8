#include "platform/code_patch.h"

#include <gtest/gtest.h>

namespace {

int first() { return 1; }
int second() { return 2; }
int third() { return 3; }

using Fn = int (*)();

// A read-only table of function pointers that straddles a page boundary, like a
// method table in a library's relocated read-only data.
alignas(4096) Fn const kTable[1024] = {first, first, first};

Fn* slotsAcrossBoundary() { return const_cast<Fn*>(&kTable[511]); }

TEST(CodePatch, WritesSlotsInReadOnlyMemorySpanningTwoPages) {
  Fn* slots = slotsAcrossBoundary();
  void* const patched[2] = {reinterpret_cast<void*>(&second), reinterpret_cast<void*>(&third)};
  ASSERT_TRUE(platform::writeProtectedPointers(reinterpret_cast<void**>(slots), patched, 2));
  volatile Fn const* table = kTable;
  EXPECT_EQ(table[511](), 2);
  EXPECT_EQ(table[512](), 3);

  void* const restored[2] = {nullptr, nullptr};
  ASSERT_TRUE(platform::writeProtectedPointers(reinterpret_cast<void**>(slots), restored, 2));
  EXPECT_EQ(table[511], nullptr);
  EXPECT_EQ(table[512], nullptr);
}

TEST(CodePatchDeathTest, ProtectionIsRestoredAfterTheWrite) {
  Fn* slots = slotsAcrossBoundary();
  void* const patched[2] = {reinterpret_cast<void*>(&second), reinterpret_cast<void*>(&second)};
  ASSERT_TRUE(platform::writeProtectedPointers(reinterpret_cast<void**>(slots), patched, 2));
  // A plain store into either page must fault again.
  EXPECT_DEATH({ *reinterpret_cast<Fn volatile*>(&slots[0]) = third; }, "");
  EXPECT_DEATH({ *reinterpret_cast<Fn volatile*>(&slots[1]) = third; }, "");
}

TEST(CodePatch, WritableMemoryStaysWritable) {
  static Fn table[4] = {first, first, first, first};
  void* const patched[1] = {reinterpret_cast<void*>(&third)};
  ASSERT_TRUE(platform::writeProtectedPointers(reinterpret_cast<void**>(&table[2]), patched, 1));
  EXPECT_EQ(table[2](), 3);
  table[3] = second;  // still writable: the original protection was put back, not read-only
  EXPECT_EQ(table[3](), 2);
}

}  // namespace
