#include "tools/sim/simulated_system.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "protocol/cipher.h"
#include "protocol/login.h"
#include "protocol/message_codes.h"
#include "tools/sim/sim_options.h"

namespace codes = message_codes;

namespace {

constexpr int kAnswerWaitMs = 2000;
constexpr int kSilenceMs = 300;

// A blocking client as small as the protocol allows: its own reassembly, nothing of
// the launcher's engine.
class TestClient {
 public:
  explicit TestClient(uint16_t port, bool sendPreamble = true) {
    socket_ = platform::CreateTcpSocket();
    EXPECT_TRUE(platform::Connect(socket_, platform::MakeSocketAddress(NetworkOrderAddress(127, 0, 0, 1), port)));
    if (sendPreamble) SendBytes(std::vector<uint8_t>(kPreamble, kPreamble + kPreambleSize));
  }
  ~TestClient() { platform::CloseSocket(socket_); }

  void SendBytes(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const long sent = platform::SendSome(socket_, bytes.data() + done, bytes.size() - done);
      ASSERT_GT(sent, 0);
      done += static_cast<size_t>(sent);
    }
  }

  void Send(CZkMSG& request, uint16_t queryId) {
    request.SetQueryId(queryId);
    const uint8_t* wire = request.GetWire();
    SendBytes(std::vector<uint8_t>(wire, wire + request.GetWireSize()));
  }

  // The next whole message, or null when none came in time or the sim closed.
  std::unique_ptr<CZkMSG> Read(int timeoutMs = kAnswerWaitMs) {
    while (!WholeMessageBuffered()) {
      if (!ReceiveOnce(timeoutMs)) return nullptr;
    }
    std::unique_ptr<CZkMSG> message = CZkMSG::Wrap(buffer_.data())->Clone();
    buffer_.erase(buffer_.begin(), buffer_.begin() + message->GetWireSize());
    return message;
  }

  std::unique_ptr<CZkMSG> Ask(uint16_t queryId, uint16_t code, const std::vector<int32_t>& ints = {},
                              int timeoutMs = kAnswerWaitMs) {
    std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, code, 0, true);
    for (int32_t value : ints) request->WriteInt(value);
    Send(*request, queryId);
    return Read(timeoutMs);
  }

  std::string Challenge() {
    std::unique_ptr<CZkMSG> answer = Ask(1, codes::ChallengeQuery);
    std::string challenge;
    EXPECT_TRUE(answer && answer->GetCode() == codes::ChallengeAnswer && answer->ReadString(&challenge));
    return challenge;
  }

  // Challenge and login; the code of the login's answer (0 for none).
  uint16_t Login(const std::string& password, bool localForm = true, uint16_t queryId = 2) {
    const std::array<uint8_t, 16> response = LoginResponse(Challenge(), password);
    std::unique_ptr<CZkMSG> request =
        localForm ? BuildLocalLoginQuery(kConfiguratorConnection, kLocalLoginName, response, "00-1A-2B-3C-4D-5E")
                  : BuildRemoteLoginQuery(kViewerConnection, "Remote Login", response);
    Send(*request, queryId);
    std::unique_ptr<CZkMSG> answer = Read();
    if (!answer) return 0;
    EXPECT_EQ(answer->GetQueryId(), queryId);
    return answer->GetCode();
  }

  // True when the sim closed the connection within the time.
  bool ClosedBySim(int timeoutMs = kAnswerWaitMs) {
    while (ReceiveOnce(timeoutMs)) {
    }
    return closed_;
  }

  std::vector<size_t>& ReceiveSizes() { return receiveSizes_; }
  const std::vector<uint8_t>& Buffered() const { return buffer_; }

 private:
  bool WholeMessageBuffered() const {
    if (buffer_.size() < CZkMSG::kHeaderSize) return false;
    const uint32_t length = buffer_[4] | buffer_[5] << 8 | buffer_[6] << 16 | static_cast<uint32_t>(buffer_[7]) << 24;
    return length <= kMaxRequestLength && buffer_.size() >= CZkMSG::kHeaderSize + length;
  }

  bool ReceiveOnce(int timeoutMs) {
    if (closed_ || platform::WaitReadable(socket_, timeoutMs) != platform::WaitResult::kReady) return false;
    uint8_t bytes[4096];
    const long got = platform::ReceiveSome(socket_, bytes, sizeof bytes);
    if (got <= 0) {
      closed_ = true;
      return false;
    }
    receiveSizes_.push_back(static_cast<size_t>(got));
    buffer_.insert(buffer_.end(), bytes, bytes + got);
    return true;
  }

  platform::SocketHandle socket_ = platform::kInvalidSocket;
  std::vector<uint8_t> buffer_;
  std::vector<size_t> receiveSizes_;
  bool closed_ = false;
};

