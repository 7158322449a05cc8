#include <curl/curl.h>

#include <mutex>

#include "platform/https_client.h"

namespace platform {
namespace {

struct Body {
  std::string text;
  bool tooLong = false;
};

size_t appendBody(char* data, size_t size, size_t count, void* user) {
  auto* body = static_cast<Body*>(user);
  const size_t bytes = size * count;
  if (body->text.size() + bytes > kMaxHttpsBody) {
    body->tooLong = true;
    return 0;  // ends the transfer
  }
  body->text.append(data, bytes);
  return bytes;
}

// Nonzero ends the transfer; curl calls this several times a second while it waits.
int cancelled(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* cancel = static_cast<const std::atomic<bool>*>(user);
  return cancel && cancel->load() ? 1 : 0;
}

}  // namespace

HttpsGetResult httpsGet(const HttpsGetRequest& request) {
  static std::once_flag globalInit;
  std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

  HttpsGetResult result;
  CURL* curl = curl_easy_init();
  if (!curl) {
    result.stage = HttpsStage::SessionFailed;
    return result;
  }
  const std::string url = "https://" + request.host + ":" + std::to_string(request.port) + request.path;
  Body body;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "https");
  curl_easy_setopt(curl, CURLOPT_USERAGENT, request.userAgent.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.timeoutMilliseconds));
  // No byte for the time-out ends the transfer, as a receive time-out would; the
  // whole exchange is bounded as well.
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>((request.timeoutMilliseconds + 999) / 1000));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(request.overallTimeoutMilliseconds));
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, cancelled);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(request.cancel));
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_blob pinned{};
  if (!request.pinnedCertificatePem.empty()) {
    pinned.data = const_cast<char*>(request.pinnedCertificatePem.data());
    pinned.len = request.pinnedCertificatePem.size();
    pinned.flags = CURL_BLOB_COPY;
    curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &pinned);
    curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
  }
  // The status code is not looked at: whatever body arrived is the answer.
  if (curl_easy_perform(curl) == CURLE_OK && !body.tooLong) result.body = std::move(body.text);
  curl_easy_cleanup(curl);
  return result;
}

}  // namespace platform
