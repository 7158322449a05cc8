#include "common/xr/shared_records.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "platform/shared_memory.h"

namespace {

template <typename T>
T at(const unsigned char* bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes + offset, sizeof value);
  return value;
}

// One side writes the typed record into a section; the other side's raw bytes show
// each field at its published offset, little-endian; a button is held only when set
// in both the mask and the confirm mask of that hand.
TEST(SharedRecords, InputRecordFieldsLandAtTheirOffsetsAcrossViews) {
  const std::string name =
      std::string("strivo_test_records_") + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  platform::SharedMemory writerView;
  platform::SharedMemory readerView;
  ASSERT_TRUE(writerView.createOrAttach(name, xrshm::kInputRecordSize)) << writerView.error();
  ASSERT_TRUE(readerView.openExistingReadOnly(name, xrshm::kInputRecordSize)) << readerView.error();

  auto& record = *static_cast<xrshm::InputRecord*>(writerView.data());
  record.leftActive = 1;
  record.leftX = 0.25f;
  record.leftY = -0.5f;
  record.rightY = 1.0f;
  record.leftButtons = xrshm::kButtonAX | xrshm::kButtonTrigger;
  record.leftConfirm = xrshm::kButtonAX;
  record.rightButtons = record.rightConfirm = xrshm::kButtonGrip;
  record.sequence = 0x01020304;

  const auto* bytes = static_cast<const unsigned char*>(readerView.data());
  EXPECT_EQ(bytes[0], 0x04);  // little-endian counter
  EXPECT_EQ(bytes[4], 1);
  EXPECT_EQ(at<float>(bytes, 8), 0.25f);
  EXPECT_EQ(at<float>(bytes, 12), -0.5f);
  EXPECT_EQ(bytes[16], 0);
  EXPECT_EQ(at<float>(bytes, 24), 1.0f);
  EXPECT_EQ(at<std::uint64_t>(bytes, 32), 0x200000080u);
  EXPECT_EQ(at<std::uint64_t>(bytes, 40), 0x4u);
  EXPECT_EQ(at<std::uint64_t>(bytes, 48), 0x80u);
  EXPECT_EQ(at<std::uint64_t>(bytes, 56), 0x4u);

  const auto& seen = *static_cast<const xrshm::InputRecord*>(readerView.data());
  EXPECT_TRUE(xrshm::leftHeld(seen, xrshm::kButtonAX));
  EXPECT_FALSE(xrshm::leftHeld(seen, xrshm::kButtonTrigger));  // mask without confirm
  EXPECT_FALSE(xrshm::leftHeld(seen, xrshm::kButtonGrip));
  EXPECT_TRUE(xrshm::rightHeld(seen, xrshm::kButtonGrip));
  EXPECT_FALSE(xrshm::rightHeld(seen, xrshm::kButtonAX));
  platform::SharedMemory::removeName(name);
}

}  // namespace