class SimTest : public ::testing::Test {
 protected:
  void StartSim() { ASSERT_TRUE(sim_.Start(config_)) << sim_.Error(); }
  std::unique_ptr<TestClient> LoggedInClient() {
    auto client = std::make_unique<TestClient>(sim_.Port());
    EXPECT_EQ(client->Login(config_.password), codes::LoginAnswer);
    return client;
  }

  SimConfig config_;
  SimulatedSystem sim_;
};

std::vector<int32_t> Ints(CZkMSG& message, int count) {
  std::vector<int32_t> values(static_cast<size_t>(count));
  for (int32_t& value : values) EXPECT_TRUE(message.ReadInt(&value));
  return values;
}

std::vector<uint8_t> Bytes(CZkMSG& message, int count) {
  std::vector<uint8_t> values(static_cast<size_t>(count));
  for (uint8_t& value : values) EXPECT_TRUE(message.ReadByte(&value));
  return values;
}

std::string String(CZkMSG& message) {
  std::string text;
  EXPECT_TRUE(message.ReadString(&text));
  return text;
}

std::vector<std::string> NameList(CZkMSG& message) {
  int32_t count = 0;
  EXPECT_TRUE(message.ReadInt(&count));
  std::vector<std::string> names;
  for (int32_t i = 0; i < count; ++i) names.push_back(String(message));
  return names;
}

bool FullyRead(CZkMSG& message) {
  uint8_t ignored = 0;
  return !message.ReadByte(&ignored);
}

// --- Login -------------------------------------------------------------------

TEST_F(SimTest, LoginChecksTheResponseInBothFormsAndCopiesTheQueryId) {
  StartSim();
  struct Case {
    const char* password;
    bool localForm;
    uint16_t expected;
  };
  const Case cases[] = {{"secret", true, codes::LoginAnswer},
                        {"secret", false, codes::LoginAnswer},
                        {"wrong", true, codes::LoginRejected},
                        {"wrong", false, codes::LoginRejected}};
  for (const Case& c : cases) {
    TestClient client(sim_.Port());
    EXPECT_EQ(client.Login(c.password, c.localForm, 0x1234), c.expected) << c.password << " " << c.localForm;
  }
  const std::vector<ConnectionRecord> connections = sim_.Connections();
  ASSERT_EQ(connections.size(), 4u);
  EXPECT_TRUE(connections[0].preambleReceived);
  EXPECT_TRUE(connections[0].loggedIn);
  EXPECT_EQ(connections[0].lastLogin.loginName, "Local Config");
  EXPECT_EQ(connections[0].lastLogin.hardwareAddress, "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(connections[0].lastLogin.connectionType, kConfiguratorConnection);
  EXPECT_FALSE(connections[1].lastLogin.localForm);
  EXPECT_EQ(connections[1].lastLogin.loginName, "Remote Login");
  EXPECT_FALSE(connections[2].loggedIn);
  EXPECT_TRUE(connections[2].loginRequestReceived);
}

TEST_F(SimTest, AChallengeServesOneLoginAttemptOnly) {
  config_.challenge = "FIXEDCHALLENGE01";
  StartSim();
  TestClient client(sim_.Port());
  EXPECT_EQ(client.Challenge(), "FIXEDCHALLENGE01");
  std::unique_ptr<CZkMSG> login =
      BuildRemoteLoginQuery(kViewerConnection, "x", LoginResponse("FIXEDCHALLENGE01", "secret"));
  client.Send(*login, 5);
  ASSERT_TRUE(client.Read());
  // The same correct response again, without asking a new challenge: a replay.
  client.Send(*login, 6);
  std::unique_ptr<CZkMSG> replay = client.Read();
  ASSERT_TRUE(replay);
  EXPECT_EQ(replay->GetCode(), codes::LoginRejected);
}

TEST_F(SimTest, MalformedLoginRequestsAreRejected) {
  StartSim();
  TestClient client(sim_.Port());
  client.Challenge();
  // Tag 348, type, name... cut before the response.
  std::unique_ptr<CZkMSG> cut = CZkMSG::Create(0, codes::LoginQuery, 0, true);
  cut->WriteInt(kLoginRequestTag);
  cut->WriteInt(0);
  cut->WriteString("x");
  client.Send(*cut, 3);
  std::unique_ptr<CZkMSG> answer = client.Read();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->GetCode(), codes::LoginRejected);
}

