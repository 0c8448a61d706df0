#include "protocol/login.h"

#include "protocol/message_codes.h"

namespace {

constexpr int32_t kResponseSize = 16;
constexpr int32_t kItemAfterResponse = 2;

std::unique_ptr<CZkMSG> BuildCommonItems(int32_t connectionType, const std::string& loginName,
                                         const std::array<uint8_t, 16>& response) {
  std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, message_codes::LoginQuery, kLoginRequestReserve, true);
  if (!request) return nullptr;
  const bool written = request->WriteInt(kLoginRequestTag) && request->WriteInt(connectionType) &&
                       request->WriteString(loginName) && request->WriteInt(kResponseSize) &&
                       request->WriteBytes(response.data(), kResponseSize) && request->WriteInt(kItemAfterResponse);
  return written ? std::move(request) : nullptr;
}

}  // namespace

std::unique_ptr<CZkMSG> BuildLocalLoginQuery(int32_t connectionType, const std::string& loginName,
                                             const std::array<uint8_t, 16>& response,
                                             const std::string& hardwareAddress) {
  std::unique_ptr<CZkMSG> request = BuildCommonItems(connectionType, loginName, response);
  if (!request || !request->WriteString(hardwareAddress) || !request->WriteString(std::string())) return nullptr;
  return request;
}

std::unique_ptr<CZkMSG> BuildRemoteLoginQuery(int32_t connectionType, const std::string& loginName,
                                              const std::array<uint8_t, 16>& response) {
  return BuildCommonItems(connectionType, loginName, response);
}
