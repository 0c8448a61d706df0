#include "bench/raw_local_client.h"

#include <array>
#include <cstring>

#include "bench/bench_stats.h"
#include "protocol/cipher.h"
#include "protocol/login.h"
#include "protocol/message_codes.h"

namespace {

constexpr char kPreamble[] = "CONNECTSERVERHOST\r\n\r\n";
constexpr size_t kPreambleSize = 21;
constexpr size_t kHeaderSize = 8;
constexpr uint32_t kMaxLength = 2000000;
constexpr uint32_t kNamesPerRequest = 25;

void AppendInt(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void AppendPadded(std::vector<uint8_t>& out, const void* bytes, size_t n) {
  const uint8_t* begin = static_cast<const uint8_t*>(bytes);
  out.insert(out.end(), begin, begin + n);
  out.resize(out.size() + (4 - n % 4) % 4, 0);
}

void AppendString(std::vector<uint8_t>& out, const std::string& text) {
  AppendInt(out, static_cast<uint32_t>(text.size()));
  AppendPadded(out, text.data(), text.size());
}

uint32_t IntAt(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool SendAll(platform::SocketHandle socket, const void* bytes, size_t n) {
  return platform::SendSome(socket, bytes, n) == static_cast<long>(n);
}

}  // namespace

void RawLocalClient::Close() {
  if (socket_ != platform::kInvalidSocket) platform::CloseSocket(socket_);
  socket_ = platform::kInvalidSocket;
  inputFill_ = 0;
}

bool RawLocalClient::Connect(uint32_t address, uint16_t port) {
  Close();
  nextQueryId_ = 2;
  socket_ = platform::CreateTcpSocket();
  return socket_ != platform::kInvalidSocket &&
         platform::Connect(socket_, platform::MakeSocketAddress(address, port)) &&
         SendAll(socket_, kPreamble, kPreambleSize);
}

bool RawLocalClient::ReadAnswer() {
  if (input_.size() < 65536) input_.resize(65536);
  // Whatever followed the previous answer is already at the front.
  while (true) {
    if (inputFill_ >= kHeaderSize) {
      answerLength_ = IntAt(input_.data() + 4);
      if (answerLength_ > kMaxLength) return false;
      const size_t whole = kHeaderSize + answerLength_;
      if (inputFill_ >= whole) return true;
      if (input_.size() < whole) input_.resize(whole);
    }
    const long got = platform::ReceiveSome(socket_, input_.data() + inputFill_, input_.size() - inputFill_);
    if (got <= 0) return false;
    inputFill_ += static_cast<size_t>(got);
  }
}

bool RawLocalClient::Exchange(uint16_t code, const std::vector<uint8_t>& payload) {
  // Drop the previous answer; the system answers one request at a time, so
  // anything after it is the start of the next.
  if (inputFill_ >= kHeaderSize) {
    const size_t previous = kHeaderSize + answerLength_;
    if (inputFill_ >= previous) {
      std::memmove(input_.data(), input_.data() + previous, inputFill_ - previous);
      inputFill_ -= previous;
    }
  }
  const uint16_t id = nextQueryId_++;
  request_.clear();
  request_.push_back(static_cast<uint8_t>(id));
  request_.push_back(static_cast<uint8_t>(id >> 8));
  request_.push_back(static_cast<uint8_t>(code));
  request_.push_back(static_cast<uint8_t>(code >> 8));
  AppendInt(request_, static_cast<uint32_t>(payload.size()));
  request_.insert(request_.end(), payload.begin(), payload.end());
  if (!SendAll(socket_, request_.data(), request_.size()) || !ReadAnswer()) return false;
  const uint16_t answerId = static_cast<uint16_t>(input_[0] | input_[1] << 8);
  const uint16_t answerCode = static_cast<uint16_t>(input_[2] | input_[3] << 8);
  return answerId == id && answerCode == static_cast<uint16_t>(code + 1);
}

bool RawLocalClient::ExchangeInts(uint16_t code, std::initializer_list<uint32_t> items) {
  std::vector<uint8_t> payload;
  for (uint32_t item : items) AppendInt(payload, item);
  return Exchange(code, payload);
}

bool RawLocalClient::AnswerInt(size_t offset, uint32_t* value) const {
  if (offset + 4 > answerLength_) return false;
  *value = IntAt(input_.data() + kHeaderSize + offset);
  return true;
}

bool RawLocalClient::AnswerString(size_t offset, std::string* text) const {
  uint32_t n = 0;
  if (!AnswerInt(offset, &n) || (n & 0x80000000u) != 0 || offset + 4 + n > answerLength_) return false;
  const char* begin = reinterpret_cast<const char*>(input_.data() + kHeaderSize + offset + 4);
  text->assign(begin, n);
  return true;
}

bool RawLocalClient::RunLocalSequence(uint32_t address, uint16_t port, const std::string& password,
                                      const std::string& hardwareAddress, int32_t connectionType) {
  namespace codes = message_codes;
  if (!Connect(address, port) || !Exchange(codes::ChallengeQuery, {})) return false;
  std::string challenge;
  AnswerString(0, &challenge);

  const std::array<uint8_t, 16> response = LoginResponse(challenge, password);
  std::vector<uint8_t> login;
  AppendInt(login, static_cast<uint32_t>(kLoginRequestTag));
  AppendInt(login, static_cast<uint32_t>(connectionType));
  AppendString(login, kLocalLoginName);
  AppendInt(login, 16);
  AppendPadded(login, response.data(), response.size());
  AppendInt(login, 2);
  AppendString(login, hardwareAddress);
  AppendString(login, std::string());
  if (!Exchange(codes::LoginQuery, login)) return false;
  loggedInAt_ = bench::NowUs();

  if (!Exchange(codes::VersionQuery, {}) || !AnswerString(0, &versionText_)) return false;
  if (!Exchange(codes::SystemNameQuery, {})) return false;

  uint32_t names = 0;
  if (!ExchangeInts(codes::ControllerConfigQuery, {0, 1}) || !ExchangeInts(codes::StandardNameCountQuery, {0}) ||
      !AnswerInt(0, &names)) {
    return false;
  }
  for (uint32_t done = 0; done < names;) {
    const uint32_t ask = names - done < kNamesPerRequest ? names - done : kNamesPerRequest;
    if (!ExchangeInts(codes::StandardNamesQuery, {0, done, ask})) return false;
    done += ask;
  }
  return ExchangeInts(codes::CustomNamesQuery, {0}) && ExchangeInts(codes::NamedValuesQuery, {0}) &&
         ExchangeInts(codes::ControllerDetailsQuery, {0});
}