TEST_F(SimTest, NothingButTheLoginIsAnsweredBeforeLoggingIn) {
  StartSim();
  TestClient client(sim_.Port());
  std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, codes::VersionQuery, 0, true);
  client.Send(*request, 7);
  EXPECT_FALSE(client.Read(kSilenceMs));
  ASSERT_EQ(client.Login("secret"), codes::LoginAnswer);
  std::unique_ptr<CZkMSG> version = client.Ask(9, codes::VersionQuery);
  ASSERT_TRUE(version);
  EXPECT_EQ(version->GetQueryId(), 9);
  EXPECT_EQ(version->GetCode(), codes::VersionAnswer);
  EXPECT_EQ(String(*version), "5.2 Build 738.0 Rel");
  EXPECT_EQ(Ints(*version, 1)[0], 738);
  // The version query sent too early is in the record all the same.
  EXPECT_EQ(sim_.RequestsWithCode(codes::VersionQuery).size(), 2u);
}

// --- Answers -------------------------------------------------------------------

TEST_F(SimTest, SystemNameAnswerCarriesTwoIntsAndTheName) {
  config_.systemName = "Backyard \xE9t\xE9";  // Latin-1, as it travels
  StartSim();
  auto client = LoggedInClient();
  std::unique_ptr<CZkMSG> answer = client->Ask(0x7FFE, codes::SystemNameQuery);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->GetQueryId(), 0x7FFE);
  EXPECT_EQ(answer->GetCode(), codes::SystemNameAnswer);
  Ints(*answer, 2);
  EXPECT_EQ(String(*answer), "Backyard \xE9t\xE9");
  EXPECT_TRUE(FullyRead(*answer));
}

TEST_F(SimTest, ControllerConfigAnswerFollowsTheWireOrder) {
  config_.typeInConfigAnswer = 10;
  StartSim();
  auto client = LoggedInClient();
  std::unique_ptr<CZkMSG> answer = client->Ask(3, codes::ControllerConfigQuery, {0, 1});
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->GetCode(), codes::ControllerConfigAnswer);
  EXPECT_EQ(Ints(*answer, 1)[0], 0);
  EXPECT_EQ(Bytes(*answer, 8), (std::vector<uint8_t>{1, 2, 3, 4, 5, 10, 6, 7}));
  Ints(*answer, 1);
  EXPECT_EQ(String(*answer), "Main Controller");
  ASSERT_EQ(Ints(*answer, 1)[0], 4);
  std::vector<uint8_t> nameIndexes;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Ints(*answer, 1)[0], i);
    const std::vector<uint8_t> fields = Bytes(*answer, 6);
    nameIndexes.push_back(fields[0]);
    uint16_t word8 = 0;
    EXPECT_TRUE(answer->ReadShort(&word8));
    if (i == 0) {
      EXPECT_EQ(word8, 0x0102);
    }
  }
  EXPECT_EQ(nameIndexes, (std::vector<uint8_t>{0, 1, 60, 200}));
  EXPECT_EQ(String(*answer), "Colors");
  ASSERT_EQ(Ints(*answer, 1)[0], 2);
  EXPECT_EQ(String(*answer), "Red");
  Ints(*answer, 3);
  EXPECT_EQ(String(*answer), "Mixed");
  uint32_t color = 0;
  EXPECT_TRUE(answer->ReadColor(&color));
  EXPECT_EQ(color, 3u * 65536 + 2 * 256 + 1);
  Bytes(*answer, 8);
  Ints(*answer, 2);
  EXPECT_TRUE(FullyRead(*answer));
}

