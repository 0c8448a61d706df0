// What the simulated system answers on one connection: the challenge and login,
// version and name, and the controller configuration. It knows nothing of sockets
// or faults on the wire; it turns one request into at most one answer message,
// carrying the request's queryId, and keeps the connection's login state.
//
// Before a successful login only ChallengeQuery and LoginQuery are answered (unless
// SimConfig::requireLogin is off). A challenge serves one login attempt; a refused
// attempt leaves the connection open for another. A request with code 12562 is
// CustomNamesQuery, the only message of that code that travels towards a system.
// Requests of unknown codes get no answer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "protocol/message.h"
#include "tools/sim/login_request.h"
#include "tools/sim/sim_config.h"

class SimSession {
 public:
  explicit SimSession(const SimConfig& config) : config_(config) {}

  // The answer to `request`, or null when the system stays silent (unknown code,
  // not logged in yet). Reads the request from its first item.
  std::unique_ptr<CZkMSG> Answer(CZkMSG& request);

  bool LoggedIn() const { return loggedIn_; }
  // The last LoginQuery that could be read, accepted or not.
  bool HasLoginRequest() const { return hasLoginRequest_; }
  const LoginRequest& LastLoginRequest() const { return lastLogin_; }

 private:
  std::unique_ptr<CZkMSG> AnswerChallenge(const CZkMSG& request);
  std::unique_ptr<CZkMSG> AnswerLogin(CZkMSG& request);
  std::unique_ptr<CZkMSG> AnswerLoggedIn(CZkMSG& request);
  std::unique_ptr<CZkMSG> AnswerStandardNames(CZkMSG& request);
  bool LoginAccepted(CZkMSG& request);
  std::string NewChallenge() const;

  const SimConfig& config_;
  bool loggedIn_ = false;
  bool challengeOpen_ = false;
  std::string challenge_;
  bool hasLoginRequest_ = false;
  LoginRequest lastLogin_;
  int standardNameChunks_ = 0;
};
