#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>

#include "platform/https_client.h"

namespace services {

// The version this build reports and compares against.
inline constexpr const char* kCurrentVersion = "0.910";

// "major.minor.patch" read as far as it goes (missing parts are 0) and combined
// as (major * 100 + minor) * 1000 + patch, saturated to the 32-bit range.
int versionNumber(std::string_view text);

// Where the update check asks; the host is a build option.
struct UpdateServer {
  std::string host;
  int port = 443;
  std::string pinnedCertificatePem;  // tests only; empty trusts the system's authorities
};
UpdateServer defaultUpdateServer();

struct UpdateFound {
  std::string version;
  std::string downloadUrl;
};

// One check: asks the server (https only, within kUpdateCheckLimitMs) and writes its
// outcome, one line each, to `out` or `err`. Returns the newer version when there is
// one. A download address that is not https is replaced by the server's own. Gives
// up soon after `cancel` turns true.
inline constexpr int kUpdateCheckLimitMs = 15000;
std::optional<UpdateFound> checkForUpdates(const UpdateServer& server, std::ostream& out, std::ostream& err,
                                           const std::atomic<bool>* cancel = nullptr);
// The outcome of one reply body from `host`, written and returned as checkForUpdates does.
std::optional<UpdateFound> readUpdateReply(std::string_view body, const std::string& host, std::ostream& out,
                                           std::ostream& err);

// The window's update prompt: the update a check found and whether SKIP dismissed it.
// A check's thread publishes, the window reads a copy each frame under a small lock.
// A found update is never cleared, and a later one does not bring a dismissed prompt back.
class UpdatePrompt {
 public:
  // The found update while its prompt shows; none before a check found one and after SKIP.
  std::optional<UpdateFound> shown() const;
  void publish(UpdateFound found);
  void dismiss();

 private:
  mutable std::mutex mutex_;
  std::optional<UpdateFound> found_;
  bool dismissed_ = false;
};

// Starts checks on threads of their own, as the program's start-up and the "Check
// Now" button do, and holds what they found for the window. The launcher's end
// cancels the checks still running and joins them (on Windows a cancel is seen
// between WinHTTP's calls, each bounded by the check's limit); they never touch
// its prompt after it.
class UpdateCheckLauncher {
 public:
  explicit UpdateCheckLauncher(UpdateServer server);
  ~UpdateCheckLauncher();
  UpdateCheckLauncher(const UpdateCheckLauncher&) = delete;
  UpdateCheckLauncher& operator=(const UpdateCheckLauncher&) = delete;

  void startUpdateCheck();
  UpdatePrompt& prompt() { return prompt_; }

 private:
  struct Target;
  struct Check {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };
  std::shared_ptr<Target> target_;
  UpdatePrompt prompt_;
  UpdateServer server_;
  std::mutex checksMutex_;
  std::list<Check> checks_;
};

}  // namespace services
