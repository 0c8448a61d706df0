// Reading a LoginQuery as the system receives it. Both forms are accepted: the
// local one, which ends with the hardware address and an empty text, and the one
// sent through a gateway, which ends after the int 2 (layout in protocol/login.h).
// Anything else (another tag, a response that is not 16 bytes, bytes left over) is
// not a login request.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "protocol/message.h"

struct LoginRequest {
  int32_t connectionType = 0;
  std::string loginName;
  std::array<uint8_t, 16> response = {};
  bool localForm = false;
  std::string hardwareAddress;  // local form only
  std::string trailer;          // local form only; empty from the launcher
};

// Reads the request from its first item; false when it is malformed.
bool ParseLoginRequest(CZkMSG& request, LoginRequest* login);
