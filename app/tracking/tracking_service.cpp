#include "app/tracking/tracking_service.h"

#include <string>

#include "app/core/source_names.h"

namespace tracking {
namespace {

using namespace core::sources;

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace

TrackingService::TrackingService(core::Settings& settings, core::Logger& logger, Receivers receivers)
    : settings_(settings), logger_(logger), receivers_(receivers) {}

TrackingService::~TrackingService() = default;

void TrackingService::setCallbacks(core::SampleSink callbacks) {
  callbacks_.store(std::make_shared<const core::SampleSink>(std::move(callbacks)), std::memory_order_release);
}

void TrackingService::forwardOsc(std::string_view address, std::span<const float> f) {
  const auto cb = slots();
  if (!cb) return;
  if (contains(address, "/rotation")) {
    if (f.size() == 4 && cb->on_quaternion)
      cb->on_quaternion(address, f[0], f[1], f[2], f[3]);
    else if (f.size() == 3 && cb->on_rotation)
      cb->on_rotation(address, f[0], f[1], f[2]);
  } else if (contains(address, "/position") && f.size() == 3 && cb->on_position) {
    cb->on_position(address, f[0], f[1], f[2]);
  }
}

void TrackingService::initialize() {
  logger_.info("TrackingService: Initializing...");
  if (auto* osc = receivers_.osc)
    osc->set_message_callback(
        [this](std::string_view address, std::span<const float> values) { forwardOsc(address, values); });
  if (auto* phone = receivers_.phone) {
    phone->set_rotation_callback([this](float x, float y, float z, float w) {
      if (const auto cb = slots(); cb && cb->on_quaternion) cb->on_quaternion(kPhone, x, y, z, w);
    });
    phone->set_accel_callback([this](float x, float y, float z) {
      if (const auto cb = slots(); cb && cb->on_acceleration) cb->on_acceleration(kPhone, x, y, z);
    });
  }
  if (auto* openvr = receivers_.openvrHmd) {
    openvr->set_position_callback([this](float x, float y, float z) {
      if (const auto cb = slots(); cb && cb->on_position) cb->on_position(kOpenVr, x, y, z);
    });
    openvr->set_rotation_callback([this](float a, float b, float c) {
      if (const auto cb = slots(); cb && cb->on_rotation) cb->on_rotation(kOpenVr, a, b, c);
    });
  }
  if (auto* openxr = receivers_.openxrHmd)
    openxr->set_position_callback([this](float x, float y, float z) {
      if (const auto cb = slots(); cb && cb->on_position) cb->on_position(kOpenXr, x, y, z);
    });
  if (auto* solarxr = receivers_.solarxr) {
    solarxr->set_rotation_callback([this](std::string_view name, float a, float b, float c) {
      if (const auto cb = slots(); cb && cb->on_rotation) cb->on_rotation(name, a, b, c);
    });
    solarxr->set_accel_callback([this](std::string_view name, float x, float y, float z) {
      if (const auto cb = slots(); cb && cb->on_acceleration) cb->on_acceleration(name, x, y, z);
    });
    solarxr->set_status_callback([this](std::string_view text) { logger_.info("SolarXR: " + std::string(text)); });
  }
  if (auto* tracker = receivers_.steamvrTracker) {
    tracker->set_rotation_callback([this](float a, float b, float c) {
      if (const auto cb = slots(); cb && cb->on_rotation) cb->on_rotation(kSteamVrTracker, a, b, c);
    });
    tracker->set_accel_callback([this](float x, float y, float z) {
      if (const auto cb = slots(); cb && cb->on_acceleration) cb->on_acceleration(kSteamVrTracker, x, y, z);
    });
  }
  refresh_sources();
  notices_ =
      settings_.config.subscribe(core::kTrackingSection | core::kProgramSection, [this](const core::Config& config) {
        std::lock_guard lock(refreshMutex_);
        if (!(planOf(config) == applied_)) refreshLocked();
      });
}

void TrackingService::refresh_sources() {
  std::lock_guard lock(refreshMutex_);
  refreshLocked();
}

TrackingService::SourcePlan TrackingService::planOf(const core::Config& config) {
  const core::Config::Tracking& t = config.tracking;
  return {t.tracker_source, t.hmd_source,          t.squat_source,
          t.osc_input_port, t.owotrack_input_port, t.solarxr_port,
          t.openvr_hmd_id,  t.steamvr_tracker_id,  config.program.bind_steamvr_toggle};
}

void TrackingService::refreshLocked() {
  using core::Source;
  const SourcePlan plan = planOf(*settings_.config.snapshot());
  applied_ = plan;
  const Source tracker = plan.tracker;
  const Source hmd = plan.hmd;
  const Source squat = plan.squat;
  logger_.info("TrackingService: Refreshing sources...");
  logger_.info("  Tracker Source: " + std::string(core::choiceText(tracker)));
  logger_.info("  HMD Source:     " + std::string(core::choiceText(hmd)));

  refreshOsc(tracker == Source::SlimeOsc || hmd == Source::SlimeOsc, plan.oscPort);
  refreshPhone(tracker == Source::Phone || hmd == Source::PhoneAcceleration, tracker, plan.phonePort);

  if (hmd == Source::OpenVr || squat == Source::OpenVr || plan.gesture) {
    logger_.info("TrackingService: calling openvr_server::start...");
    if (receivers_.openvrHmd) receivers_.openvrHmd->start(plan.openvrHmdId);
    logger_.info("TrackingService: openvr_server::start returned.");
  } else {
    logger_.info("TrackingService: calling openvr_server::stop...");
    if (receivers_.openvrHmd) receivers_.openvrHmd->stop();
    logger_.info("TrackingService: openvr_server::stop returned.");
  }

  if (auto* reader = receivers_.openxrHmd) {
    if (hmd == Source::OpenXr || squat == Source::OpenXr)
      reader->start();
    else
      reader->stop();
  }
  if (auto* client = receivers_.solarxr) {
    if (tracker == Source::SlimeSolarXr || hmd == Source::SlimeSolarXr)
      client->connect("127.0.0.1", plan.solarxrPort);
    else
      client->disconnect();
  }
  if (auto* reader = receivers_.steamvrTracker) {
    if (tracker == Source::SteamVrTracker)
      reader->start(plan.steamvrTrackerId);
    else
      reader->stop();
  }
}

void TrackingService::refreshOsc(bool needed, int port) {
  IOscReceiver* osc = receivers_.osc;
  if (!needed) {
    if (osc) osc->stop();
    lastOscPort_ = -1;
    return;
  }
  if (port != lastOscPort_) {
    logger_.info("TrackingService: Port changed, restarting OSC...");
    if (osc) osc->stop();
    // Without a receiver the start fails, and the next refresh tries again.
    if (osc && osc->start()) {
      lastOscPort_ = port;
      logger_.info("TrackingService: OSC Server started successfully.");
    }
  } else if (osc) {
    osc->start();
  }
}

void TrackingService::refreshPhone(bool needed, core::Source trackerSource, int port) {
  IPhoneReceiver* phone = receivers_.phone;
  if (!needed) {
    logger_.info("TrackingService: owoTrack NOT needed, stopping.");
    if (phone) phone->stop();
    lastPhonePort_ = -1;
    return;
  }
  logger_.info("TrackingService: owoTrack is NEEDED (Source: " + std::string(core::choiceText(trackerSource)) + ")");
  if (port != lastPhonePort_) {
    logger_.info("TrackingService: Port changed (" + std::to_string(lastPhonePort_) + " -> " + std::to_string(port) +
                 "), restarting owoTrack...");
    if (phone) phone->stop();
    if (phone && phone->start()) {
      lastPhonePort_ = port;
      logger_.info("TrackingService: owoTrack Server started successfully.");
    } else {
      logger_.error("TrackingService: FAILED to start owoTrack Server.");
    }
  } else if (!phone || !phone->start()) {
    logger_.error("TrackingService: owoTrack Server is not running!");
  }
}

void TrackingService::cleanup() {
  notices_.reset();  // no refresh after this: the receivers stay stopped
  std::lock_guard lock(refreshMutex_);
  if (receivers_.osc) receivers_.osc->stop();
  if (receivers_.phone) receivers_.phone->stop();
  // The other receivers' threads are ended here too, so none outlives the services it calls into.
  if (receivers_.openvrHmd) receivers_.openvrHmd->stop();
  if (receivers_.openxrHmd) receivers_.openxrHmd->stop();
  if (receivers_.steamvrTracker) receivers_.steamvrTracker->stop();
  if (receivers_.solarxr) receivers_.solarxr->disconnect();
  lastOscPort_ = -1;
  lastPhonePort_ = -1;
}

}  // namespace tracking
