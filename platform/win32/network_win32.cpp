#include <winsock2.h>

#include "platform/network.h"

namespace platform {

int startNetworking() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data);
}

}  // namespace platform
