// The connect-and-login sequence for a system on the local network.
#include <memory>

#include "local/zk_query.h"
#include "local/zk_server.h"
#include "protocol/cipher.h"
#include "protocol/login.h"
#include "protocol/message.h"
#include "protocol/message_codes.h"

namespace {

constexpr uint32_t kLoginTimeoutMs = 10000;

}  // namespace

bool CZkServer::ConnectLocal(uint32_t address, uint16_t port, int32_t connectionType) {
  if (socket_->IsOpen()) socket_->Close();
  target_ = platform::MakeSocketAddress(address, port);
  if (!socket_->Open(target_)) return false;

  std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, message_codes::ChallengeQuery, 0, true);
  CZkQuery query;
  CZkMSG* answer = nullptr;
  if (!request || !query.Ask(&answer, request.get())) {
    socket_->Close();
    return false;
  }
  // An unreadable challenge is answered as an empty one.
  std::string challenge;
  answer->ReadString(&challenge);
  return Login(challenge, password_, connectionType, kLocalLoginName);
}

bool CZkServer::Login(const std::string& challenge, const std::string& password, int32_t connectionType,
                      const std::string& loginName) {
  const std::array<uint8_t, 16> response = LoginResponse(challenge, password);
  std::unique_ptr<CZkMSG> request = BuildLocalLoginQuery(connectionType, loginName, response, hardwareAddress_);
  if (!request) return false;
  CZkQuery query;
  query.SetTimeout(kLoginTimeoutMs);
  CZkMSG* answer = nullptr;
  return query.Ask(&answer, request.get()) && answer->GetCode() == message_codes::LoginAnswer;
}
