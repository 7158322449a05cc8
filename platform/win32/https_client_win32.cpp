#include <windows.h>

// After windows.h, which they rely on.
#include <wincrypt.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "platform/https_client.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

using win32::widen;

// Closes a WinHTTP handle when it goes out of scope.
struct HttpHandle {
  HINTERNET handle;
  explicit HttpHandle(HINTERNET h) : handle(h) {}
  ~HttpHandle() {
    if (handle) ::WinHttpCloseHandle(handle);
  }
  HttpHandle(const HttpHandle&) = delete;
  HttpHandle& operator=(const HttpHandle&) = delete;
  explicit operator bool() const { return handle != nullptr; }
};

std::vector<BYTE> certificateDer(const std::string& pem) {
  DWORD size = 0;
  if (!::CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                              nullptr, nullptr))
    return {};
  std::vector<BYTE> der(size);
  if (!::CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(), &size,
                              nullptr, nullptr))
    return {};
  der.resize(size);
  return der;
}

// With a pinned certificate the system's chain check is relaxed for an unknown
// authority, and the server must then present exactly the pinned certificate.
bool serverPresented(HINTERNET request, const std::vector<BYTE>& expected) {
  PCCERT_CONTEXT context = nullptr;
  DWORD size = sizeof context;
  if (!::WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &context, &size) || !context) return false;
  const bool same = !expected.empty() && context->cbCertEncoded == expected.size() &&
                    std::equal(expected.begin(), expected.end(), context->pbCertEncoded);
  ::CertFreeCertificateContext(context);
  return same;
}

// The exchange's overall limit: each blocking call may wait what is left of it (at
// most one stage's time-out); nothing is left once it passed or was cancelled.
class Deadline {
 public:
  explicit Deadline(const HttpsGetRequest& request)
      : end_(::GetTickCount64() + static_cast<ULONGLONG>(std::max(request.overallTimeoutMilliseconds, 0))),
        stage_(std::max(request.timeoutMilliseconds, 1)),
        cancel_(request.cancel) {}
  int left() const {
    if (cancel_ && cancel_->load()) return 0;
    const ULONGLONG now = ::GetTickCount64();
    return now >= end_ ? 0 : static_cast<int>(std::min<ULONGLONG>(end_ - now, static_cast<ULONGLONG>(stage_)));
  }
  // The receive time-out for the next call; false when no time is left.
  bool limitReceive(HINTERNET request) const {
    DWORD milliseconds = static_cast<DWORD>(left());
    return milliseconds > 0 &&
           ::WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &milliseconds, sizeof milliseconds);
  }

 private:
  ULONGLONG end_;
  int stage_;
  const std::atomic<bool>* cancel_;
};

std::string readBody(HINTERNET request, const Deadline& deadline) {
  std::string body;
  for (;;) {
    if (!deadline.limitReceive(request)) return {};
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request, &available) || available == 0) break;
    if (body.size() + available > kMaxHttpsBody) return {};
    std::string chunk(available, '\0');
    DWORD read = 0;
    if (!::WinHttpReadData(request, chunk.data(), available, &read)) break;
    body.append(chunk.data(), read);
  }
  return body;
}

}  // namespace

HttpsGetResult httpsGet(const HttpsGetRequest& request) {
  HttpsGetResult result;
  HttpHandle session(::WinHttpOpen(widen(request.userAgent).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                   WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) {
    result.stage = HttpsStage::SessionFailed;
    return result;
  }
  HttpHandle connection(
      ::WinHttpConnect(session.handle, widen(request.host).c_str(), static_cast<INTERNET_PORT>(request.port), 0));
  if (!connection) {
    result.stage = HttpsStage::ConnectFailed;
    return result;
  }
  HttpHandle http(::WinHttpOpenRequest(connection.handle, L"GET", widen(request.path).c_str(), nullptr,
                                       WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
  if (!http) {
    result.stage = HttpsStage::RequestFailed;
    return result;
  }
  // Name lookup, connect, the TLS handshake and the send share what is left.
  const Deadline deadline(request);
  const int stage = std::max(deadline.left() / 4, 1);
  ::WinHttpSetTimeouts(http.handle, stage, stage, stage, stage);
  DWORD redirects = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
  ::WinHttpSetOption(http.handle, WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof redirects);

  std::vector<BYTE> pinned;
  if (!request.pinnedCertificatePem.empty()) {
    pinned = certificateDer(request.pinnedCertificatePem);
    DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    ::WinHttpSetOption(http.handle, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
  }
  if (::WinHttpSendRequest(http.handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
      deadline.limitReceive(http.handle) && ::WinHttpReceiveResponse(http.handle, nullptr)) {
    if (request.pinnedCertificatePem.empty() || serverPresented(http.handle, pinned))
      result.body = readBody(http.handle, deadline);
  }
  return result;
}

}  // namespace platform