TEST_F(SimTest, SixtyStandardNamesComeInChunksOfAtMost25) {
  StartSim();
  auto client = LoggedInClient();
  std::unique_ptr<CZkMSG> count = client->Ask(3, codes::StandardNameCountQuery, {0});
  ASSERT_TRUE(count);
  EXPECT_EQ(count->GetCode(), codes::StandardNameCountAnswer);
  EXPECT_EQ(Ints(*count, 1)[0], 60);
  std::vector<std::string> names;
  for (const auto& chunk : {std::vector<int32_t>{0, 0, 25}, {0, 25, 25}, {0, 50, 10}}) {
    std::unique_ptr<CZkMSG> answer = client->Ask(4, codes::StandardNamesQuery, chunk);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->GetCode(), codes::StandardNamesAnswer);
    const std::vector<std::string> part = NameList(*answer);
    EXPECT_EQ(part.size(), static_cast<size_t>(chunk[2]));
    EXPECT_TRUE(FullyRead(*answer));
    names.insert(names.end(), part.begin(), part.end());
  }
  ASSERT_EQ(names.size(), 60u);
  EXPECT_EQ(names.front(), "Standard 0");
  EXPECT_EQ(names.back(), "Standard 59");
  // A request coded 12562 is CustomNamesQuery, never taken for an answer.
  std::unique_ptr<CZkMSG> custom = client->Ask(5, codes::CustomNamesQuery, {0});
  ASSERT_TRUE(custom);
  EXPECT_EQ(custom->GetCode(), codes::CustomNamesAnswer);
  EXPECT_EQ(NameList(*custom), (std::vector<std::string>{"Pool Light", "Spa Light"}));
  // The record shows exactly what was asked, payloads included.
  const std::vector<ReceivedRequest> chunks = sim_.RequestsWithCode(codes::StandardNamesQuery);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[1].payload, (std::vector<uint8_t>{0, 0, 0, 0, 25, 0, 0, 0, 25, 0, 0, 0}));
}

TEST_F(SimTest, NamedValuesAndControllerDetailsParseBack) {
  config_.typeInDetailsAnswer = 252;
  StartSim();
  auto client = LoggedInClient();
  std::unique_ptr<CZkMSG> values = client->Ask(3, codes::NamedValuesQuery, {0});
  ASSERT_TRUE(values);
  EXPECT_EQ(values->GetCode(), codes::NamedValuesAnswer);
  EXPECT_EQ(Ints(*values, 2), (std::vector<int32_t>{2, 1}));
  EXPECT_EQ(String(*values), "Low");
  EXPECT_EQ(Ints(*values, 1)[0], 2);
  EXPECT_EQ(String(*values), "High");
  EXPECT_TRUE(FullyRead(*values));

  std::unique_ptr<CZkMSG> details = client->Ask(4, codes::ControllerDetailsQuery, {0});
  ASSERT_TRUE(details);
  EXPECT_EQ(details->GetCode(), codes::ControllerDetailsAnswer);
  EXPECT_EQ(Ints(*details, 2), (std::vector<int32_t>{252 | 0x26 << 8, 0x27}));
  for (int i = 0; i < 10; ++i) {
    const int32_t size = Ints(*details, 1)[0];
    ASSERT_EQ(size, i + 1);
    EXPECT_EQ(Bytes(*details, size), SimConfig::ByteArray(static_cast<size_t>(i), static_cast<size_t>(size)));
    EXPECT_EQ(Bytes(*details, (4 - size % 4) % 4), std::vector<uint8_t>(static_cast<size_t>((4 - size % 4) % 4), 0));
  }
  EXPECT_TRUE(FullyRead(*details));
}

