#include "app/system/update_check.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>

#ifndef STRIVOVR_UPDATE_HOST
#define STRIVOVR_UPDATE_HOST "updates.strivovr.invalid"
#endif

namespace services {
namespace {

constexpr const char* kUserAgent = "StrivoVR-UpdateCheck/1.0";
constexpr const char* kVersionPath = "/api/version";
constexpr int kTimeoutMilliseconds = 8000;

// Reads one integer as "%d" would: optional blanks and sign, then digits. Values
// beyond the 32-bit range saturate instead of wrapping.
bool readInteger(std::string_view text, size_t& at, long long& value) {
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  const size_t first = at;
  long long magnitude = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
    magnitude = std::min<long long>(magnitude * 10 + (text[at] - '0'), 1LL << 32);
    ++at;
  }
  if (at == first) return false;
  value = std::clamp<long long>(negative ? -magnitude : magnitude, INT_MIN, INT_MAX);
  return true;
}

bool isPlaceholderHost(std::string_view host) {
  constexpr std::string_view kReserved = ".invalid";
  return host.empty() || (host.size() >= kReserved.size() && host.substr(host.size() - kReserved.size()) == kReserved);
}

}  // namespace

int versionNumber(std::string_view text) {
  long long parts[3] = {0, 0, 0};
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (at >= text.size() || text[at] != '.') break;
      ++at;
    }
    if (!readInteger(text, at, parts[i])) break;
  }
  const long long number = (parts[0] * 100 + parts[1]) * 1000 + parts[2];
  return static_cast<int>(std::clamp<long long>(number, INT_MIN, INT_MAX));
}

UpdateServer defaultUpdateServer() { return UpdateServer{STRIVOVR_UPDATE_HOST, 443, {}}; }

std::optional<UpdateFound> checkForUpdates(const UpdateServer& server, std::ostream& out, std::ostream& err,
                                           const std::atomic<bool>* cancel) {
  out << "[Update] Checking for updates...\n" << std::flush;
  // A build without an update server keeps the reserved placeholder name: no
  // query leaves the machine for it, not even a name lookup.
  if (isPlaceholderHost(server.host)) {
    err << "[Update] No update server is set in this build (" << server.host << ")\n" << std::flush;
    return std::nullopt;
  }
  const platform::HttpsGetResult reply =
      platform::httpsGet({server.host, server.port, kVersionPath, kUserAgent, kTimeoutMilliseconds, kUpdateCheckLimitMs,
                          cancel, server.pinnedCertificatePem});
  switch (reply.stage) {
    case platform::HttpsStage::SessionFailed:
      err << "[Update] WinHttpOpen failed\n" << std::flush;
      return std::nullopt;
    case platform::HttpsStage::ConnectFailed:
      err << "[Update] WinHttpConnect failed\n" << std::flush;
      return std::nullopt;
    case platform::HttpsStage::RequestFailed:
      err << "[Update] WinHttpOpenRequest failed\n" << std::flush;
      return std::nullopt;
    case platform::HttpsStage::Sent:
      break;
  }
  return readUpdateReply(reply.body, server.host, out, err);
}

std::optional<UpdateFound> readUpdateReply(std::string_view body, const std::string& host, std::ostream& out,
                                           std::ostream& err) {
  if (body.empty()) {
    err << "[Update] Empty response\n" << std::flush;
    return std::nullopt;
  }
  UpdateFound found;
  try {
    const nlohmann::json reply = nlohmann::json::parse(body);
    found.version = reply.value("version", std::string());
    found.downloadUrl = reply.value("download_url", "https://" + host);
  } catch (const nlohmann::json::exception& error) {
    err << "[Update] Parse error: " << error.what() << "\n" << std::flush;
    return std::nullopt;
  }
  // The prompt opens this address in the browser: never over plain http.
  if (found.downloadUrl.rfind("https://", 0) != 0) {
    err << "[Update] The download address is not https; using https://" << host << " instead\n" << std::flush;
    found.downloadUrl = "https://" + host;
  }
  if (found.version.empty()) {
    err << "[Update] No version field in response\n" << std::flush;
    return std::nullopt;
  }
  if (versionNumber(found.version) > versionNumber(kCurrentVersion)) {
    out << "[Update] New version available: " << found.version << "\n" << std::flush;
    return found;
  }
  out << "[Update] Already up to date (" << kCurrentVersion << ")\n" << std::flush;
  return std::nullopt;
}

std::optional<UpdateFound> UpdatePrompt::shown() const {
  std::lock_guard lock(mutex_);
  if (dismissed_) return std::nullopt;
  return found_;
}

void UpdatePrompt::publish(UpdateFound found) {
  std::lock_guard lock(mutex_);
  found_ = std::move(found);
}

void UpdatePrompt::dismiss() {
  std::lock_guard lock(mutex_);
  dismissed_ = true;
}

// What a running check reports to: the launcher's prompt while the launcher lives.
struct UpdateCheckLauncher::Target {
  std::mutex mutex;
  UpdatePrompt* prompt;
  std::atomic<bool> cancel{false};
};

UpdateCheckLauncher::UpdateCheckLauncher(UpdateServer server)
    : target_(std::make_shared<Target>()), server_(std::move(server)) {
  target_->prompt = &prompt_;
}

UpdateCheckLauncher::~UpdateCheckLauncher() {
  {
    std::lock_guard lock(target_->mutex);
    target_->prompt = nullptr;
  }
  target_->cancel = true;
  std::lock_guard lock(checksMutex_);
  for (Check& check : checks_) check.thread.join();
}

void UpdateCheckLauncher::startUpdateCheck() {
  std::lock_guard lock(checksMutex_);
  // Checks that ended are joined here, so repeated presses do not pile up threads.
  checks_.remove_if([](Check& check) {
    if (!check.finished->load()) return false;
    check.thread.join();
    return true;
  });
  auto finished = std::make_shared<std::atomic<bool>>(false);
  try {
    std::thread thread([target = target_, server = server_, finished] {
      const std::optional<UpdateFound> found = checkForUpdates(server, std::cout, std::cerr, &target->cancel);
      if (found) {
        std::lock_guard lock(target->mutex);
        if (target->prompt) target->prompt->publish(*found);
      }
      *finished = true;
    });
    checks_.push_back({std::move(thread), std::move(finished)});
  } catch (const std::system_error&) {
    std::cerr << "[Update] Could not start the update check\n" << std::flush;
  }
}

}  // namespace services
