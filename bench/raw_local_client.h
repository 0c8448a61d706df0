// The yardstick of the local-path benchmarks: the plainest client that does the
// launcher's local exchanges. One blocking socket, every request written out by
// hand, answers read into one reusable buffer and looked at only as far as the
// next request needs (the challenge text, the number of standard names). No
// query objects, no routing, no copies of answers: what is left is the cost of
// the network, the system and the login cipher, which no client can avoid.
//
// The exchanges, in the launcher's order: connect, the 21-byte preamble,
// ChallengeQuery, LoginQuery (local form), VersionQuery, SystemNameQuery, then the
// controller configuration of controller 0: 12532 (0, 1), 12558 (0), 12561
// (0, first, count) in chunks of 25, 12562 (0), 12510 (0), 12566 (0).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/socket.h"

class RawLocalClient {
 public:
  RawLocalClient() = default;
  ~RawLocalClient() { Close(); }
  RawLocalClient(const RawLocalClient&) = delete;
  RawLocalClient& operator=(const RawLocalClient&) = delete;

  // The whole sequence; false at the first exchange that fails. The connection
  // stays open either way until Close. address: network order, port: host order.
  bool RunLocalSequence(uint32_t address, uint16_t port, const std::string& password,
                        const std::string& hardwareAddress, int32_t connectionType);
  // The version text of the answer, once the sequence has passed it.
  const std::string& VersionText() const { return versionText_; }
  // When the login was answered (bench::NowUs), for the benchmarks' phases.
  double LoggedInAt() const { return loggedInAt_; }
  platform::SocketHandle Handle() const { return socket_; }
  void Close();

 private:
  bool Connect(uint32_t address, uint16_t port);
  // Sends the request and reads the one answer; true when it carries our
  // identifier and the request's code plus one. The payload is then at
  // answer_[8 .. 8 + answerLength_).
  bool Exchange(uint16_t code, const std::vector<uint8_t>& payload);
  bool ExchangeInts(uint16_t code, std::initializer_list<uint32_t> items);
  bool ReadAnswer();
  bool AnswerString(size_t offset, std::string* text) const;
  bool AnswerInt(size_t offset, uint32_t* value) const;

  platform::SocketHandle socket_ = platform::kInvalidSocket;
  uint16_t nextQueryId_ = 2;
  std::vector<uint8_t> request_;
  std::vector<uint8_t> input_;   // bytes received, from the start of the answer
  size_t inputFill_ = 0;
  uint32_t answerLength_ = 0;
  std::string versionText_;
  double loggedInAt_ = 0;
};
