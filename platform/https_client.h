#pragma once

#include <atomic>
#include <string>

namespace platform {

// One HTTPS GET, as the update check makes it.
struct HttpsGetRequest {
  std::string host;
  int port = 443;
  std::string path;
  std::string userAgent;
  int timeoutMilliseconds = 8000;  // each of connect, send and receive
  // The whole exchange, name lookup to the last byte, ends within this.
  int overallTimeoutMilliseconds = 15000;
  // When set and it turns true, the exchange gives up soon after (the program closes).
  const std::atomic<bool>* cancel = nullptr;
  // Empty: the system's trusted authorities decide. Otherwise only this
  // certificate (PEM) is trusted (tests serve a self-signed one).
  std::string pinnedCertificatePem;
};

// How far the request got. `Sent` with an empty body covers every failure to
// connect, send or receive: the caller cannot tell them apart.
enum class HttpsStage { Sent, SessionFailed, ConnectFailed, RequestFailed };

struct HttpsGetResult {
  HttpsStage stage = HttpsStage::Sent;
  std::string body;  // at most kMaxHttpsBody bytes; a longer reply gives an empty body
};

inline constexpr std::size_t kMaxHttpsBody = 1 << 20;

HttpsGetResult httpsGet(const HttpsGetRequest& request);

}  // namespace platform