// --- Faults --------------------------------------------------------------------

TEST_F(SimTest, SilentAndWrongCodeFaultsShowOnTheWire) {
  config_.faults.silentOn.codes = {codes::SystemNameQuery};
  config_.faults.wrongCodeOn.codes = {codes::VersionQuery};
  StartSim();
  auto client = LoggedInClient();
  EXPECT_FALSE(client->Ask(3, codes::SystemNameQuery, {}, kSilenceMs));
  std::unique_ptr<CZkMSG> version = client->Ask(4, codes::VersionQuery);
  ASSERT_TRUE(version);
  EXPECT_EQ(version->GetQueryId(), 4);
  EXPECT_EQ(version->GetCode(), codes::VersionAnswer + 1);
  EXPECT_EQ(sim_.RequestsWithCode(codes::SystemNameQuery).size(), 1u);
}

TEST_F(SimTest, DecoysComeBeforeTheRealAnswer) {
  config_.faults.broadcastBefore.codes = {codes::VersionQuery};
  config_.faults.otherIdBefore.codes = {codes::VersionQuery};
  StartSim();
  auto client = LoggedInClient();
  std::unique_ptr<CZkMSG> broadcast = client->Ask(0x7FFE, codes::VersionQuery);
  ASSERT_TRUE(broadcast);
  EXPECT_EQ(broadcast->GetQueryId(), kBroadcastQueryId);
  EXPECT_EQ(broadcast->GetCode(), codes::VersionAnswer);
  EXPECT_EQ(broadcast->GetLength(), 0);
  std::unique_ptr<CZkMSG> other = client->Read();
  ASSERT_TRUE(other);
  EXPECT_EQ(other->GetQueryId(), 1);  // the client's identifiers wrap after 0x7FFE
  std::unique_ptr<CZkMSG> real = client->Read();
  ASSERT_TRUE(real);
  EXPECT_EQ(real->GetQueryId(), 0x7FFE);
  EXPECT_EQ(String(*real), config_.versionText);
}

TEST_F(SimTest, ByteAtATimeSendsEveryByteOnItsOwn) {
  config_.faults.byteAtATime.codes = {codes::VersionQuery};
  StartSim();
  auto client = LoggedInClient();
  client->ReceiveSizes().clear();
  std::unique_ptr<CZkMSG> version = client->Ask(3, codes::VersionQuery);
  ASSERT_TRUE(version);
  EXPECT_EQ(String(*version), config_.versionText);
  // Coalescing may join a few bytes, never most of the message.
  EXPECT_GT(client->ReceiveSizes().size(), static_cast<size_t>(version->GetWireSize()) / 2);
}

