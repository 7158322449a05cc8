#include "app/tracking/solarxr_messages.h"

#include <flatbuffers/flatbuffers.h>

#include <string>

#include "app/core/utf8_text.h"
#include "solarxr_feed_generated.h"

namespace tracking::solarxr {
namespace wire = strivo::solarxr_wire;

static_assert(wire::DataFeedMessage_StartDataFeed == kStartDataFeedType);
static_assert(wire::DataFeedMessage_DataFeedUpdate == kDataFeedUpdateType);

std::vector<std::uint8_t> buildStartDataFeedRequest() {
  flatbuffers::FlatBufferBuilder fbb(1024);
  const auto trackerMask = wire::CreateTrackerDataMask(fbb, /*info=*/true, /*status=*/true, /*rotation=*/true,
                                                       /*position=*/false, /*raw_angular_velocity=*/false,
                                                       /*raw_acceleration=*/false, /*temp=*/false,
                                                       /*linear_acceleration=*/true);
  const auto deviceMask = wire::CreateDeviceDataMask(fbb, trackerMask, /*device_data=*/true);
  const auto config = wire::CreateDataFeedConfig(fbb, kFeedIntervalMs, deviceMask);
  const auto start = wire::CreateStartDataFeed(fbb, fbb.CreateVector(&config, 1));
  const auto header = wire::CreateDataFeedMessageHeader(fbb, wire::DataFeedMessage_StartDataFeed, start.Union());
  fbb.Finish(wire::CreateMessageBundle(fbb, fbb.CreateVector(&header, 1)));
  return {fbb.GetBufferPointer(), fbb.GetBufferPointer() + fbb.GetSize()};
}

namespace {

std::string_view trackerName(const wire::TrackerInfo* info) {
  if (info && info->custom_name()) return info->custom_name()->string_view();
  if (info && info->display_name()) return info->display_name()->string_view();
  return kUnnamedTracker;
}

void decodeUpdate(const wire::DataFeedUpdate& update, const std::function<void(const TrackerSample&)>& onTracker) {
  if (!update.devices()) return;
  for (const wire::DeviceData* device : *update.devices()) {
    if (!device || !device->trackers()) continue;
    for (const wire::TrackerData* tracker : *device->trackers()) {
      if (!tracker) continue;
      TrackerSample sample;
      sample.name = trackerName(tracker->info());
      // The name is shown, compared with the settings and saved: kept as UTF-8 of bounded length.
      std::string repaired;
      if (sample.name.size() > kMaxTrackerNameBytes || !core::isValidUtf8(sample.name)) {
        repaired = core::repairUtf8(sample.name, kMaxTrackerNameBytes);
        sample.name = repaired;
      }
      if (const wire::Quat* q = tracker->rotation()) {
        sample.hasRotation = true;
        sample.rotation[0] = q->x();
        sample.rotation[1] = q->y();
        sample.rotation[2] = q->z();
        sample.rotation[3] = q->w();
      }
      if (const wire::Vec3f* v = tracker->linear_acceleration()) {
        sample.hasAcceleration = true;
        sample.acceleration[0] = v->x();
        sample.acceleration[1] = v->y();
        sample.acceleration[2] = v->z();
      }
      onTracker(sample);
    }
  }
}

}  // namespace

bool decodeBundle(std::span<const std::uint8_t> message, const std::function<void(const TrackerSample&)>& onTracker) {
  if (message.empty()) return false;
  flatbuffers::Verifier verifier(message.data(), message.size());
  if (!wire::VerifyMessageBundleBuffer(verifier)) return false;
  const wire::MessageBundle* bundle = wire::GetMessageBundle(message.data());
  if (!bundle->data_feed_msgs()) return true;
  for (const wire::DataFeedMessageHeader* header : *bundle->data_feed_msgs()) {
    if (const wire::DataFeedUpdate* update = header ? header->message_as_DataFeedUpdate() : nullptr)
      decodeUpdate(*update, onTracker);
  }
  return true;
}

}  // namespace tracking::solarxr
