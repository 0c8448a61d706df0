#include "tools/sim/login_request.h"

#include "protocol/login.h"

namespace {

constexpr int32_t kResponseSize = 16;
constexpr int32_t kItemAfterResponse = 2;

bool ReadExpectedInt(CZkMSG& request, int32_t expected) {
  int32_t value = 0;
  return request.ReadInt(&value) && value == expected;
}

bool ReadResponse(CZkMSG& request, std::array<uint8_t, 16>* response) {
  if (!ReadExpectedInt(request, kResponseSize)) return false;
  for (uint8_t& byte : *response) {
    if (!request.ReadByte(&byte)) return false;
  }
  return true;
}

// Items 1 to 6, from the first payload byte.
bool ReadCommonItems(CZkMSG& request, LoginRequest* login) {
  request.Rewind();
  return ReadExpectedInt(request, kLoginRequestTag) && request.ReadInt(&login->connectionType) &&
         request.ReadString(&login->loginName) && ReadResponse(request, &login->response) &&
         ReadExpectedInt(request, kItemAfterResponse);
}

// Consumes a byte when there is one, so only call it where nothing may follow.
bool AtEnd(CZkMSG& request) {
  uint8_t ignored = 0;
  return !request.ReadByte(&ignored);
}

}  // namespace

bool ParseLoginRequest(CZkMSG& request, LoginRequest* login) {
  LoginRequest parsed;
  if (!ReadCommonItems(request, &parsed)) return false;
  if (!AtEnd(request)) {
    // The local form: read again up to the end of item 6, then its two texts.
    parsed.localForm = true;
    if (!ReadCommonItems(request, &parsed) || !request.ReadString(&parsed.hardwareAddress) ||
        !request.ReadString(&parsed.trailer) || !AtEnd(request)) {
      return false;
    }
  }
  *login = parsed;
  return true;
}
