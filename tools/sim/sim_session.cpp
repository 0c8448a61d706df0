#include "tools/sim/sim_session.h"

#include <random>

#include "protocol/cipher.h"
#include "protocol/message_codes.h"
#include "tools/sim/config_answers.h"

namespace codes = message_codes;

namespace {

constexpr size_t kChallengeLength = 16;

std::unique_ptr<CZkMSG> NewAnswer(const CZkMSG& request, uint16_t code) {
  return CZkMSG::Create(request.GetQueryId(), code, 0, true);
}

// An int the request should carry; a missing one counts as 0.
uint32_t ReadCount(CZkMSG& request) {
  int32_t value = 0;
  request.ReadInt(&value);
  return static_cast<uint32_t>(value);
}

// The exchanges whose answer depends on the configuration alone.
using AnswerWriter = bool (*)(const SimConfig& config, CZkMSG& request, CZkMSG* answer);
struct Exchange {
  uint16_t request;
  uint16_t answer;
  AnswerWriter write;
};

const Exchange kExchanges[] = {
    {codes::VersionQuery, codes::VersionAnswer,
     [](const SimConfig& config, CZkMSG&, CZkMSG* answer) {
       return answer->WriteString(config.versionText) && answer->WriteInt(config.versionValue);
     }},
    {codes::SystemNameQuery, codes::SystemNameAnswer,
     [](const SimConfig& config, CZkMSG&, CZkMSG* answer) {
       return answer->WriteInt(0) && answer->WriteInt(0) && answer->WriteString(config.systemName);
     }},
    {codes::ControllerConfigQuery, codes::ControllerConfigAnswer,
     [](const SimConfig& config, CZkMSG& request, CZkMSG* answer) {
       return WriteControllerConfig(config, ReadCount(request), answer);
     }},
    {codes::StandardNameCountQuery, codes::StandardNameCountAnswer,
     [](const SimConfig& config, CZkMSG&, CZkMSG* answer) { return WriteStandardNameCount(config, answer); }},
    {codes::CustomNamesQuery, codes::CustomNamesAnswer,
     [](const SimConfig& config, CZkMSG&, CZkMSG* answer) { return WriteCustomNames(config, answer); }},
    {codes::NamedValuesQuery, codes::NamedValuesAnswer,
     [](const SimConfig& config, CZkMSG&, CZkMSG* answer) { return WriteNamedValues(config, answer); }},
    {codes::ControllerDetailsQuery, codes::ControllerDetailsAnswer,
     [](const SimConfig& config, CZkMSG&, CZkMSG* answer) { return WriteControllerDetails(config, answer); }},
};

}  // namespace

std::unique_ptr<CZkMSG> SimSession::Answer(CZkMSG& request) {
  request.Rewind();
  switch (request.GetCode()) {
    case codes::ChallengeQuery:
      return AnswerChallenge(request);
    case codes::LoginQuery:
      return AnswerLogin(request);
    default:
      if (!loggedIn_ && config_.requireLogin) return nullptr;
      return AnswerLoggedIn(request);
  }
}

std::unique_ptr<CZkMSG> SimSession::AnswerChallenge(const CZkMSG& request) {
  challenge_ = config_.challenge.empty() ? NewChallenge() : config_.challenge;
  challengeOpen_ = true;
  std::unique_ptr<CZkMSG> answer = NewAnswer(request, codes::ChallengeAnswer);
  if (answer && !answer->WriteString(challenge_)) return nullptr;
  return answer;
}

std::string SimSession::NewChallenge() const {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::random_device source;
  std::string text;
  while (text.size() < kChallengeLength) {
    uint32_t bits = source();
    for (int i = 0; i < 8; ++i, bits >>= 4) text += kDigits[bits & 0xF];
  }
  return text.substr(0, kChallengeLength);
}

std::unique_ptr<CZkMSG> SimSession::AnswerLogin(CZkMSG& request) {
  const bool accepted = LoginAccepted(request);
  loggedIn_ = loggedIn_ || accepted;
  return NewAnswer(request, accepted ? codes::LoginAnswer : codes::LoginRejected);
}

// The response must be the one the password gives for the challenge handed out
// last on this connection; each challenge is good for one attempt only, so a
// recorded login cannot be replayed.
bool SimSession::LoginAccepted(CZkMSG& request) {
  LoginRequest login;
  const bool readable = ParseLoginRequest(request, &login);
  if (readable) {
    hasLoginRequest_ = true;
    lastLogin_ = login;
  }
  const bool hadChallenge = challengeOpen_;
  challengeOpen_ = false;
  return readable && hadChallenge && login.response == LoginResponse(challenge_, config_.password);
}

std::unique_ptr<CZkMSG> SimSession::AnswerLoggedIn(CZkMSG& request) {
  if (request.GetCode() == codes::StandardNamesQuery) return AnswerStandardNames(request);
  for (const Exchange& exchange : kExchanges) {
    if (exchange.request != request.GetCode()) continue;
    std::unique_ptr<CZkMSG> answer = NewAnswer(request, exchange.answer);
    if (!answer || !exchange.write(config_, request, answer.get())) return nullptr;
    return answer;
  }
  return nullptr;
}

std::unique_ptr<CZkMSG> SimSession::AnswerStandardNames(CZkMSG& request) {
  ReadCount(request);  // always 0
  const uint32_t first = ReadCount(request);
  const uint32_t count = ReadCount(request);
  const bool shortChunk = standardNameChunks_++ == config_.faults.shortStandardNamesChunk;
  std::unique_ptr<CZkMSG> answer = NewAnswer(request, codes::StandardNamesAnswer);
  if (!answer || !WriteStandardNames(config_, first, count, shortChunk, answer.get())) return nullptr;
  return answer;
}
