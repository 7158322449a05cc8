#include "driver/server_driver.h"

#include <string_view>

namespace gaitrelay {
namespace {

const char* const kInterfaceVersions[] = {
    "IVRSettings_003",
    "ITrackedDeviceServerDriver_005",
    "IVRDisplayComponent_003",
    "IVRDriverDirectModeComponent_009",
    "IVRCameraComponent_003",
    "IServerTrackedDeviceProvider_004",
    "IVRWatchdogProvider_001",
    "IVRVirtualDisplay_002",
    "IVRDriverManager_001",
    "IVRResources_001",
    "IVRCompositorPluginProvider_001",
    "IVRIPCResourceManagerClient_002",
    nullptr,
};

void* fetch(vr::IVRDriverContext* context, const char* version) {
  vr::EVRInitError error = vr::VRInitError_None;
  void* found = context->GetGenericInterface(version, &error);
  return error == vr::VRInitError_None ? found : nullptr;
}

}  // namespace

CServerDriver::CServerDriver(platform::Endpoint listen, TickSource ticks)
    : listen_(listen), ticks_(ticks ? ticks : &steadyTicks) {}

// No exception may leave the driver into the server (another compiler's code): every
// entry point catches what the standard library might throw (out of memory).
CServerDriver::~CServerDriver() { Interception::removeFor(&relay_); }

vr::EVRInitError CServerDriver::Init(vr::IVRDriverContext* context) {
  try {
    return initialize(context);
  } catch (...) {
    return vr::VRInitError_None;  // the driver then runs without effect
  }
}

vr::EVRInitError CServerDriver::initialize(vr::IVRDriverContext* context) {
  if (!context) return vr::VRInitError_Init_InterfaceNotFound;
  // The host interfaces every driver relies on, fetched in the usual order; the
  // property interface may be missing (registration then reads no role or serial).
  for (const char* version : {vr::IVRServerDriverHost_Version, vr::IVRSettings_Version}) {
    if (!fetch(context, version)) return vr::VRInitError_Init_InterfaceNotFound;
  }
  auto* properties = static_cast<vr::IVRProperties*>(fetch(context, vr::IVRProperties_Version));
  for (const char* version : {vr::IVRDriverLog_Version, vr::IVRDriverManager_Version, vr::IVRResources_Version}) {
    if (!fetch(context, version)) return vr::VRInitError_Init_InterfaceNotFound;
  }

  // A socket that fails to open or bind simply receives nothing.
  if (!socket_.isOpen() && socket_.open()) {
    if (!socket_.setNonBlocking(true) || !socket_.bind(listen_)) socket_.close();
  }

  // Older runtimes know only the previous version, whose first slots are the same.
  auto* input = static_cast<vr::IVRDriverInput*>(fetch(context, vr::IVRDriverInput_Version));
  if (!input) input = static_cast<vr::IVRDriverInput*>(fetch(context, vr::IVRDriverInput_PreviousVersion));
  if (input) Interception::install(input, properties, &relay_, ticks_);
  return vr::VRInitError_None;
}

void CServerDriver::Cleanup() {
  Interception::remove();
  socket_.close();
}

const char* const* CServerDriver::GetInterfaceVersions() { return kInterfaceVersions; }

void CServerDriver::drainDatagrams() {
  if (!socket_.isOpen()) return;
  for (int i = 0; i < kMaxDatagramsPerFrame; ++i) {
    const platform::ReceiveResult received = socket_.receiveFrom(buffer_);
    // Truncated: longer than the buffer, never acted on; the rest waits for the next frame.
    if (received.status != platform::ReceiveStatus::Received) return;
    // An empty datagram carries nothing; the ones queued behind it are still read now.
    if (received.bytes < 1) continue;
    const std::string_view text(reinterpret_cast<const char*>(buffer_.data()), received.bytes);
    std::uint32_t counter = 0;
    if (hook::parsePing(text, counter))
      answerPing(counter, received.from);
    else
      relay_.apply(hook::parse(text), ticks_());
  }
}

void CServerDriver::answerPing(std::uint32_t counter, const platform::Endpoint& to) {
  // Only the local machine is answered (the socket is bound to loopback anyway).
  if ((to.address >> 24) != 127) return;
  hook::DriverStatus status;
  status.counter = counter;
  status.controllers = static_cast<std::uint32_t>(relay_.controllerCount());
  const std::uint64_t now = ticks_();
  if (lastApplied_ != 0) status.overrideAgeMs = static_cast<std::int64_t>(now >= lastApplied_ ? now - lastApplied_ : 0);
  socket_.sendTo(hook::statusMessage(status), to);  // a lost answer is simply missed
}

void CServerDriver::RunFrame() {
  try {
    runFrame();
  } catch (...) {
  }
}

void CServerDriver::runFrame() {
  drainDatagrams();
  vr::IVRDriverInput* input = Interception::lastInput();
  if (!input) return;
  const std::uint64_t now = ticks_();
  if (relay_.overrideInForce(now)) lastApplied_ = now != 0 ? now : 1;
  if (UpdateScalarFn update = Interception::realUpdateScalar()) relay_.pushSticks(input, update, ticks_());
  if (UpdateBooleanFn update = Interception::realUpdateBoolean()) relay_.pushButtons(input, update, ticks_());
}

}  // namespace gaitrelay
