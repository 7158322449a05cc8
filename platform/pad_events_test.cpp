#include "platform/pad_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <vector>

namespace {

using namespace platform::padevents;
using platform::XusbReport;

std::int32_t valueOf(std::span<const InputEvent> events, std::uint16_t type, std::uint16_t code) {
  auto it =
      std::find_if(events.begin(), events.end(), [&](const InputEvent& e) { return e.type == type && e.code == code; });
  EXPECT_NE(it, events.end()) << "no event " << type << "/" << code;
  return it == events.end() ? 99999 : it->value;
}

TEST(PadEvents, FirstReportSendsEveryButtonAndAxisThenOneSync) {
  XusbReport report;
  report.wButtons = platform::kXusbA | platform::kXusbY | platform::kXusbLeftShoulder | platform::kXusbBack |
                    platform::kXusbGuide | platform::kXusbRightThumb;
  report.bLeftTrigger = 255;
  report.bRightTrigger = 17;
  report.sThumbLX = -32768;
  report.sThumbLY = 32767;  // full up: Linux y grows downwards
  report.sThumbRX = 1234;
  report.sThumbRY = -32768;  // full down
  const auto events = translateReport(nullptr, report);

  ASSERT_EQ(events.size(), std::size(kButtons) + std::size(kAxes) + 1);
  EXPECT_EQ(events.back(), (InputEvent{kEvSyn, kSynReport, 0}));
  EXPECT_EQ(valueOf(events, kEvKey, kBtnA), 1);
  EXPECT_EQ(valueOf(events, kEvKey, kBtnB), 0);
  EXPECT_EQ(valueOf(events, kEvKey, kBtnX), 0);
  EXPECT_EQ(valueOf(events, kEvKey, kBtnY), 1);
  EXPECT_EQ(valueOf(events, kEvKey, kBtnTL), 1);
  EXPECT_EQ(valueOf(events, kEvKey, kBtnTR), 0);
  EXPECT_EQ(valueOf(events, kEvKey, kBtnSelect), 1);
  EXPECT_EQ(valueOf(events, kEvKey, kBtnStart), 0);
  EXPECT_EQ(valueOf(events, kEvKey, kBtnMode), 1);
  EXPECT_EQ(valueOf(events, kEvKey, kBtnThumbL), 0);
  EXPECT_EQ(valueOf(events, kEvKey, kBtnThumbR), 1);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsX), -32768);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsY), -32768);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsRX), 1234);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsRY), 32767);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsZ), 255);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsRZ), 17);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsHat0X), 0);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsHat0Y), 0);
}

TEST(PadEvents, DpadBecomesHatAxesAndOppositeDirectionsCancel) {
  XusbReport report;
  report.wButtons = platform::kXusbDpadUp | platform::kXusbDpadRight;
  auto events = translateReport(nullptr, report);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsHat0X), 1);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsHat0Y), -1);

  report.wButtons = platform::kXusbDpadDown | platform::kXusbDpadLeft;
  events = translateReport(nullptr, report);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsHat0X), -1);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsHat0Y), 1);

  report.wButtons =
      platform::kXusbDpadUp | platform::kXusbDpadDown | platform::kXusbDpadLeft | platform::kXusbDpadRight;
  events = translateReport(nullptr, report);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsHat0X), 0);
  EXPECT_EQ(valueOf(events, kEvAbs, kAbsHat0Y), 0);
}

TEST(PadEvents, LaterReportsSendOnlyWhatChanged) {
  XusbReport before;
  before.wButtons = platform::kXusbA;
  before.sThumbLX = 500;
  EXPECT_TRUE(translateReport(&before, before).empty());

  XusbReport after = before;
  after.wButtons = platform::kXusbB;  // A up, B down
  after.sThumbLY = 100;
  const auto events = translateReport(&before, after);
  const std::vector<InputEvent> expected = {
      {kEvKey, kBtnA, 0}, {kEvKey, kBtnB, 1}, {kEvAbs, kAbsY, -101}, {kEvSyn, kSynReport, 0}};
  EXPECT_EQ(std::vector<InputEvent>(events.begin(), events.end()), expected);

  // Bits the pad has no button for (none left unused in this layout but 0x0800) send nothing.
  XusbReport unused = before;
  unused.wButtons |= 0x0800;
  EXPECT_TRUE(translateReport(&before, unused).empty());
}

TEST(PadEvents, EveryAxisValueStaysInsideItsDeclaredRange) {
  for (int v : {-32768, -32767, -1, 0, 1, 32766, 32767}) {
    XusbReport report;
    report.sThumbLX = report.sThumbLY = report.sThumbRX = report.sThumbRY = static_cast<std::int16_t>(v);
    report.bLeftTrigger = report.bRightTrigger = static_cast<std::uint8_t>(v & 0xFF);
    for (const InputEvent& e : translateReport(nullptr, report)) {
      if (e.type != kEvAbs) continue;
      const auto& range =
          *std::find_if(std::begin(kAxes), std::end(kAxes), [&](const AxisRange& a) { return a.code == e.code; });
      EXPECT_GE(e.value, range.minimum);
      EXPECT_LE(e.value, range.maximum);
    }
  }
}

}  // namespace
