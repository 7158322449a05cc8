// The WebSocket client on WinHTTP (synchronous). Each receive is bounded by the
// receive time-out set on the request before the upgrade (the WebSocket handle takes
// it over), so the caller's thread can check whether it is still wanted instead of
// blocking until the peer sends something.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <mutex>

#include "platform/websocket_client.h"

namespace platform {
namespace {

constexpr DWORD kCloseStatusNormal = 1000;

class WinHttpConnection final : public IWebSocketConnection {
 public:
  WinHttpConnection(HINTERNET connection, HINTERNET socket) : connection_(connection), socket_(socket) {}
  ~WinHttpConnection() override { close(); }

  bool sendBinary(std::span<const std::uint8_t> message) override {
    if (!socket_) return false;
    const DWORD result =
        WinHttpWebSocketSend(socket_, WINHTTP_WEB_SOCKET_BINARY_MESSAGE_BUFFER_TYPE,
                             const_cast<std::uint8_t*>(message.data()), static_cast<DWORD>(message.size()));
    return result == NO_ERROR;
  }

  WebSocketReceive receive(std::span<std::uint8_t> buffer) override {
    if (!socket_) return {WebSocketReceiveStatus::Failed, 0, true, ERROR_INVALID_HANDLE};
    DWORD bytes = 0;
    WINHTTP_WEB_SOCKET_BUFFER_TYPE type = WINHTTP_WEB_SOCKET_BINARY_MESSAGE_BUFFER_TYPE;
    const DWORD result =
        WinHttpWebSocketReceive(socket_, buffer.data(), static_cast<DWORD>(buffer.size()), &bytes, &type);
    if (result == ERROR_WINHTTP_TIMEOUT) return {WebSocketReceiveStatus::TimedOut};
    if (result != NO_ERROR) return {WebSocketReceiveStatus::Failed, 0, true, static_cast<int>(result)};
    const std::size_t n = std::min<std::size_t>(bytes, buffer.size());
    switch (type) {
      case WINHTTP_WEB_SOCKET_BINARY_MESSAGE_BUFFER_TYPE:
        return {WebSocketReceiveStatus::Binary, n, true};
      case WINHTTP_WEB_SOCKET_BINARY_FRAGMENT_BUFFER_TYPE:
        return {WebSocketReceiveStatus::Binary, n, false};
      case WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE:
        return {WebSocketReceiveStatus::Text, n, true};
      case WINHTTP_WEB_SOCKET_UTF8_FRAGMENT_BUFFER_TYPE:
        return {WebSocketReceiveStatus::Text, n, false};
      case WINHTTP_WEB_SOCKET_CLOSE_BUFFER_TYPE:
      default:
        return {WebSocketReceiveStatus::Closed};
    }
  }

  // Starts the closing handshake from another thread: the peer's close frame ends the
  // receive that is waiting.
  void interrupt() override {
    std::lock_guard lock(mutex_);
    if (socket_ && !shutDown_) {
      shutDown_ = true;
      WinHttpWebSocketShutdown(socket_, static_cast<USHORT>(kCloseStatusNormal), nullptr, 0);
    }
  }

  void close() override {
    if (socket_) {
      std::lock_guard lock(mutex_);
      // Waits for the peer's close frame at most one receive time-out.
      if (!shutDown_) WinHttpWebSocketClose(socket_, static_cast<USHORT>(kCloseStatusNormal), nullptr, 0);
      WinHttpCloseHandle(socket_);
      socket_ = nullptr;
    }
    if (connection_) {
      WinHttpCloseHandle(connection_);
      connection_ = nullptr;
    }
  }

 private:
  HINTERNET connection_;
  HINTERNET socket_;
  std::mutex mutex_;  // orders interrupt against close
  bool shutDown_ = false;
};

class WinHttpSession final : public IWebSocketSession {
 public:
  explicit WinHttpSession(HINTERNET session) : session_(session) {}
  ~WinHttpSession() override { WinHttpCloseHandle(session_); }

  std::unique_ptr<IWebSocketConnection> connect(const std::string& host, int port, int receiveTimeoutMs,
                                                std::string& error) override {
    if (port < 1 || port > 65535) {
      error = "port out of range";
      return nullptr;
    }
    // Host names are ASCII: widened byte by byte.
    const std::wstring wideHost(host.begin(), host.end());
    HINTERNET connection = WinHttpConnect(session_, wideHost.c_str(), static_cast<INTERNET_PORT>(port), 0);
    if (!connection) return fail(error, "WinHttpConnect", nullptr, nullptr);
    HINTERNET request =
        WinHttpOpenRequest(connection, L"GET", L"/", nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
    if (!request) return fail(error, "WinHttpOpenRequest", connection, nullptr);
    const int t = kWebSocketHandshakeTimeoutMs;
    if (!WinHttpSetOption(request, WINHTTP_OPTION_UPGRADE_TO_WEB_SOCKET, nullptr, 0) ||
        !WinHttpSetTimeouts(request, t, t, t, t))
      return fail(error, "WinHttpSetOption", connection, request);
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
      return fail(error, "WinHttpSendRequest", connection, request);
    if (!WinHttpReceiveResponse(request, nullptr)) return fail(error, "WinHttpReceiveResponse", connection, request);
    // From here on the time-out bounds each WebSocket receive.
    const DWORD receiveTimeout = static_cast<DWORD>(std::max(receiveTimeoutMs, 1));
    WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, const_cast<DWORD*>(&receiveTimeout),
                     sizeof receiveTimeout);
    HINTERNET socket = WinHttpWebSocketCompleteUpgrade(request, 0);
    if (!socket) return fail(error, "WinHttpWebSocketCompleteUpgrade", connection, request);
    WinHttpCloseHandle(request);
    return std::make_unique<WinHttpConnection>(connection, socket);
  }

 private:
  static std::unique_ptr<IWebSocketConnection> fail(std::string& error, const char* step, HINTERNET connection,
                                                    HINTERNET request) {
    error = std::string(step) + " failed (" + std::to_string(GetLastError()) + ")";
    if (request) WinHttpCloseHandle(request);
    if (connection) WinHttpCloseHandle(connection);
    return nullptr;
  }

  HINTERNET session_;
};

}  // namespace

std::unique_ptr<IWebSocketSession> openWebSocketSession(const std::string& userAgent) {
  const std::wstring agent(userAgent.begin(), userAgent.end());
  HINTERNET session =
      WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session) return nullptr;
  return std::make_unique<WinHttpSession>(session);
}

}  // namespace platform