TEST_F(SimTest, BrokenFramingFaults) {
  struct Case {
    const char* name;
    void (*set)(SimFaults&);
    size_t bytesExpected;  // of the 8 + 28 byte VersionAnswer
    bool closed;
  };
  const Case cases[] = {
      {"close mid message", [](SimFaults& f) { f.closeMidMessage.codes = {codes::VersionQuery}; }, 18, true},
      {"oversize length", [](SimFaults& f) { f.oversizeLength.codes = {codes::VersionQuery}; }, 36, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    config_ = SimConfig();
    c.set(config_.faults);
    StartSim();
    auto client = LoggedInClient();
    EXPECT_FALSE(client->Ask(3, codes::VersionQuery, {}, kSilenceMs));
    EXPECT_EQ(client->Buffered().size(), c.bytesExpected);
    EXPECT_EQ(client->ClosedBySim(kSilenceMs), c.closed);
    if (!c.closed) {
      const std::vector<uint8_t>& header = client->Buffered();
      EXPECT_EQ(header[4] | header[5] << 8 | header[6] << 16 | header[7] << 24, 1999992);
    }
    sim_.Stop();
  }
}

TEST_F(SimTest, ShortChunkAndOversizeByteArrayFaults) {
  config_.faults.shortStandardNamesChunk = 1;
  config_.faults.oversizeByteArrayIndex = 2;
  StartSim();
  auto client = LoggedInClient();
  std::unique_ptr<CZkMSG> first = client->Ask(3, codes::StandardNamesQuery, {0, 0, 25});
  ASSERT_TRUE(first);
  EXPECT_EQ(NameList(*first).size(), 25u);
  std::unique_ptr<CZkMSG> second = client->Ask(4, codes::StandardNamesQuery, {0, 25, 25});
  ASSERT_TRUE(second);
  EXPECT_EQ(NameList(*second).size(), 24u);
  EXPECT_TRUE(FullyRead(*second));

  std::unique_ptr<CZkMSG> details = client->Ask(5, codes::ControllerDetailsQuery, {0});
  ASSERT_TRUE(details);
  Ints(*details, 2);
  for (int32_t size : {1, 2}) {
    EXPECT_EQ(Ints(*details, 1)[0], size);
    Bytes(*details, 4);
  }
  EXPECT_EQ(Ints(*details, 1)[0], 1001);
}

TEST_F(SimTest, AConnectionWithoutThePreambleIsClosedAndRecorded) {
  StartSim();
  TestClient client(sim_.Port(), false);
  std::unique_ptr<CZkMSG> challenge = CZkMSG::Create(0, codes::ChallengeQuery, 0, true);
  client.Send(*challenge, 2);
  EXPECT_TRUE(client.ClosedBySim());
  EXPECT_TRUE(client.Buffered().empty());
  ASSERT_TRUE(sim_.WaitUntil([](const SimRecord& r) { return !r.connections.empty() && r.connections[0].closed; },
                             kAnswerWaitMs));
  const ConnectionRecord connection = sim_.Connections()[0];
  EXPECT_FALSE(connection.preambleReceived);
  EXPECT_FALSE(connection.closedByClient);
  EXPECT_EQ(connection.firstBytes, std::string("\x02\x00\x0E\x00\x00\x00\x00\x00", 8));
  EXPECT_TRUE(sim_.Requests().empty());
}

TEST_F(SimTest, WithoutRequiredPreambleTheFirstBytesAreAMessage) {
  config_.requirePreamble = false;
  StartSim();
  TestClient bare(sim_.Port(), false);
  EXPECT_FALSE(bare.Challenge().empty());
  TestClient polite(sim_.Port());
  EXPECT_FALSE(polite.Challenge().empty());
  const std::vector<ConnectionRecord> connections = sim_.Connections();
  EXPECT_FALSE(connections[0].preambleReceived);
  EXPECT_TRUE(connections[1].preambleReceived);
}

TEST_F(SimTest, AnOversizeRequestClosesTheConnection) {
  StartSim();
  TestClient client(sim_.Port());
  client.SendBytes({1, 0, 14, 0, 0x81, 0x84, 0x1E, 0x00});  // length 2,000,001
  EXPECT_TRUE(client.ClosedBySim());
}

// --- Service -------------------------------------------------------------------

TEST_F(SimTest, TwoClientsAreServedAtOnce) {
  StartSim();
  TestClient first(sim_.Port());
  TestClient second(sim_.Port());
  const std::string firstChallenge = first.Challenge();
  const std::string secondChallenge = second.Challenge();
  EXPECT_NE(firstChallenge, secondChallenge);
  // Each login is checked against its own connection's challenge.
  std::unique_ptr<CZkMSG> secondLogin =
      BuildRemoteLoginQuery(kViewerConnection, "b", LoginResponse(secondChallenge, "secret"));
  std::unique_ptr<CZkMSG> firstLogin =
      BuildRemoteLoginQuery(kViewerConnection, "a", LoginResponse(firstChallenge, "secret"));
  second.Send(*secondLogin, 20);
  first.Send(*firstLogin, 10);
  std::unique_ptr<CZkMSG> firstAnswer = first.Read();
  std::unique_ptr<CZkMSG> secondAnswer = second.Read();
  ASSERT_TRUE(firstAnswer && secondAnswer);
  EXPECT_EQ(firstAnswer->GetCode(), codes::LoginAnswer);
  EXPECT_EQ(firstAnswer->GetQueryId(), 10);
  EXPECT_EQ(secondAnswer->GetCode(), codes::LoginAnswer);
  EXPECT_EQ(secondAnswer->GetQueryId(), 20);
  EXPECT_EQ(sim_.ConnectionCount(), 2u);
}

TEST_F(SimTest, StopReturnsPromptlyWithClientsConnected) {
  config_.faults.byteAtATime.all = true;
  StartSim();
  TestClient idle(sim_.Port());
  TestClient busy(sim_.Port());
  ASSERT_TRUE(sim_.WaitUntil([](const SimRecord& r) { return r.connections.size() == 2; }, kAnswerWaitMs));
  // Keep one connection inside a slow answer while Stop runs.
  std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, codes::ChallengeQuery, 0, true);
  busy.Send(*request, 2);
  ASSERT_TRUE(sim_.WaitForRequests(1, kAnswerWaitMs));
  const auto start = std::chrono::steady_clock::now();
  sim_.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_TRUE(idle.ClosedBySim());
  EXPECT_FALSE(sim_.IsRunning());
}

