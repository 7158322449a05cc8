#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "app/core/settings.h"
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

// One check: asks the server and writes its outcome, one line each, to `out` or
// `err`. Returns the newer version when there is one.
std::optional<UpdateFound> checkForUpdates(const UpdateServer& server, std::ostream& out, std::ostream& err);
// The outcome of one reply body from `host`, written and returned as checkForUpdates does.
std::optional<UpdateFound> readUpdateReply(std::string_view body, const std::string& host, std::ostream& out,
                                           std::ostream& err);

// Stores a found update for the window: the texts first, then the flag, so the
// window never sees the flag without the texts. Results are never cleared.
void publishUpdate(const UpdateFound& found, core::Settings& settings);

// Starts checks on detached threads, as the program's start-up and the "Check
// Now" button do. A check that outlives the launcher (the program is closing)
// finishes without touching the settings.
class UpdateCheckLauncher {
 public:
  UpdateCheckLauncher(core::Settings& settings, UpdateServer server);
  ~UpdateCheckLauncher();
  UpdateCheckLauncher(const UpdateCheckLauncher&) = delete;
  UpdateCheckLauncher& operator=(const UpdateCheckLauncher&) = delete;

  void startUpdateCheck();

 private:
  struct Target;
  std::shared_ptr<Target> target_;
  UpdateServer server_;
};

}  // namespace services