TEST_F(SimTest, StartFailsWithAReasonWhenThePortIsTaken) {
  StartSim();
  SimulatedSystem second;
  SimConfig same = config_;
  same.port = sim_.Port();
  EXPECT_FALSE(second.Start(same));
  EXPECT_NE(second.Error().find(std::to_string(sim_.Port())), std::string::npos) << second.Error();
}

// --- Command line ----------------------------------------------------------------

TEST(SimOptionsTest, OptionsBecomeTheConfig) {
  SimOptions options;
  std::string error;
  ASSERT_TRUE(ParseSimOptions({"--port=0", "--name", "Caf\xC3\xA9", "--custom-name", "A", "--custom-name", "B",
                               "--silent-on", "12532", "--wrong-code-on=all", "--byte-at-a-time",
                               "--byte-array-sizes", "0,1000", "--entry", "7", "--log"},
                              &options, &error))
      << error;
  const SimConfig& config = options.config;
  EXPECT_EQ(config.port, 0);
  EXPECT_EQ(config.systemName, "Caf\xE9");
  EXPECT_EQ(config.customNames, (std::vector<std::string>{"A", "B"}));
  EXPECT_TRUE(config.faults.silentOn.Has(12532));
  EXPECT_FALSE(config.faults.silentOn.Has(14));
  EXPECT_TRUE(config.faults.wrongCodeOn.Has(14));
  EXPECT_TRUE(config.faults.byteAtATime.all);
  EXPECT_EQ(config.byteArrays[0].size(), 0u);
  EXPECT_EQ(config.byteArrays[1].size(), 1000u);
  EXPECT_EQ(config.byteArrays[2].size(), 0u);
  ASSERT_EQ(config.entries.size(), 1u);
  EXPECT_EQ(config.entries[0].nameIndex, 7);
  EXPECT_TRUE(options.log);

  SimOptions defaults;
  ASSERT_TRUE(ParseSimOptions({}, &defaults, &error));
  EXPECT_EQ(defaults.config.port, kDefaultSimPort);
  EXPECT_EQ(defaults.config.bindAddress, NetworkOrderAddress(127, 0, 0, 1));
}

TEST(SimOptionsTest, BadCommandLinesAreRefusedWithAHint) {
  const std::vector<std::vector<std::string>> bad = {
      {"--frobnicate"},          {"--port"},           {"--port", "65536"},     {"--bind", "localhost"},
      {"--silent-on", "nope"},   {"--log=yes"},        {"--type-config", "256"}, {"--oversize-byte-array", "10"},
      {"--byte-array-sizes", "1,2,3,4,5,6,7,8,9,10,11"}, {"--byte-array-sizes", "1001"}, {"--named-value", "Low"},
  };
  for (const std::vector<std::string>& args : bad) {
    SimOptions options;
    std::string error;
    EXPECT_FALSE(ParseSimOptions(args, &options, &error)) << args[0];
    EXPECT_NE(error.find("--help"), std::string::npos) << error;
  }
}

}  // namespace
