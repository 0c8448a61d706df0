#include "config/pool_config.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "local/zk_server.h"
#include "platform/clock.h"
#include "platform/socket.h"
#include "protocol/message.h"
#include "protocol/message_codes.h"
#include "tools/sim/simulated_system.h"

namespace {

using namespace message_codes;
using Ints = std::vector<uint32_t>;
using Names = std::vector<std::string>;

// A test name from a case's description.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
  std::string name = param.param.what;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

// The u32 items of a request payload.
Ints IntsOf(const std::vector<uint8_t>& payload) {
  Ints ints;
  for (size_t at = 0; at + 4 <= payload.size(); at += 4) {
    uint32_t value = 0;
    std::memcpy(&value, payload.data() + at, 4);  // the tests run on little-endian hosts
    ints.push_back(value);
  }
  return ints;
}

// ---------------------------------------------------------------------------------
// Against the simulated system, connected and logged in as the launcher does it.

class PoolConfigSimTest : public ::testing::Test {
 protected:
  void TearDown() override {
    server_.reset();
    theServer = nullptr;
    sim_.Stop();
  }

  // Connects to a sim with `config` and reads the configuration of controller 0.
  // silent: the config leaves requests unanswered, so the 5 s waits run on a clock
  // the test moves instead of real time.
  std::unique_ptr<CPoolConfig> Read(const SimConfig& config) {
    if (!sim_.Start(config)) {
      ADD_FAILURE() << sim_.Error();
      return nullptr;
    }
    server_ = std::make_unique<CZkServer>();
    theServer = server_.get();
    server_->SetPassword(config.password);
    uint32_t loopback = 0;
    platform::ParseDottedQuad("127.0.0.1", &loopback);
    if (!server_->ConnectLocal(loopback, sim_.Port(), 0)) {
      ADD_FAILURE() << "cannot connect to the sim";
      return nullptr;
    }
    loggedInRequests_ = sim_.Requests().size();
    platform::ScopedClockOverride useClock(&clock_);
    return std::make_unique<CPoolConfig>(0);
  }

  // The codes and u32 items of the requests sent after the login.
  std::vector<std::pair<uint16_t, Ints>> ConfigRequests() const {
    std::vector<std::pair<uint16_t, Ints>> requests;
    const std::vector<ReceivedRequest> all = sim_.Requests();
    for (size_t i = loggedInRequests_; i < all.size(); ++i) requests.emplace_back(all[i].code, IntsOf(all[i].payload));
    return requests;
  }
  std::vector<uint16_t> ConfigRequestCodes() const {
    std::vector<uint16_t> codes;
    for (const auto& request : ConfigRequests()) codes.push_back(request.first);
    return codes;
  }

  static Names NamesOf(const std::vector<ConfigEntry>& entries) {
    Names names;
    for (const ConfigEntry& entry : entries) names.push_back(entry.name);
    return names;
  }

  SimulatedSystem sim_;
  std::unique_ptr<CZkServer> server_;
  platform::MovableClock clock_;
  size_t loggedInRequests_ = 0;
};

TEST_F(PoolConfigSimTest, ReadsEveryTableInOrderAskingStandardNamesInChunksOf25) {
  SimConfig config;
  config.entries = {{7, 0, 1, 0xC5, 0xA7, 4, 5, 0x0102}, {1, 59, 0, 0, 0, 0, 0, 0}, {2, 60, 0, 0, 0, 0, 0, 0},
                    {3, 61, 0, 0, 0, 0, 0, 0},         {4, 62, 0, 0, 0, 0, 0, 0},  {5, 255, 0, 0, 0, 0, 0, 0}};
  std::unique_ptr<CPoolConfig> pool = Read(config);
  ASSERT_TRUE(pool);

  const std::vector<std::pair<uint16_t, Ints>> expected = {
      {ControllerConfigQuery, {0, 1}}, {StandardNameCountQuery, {0}}, {StandardNamesQuery, {0, 0, 25}},
      {StandardNamesQuery, {0, 25, 25}}, {StandardNamesQuery, {0, 50, 10}}, {CustomNamesQuery, {0}},
      {NamedValuesQuery, {0}},          {ControllerDetailsQuery, {0}}};
  EXPECT_EQ(ConfigRequests(), expected);

  EXPECT_TRUE(pool->IsLoaded());
  EXPECT_EQ(pool->GetControllerType(), 13);
  EXPECT_TRUE(pool->IsSupportedFamilyType());
  ASSERT_EQ(pool->GetStandardNames().size(), 60u);
  EXPECT_EQ(pool->GetStandardNames()[59], "Standard 59");
  EXPECT_EQ(pool->GetCustomNames(), (Names{"Pool Light", "Spa Light"}));
  ASSERT_EQ(pool->GetNamedValues().size(), 2u);
  EXPECT_EQ(pool->GetNamedValues()[1].name, "High");
  EXPECT_EQ(pool->GetNamedValues()[1].value, 2u);

  // Index 60 (= the number of standard names) is the first custom name; 62 and 255
  // lie beyond both lists.
  EXPECT_EQ(NamesOf(pool->GetEntries()),
            (Names{"Standard 0", "Standard 59", "Pool Light", "Spa Light", "None", "None"}));
  const ConfigEntry& first = pool->GetEntries()[0];
  EXPECT_EQ(first.number, 7u);
  EXPECT_EQ(first.byte3, 1);
  EXPECT_EQ(first.byte4Low, 0x05);
  EXPECT_EQ(first.byte4High, 3);
  EXPECT_EQ(first.byte5Low, 0x7);
  EXPECT_EQ(first.byte5High, 0xA);
  EXPECT_EQ(first.byte6, 4);
  EXPECT_EQ(first.byte7, 5);
  EXPECT_EQ(first.word8, 0x0102);

  ASSERT_EQ(pool->GetNamedColors().size(), 2u);
  EXPECT_EQ(pool->GetNamedColors()[0].value, 0x0000FFu);
  EXPECT_EQ(pool->GetNamedColors()[1].name, "Mixed");
  EXPECT_EQ(pool->GetNamedColors()[1].value, 3u * 65536 + 2 * 256 + 1);

  const ControllerConfigFields& fields = pool->GetFields();
  EXPECT_EQ(fields.number1, 0u);
  EXPECT_EQ(fields.bytes2To5, (std::array<uint8_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(fields.byte6, 5);
  EXPECT_EQ(fields.byte8, 0x26);  // both replaced by the details answer
  EXPECT_EQ(fields.byte9, 0x27);
  EXPECT_EQ(fields.number10, 8u);
  EXPECT_EQ(fields.firstText, "Main Controller");
  EXPECT_EQ(fields.secondText, "Colors");
  EXPECT_EQ(fields.bytes15, (std::array<uint8_t, 8>{9, 10, 11, 12, 13, 14, 15, 16}));
  EXPECT_EQ(fields.number16, 100u);
  EXPECT_EQ(fields.number17, 18u);

  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(pool->GetByteArrays()[i], SimConfig::ByteArray(i, i + 1)) << i;
}

TEST_F(PoolConfigSimTest, AShortChunkAddsNoneOfItsNamesAndReadingGoesOnWithCustomNames) {
  SimConfig config;
  config.faults.shortStandardNamesChunk = 1;  // 24 names for 25 asked
  config.entries = {{0, 24, 0, 0, 0, 0, 0, 0}, {1, 25, 0, 0, 0, 0, 0, 0}, {2, 60, 0, 0, 0, 0, 0, 0}};
  std::unique_ptr<CPoolConfig> pool = Read(config);
  ASSERT_TRUE(pool);

  EXPECT_EQ(ConfigRequestCodes(), (std::vector<uint16_t>{ControllerConfigQuery, StandardNameCountQuery,
                                                         StandardNamesQuery, StandardNamesQuery, CustomNamesQuery,
                                                         NamedValuesQuery, ControllerDetailsQuery}));
  EXPECT_EQ(pool->GetStandardNames().size(), 25u);
  // Custom names count on from the 25 names kept.
  EXPECT_EQ(NamesOf(pool->GetEntries()), (Names{"Standard 24", "Pool Light", "None"}));
  EXPECT_TRUE(pool->IsLoaded());
}

struct TypeCase {
  const char* what;
  uint8_t typeInConfig;
  uint8_t typeInDetails;
  std::set<uint16_t> silentOn;
  uint8_t expectedType;
  std::vector<uint16_t> expectedCodes;
};
void PrintTo(const TypeCase& c, std::ostream* out) { *out << c.what; }

class PoolConfigTypeTest : public PoolConfigSimTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(PoolConfigTypeTest, TheDetailsAnswerDecidesTheTypeWhenItComes) {
  SimConfig config;
  config.typeInConfigAnswer = GetParam().typeInConfig;
  config.typeInDetailsAnswer = GetParam().typeInDetails;
  config.faults.silentOn.codes = GetParam().silentOn;
  std::unique_ptr<CPoolConfig> pool = Read(config);
  ASSERT_TRUE(pool);
  EXPECT_EQ(pool->GetControllerType(), GetParam().expectedType);
  EXPECT_EQ(ConfigRequestCodes(), GetParam().expectedCodes);
}

const std::vector<uint16_t> kAllCodes = {ControllerConfigQuery, StandardNameCountQuery, StandardNamesQuery,
                                         StandardNamesQuery,    StandardNamesQuery,     CustomNamesQuery,
                                         NamedValuesQuery,      ControllerDetailsQuery};

INSTANTIATE_TEST_SUITE_P(
    Cases, PoolConfigTypeTest,
    ::testing::Values(
        TypeCase{"standalone chemistry in details", 13, CPoolConfig::kStandaloneChemistryType, {}, 252, kAllCodes},
        TypeCase{"no named values, details still asked", 13, 14, {NamedValuesQuery}, 14, kAllCodes},
        TypeCase{"no name count keeps the record's type",
                 CPoolConfig::kSolvarinType,
                 13,
                 {StandardNameCountQuery},
                 10,
                 {ControllerConfigQuery, StandardNameCountQuery}}),
    CaseName<TypeCase>);

TEST_F(PoolConfigSimTest, AnOversizeThirdByteArrayKeepsTheFirstTwoAndTheDetailsType) {
  SimConfig config;
  config.typeInConfigAnswer = 13;
  config.typeInDetailsAnswer = CPoolConfig::kSolvarinType;
  config.faults.oversizeByteArrayIndex = 2;
  std::unique_ptr<CPoolConfig> pool = Read(config);
  ASSERT_TRUE(pool);
  EXPECT_EQ(pool->GetControllerType(), 10);
  EXPECT_FALSE(pool->IsSupportedFamilyType());
  EXPECT_EQ(pool->GetByteArrays()[0], SimConfig::ByteArray(0, 1));
  EXPECT_EQ(pool->GetByteArrays()[1], SimConfig::ByteArray(1, 2));
  for (size_t i = 2; i < 10; ++i) EXPECT_TRUE(pool->GetByteArrays()[i].empty()) << i;
}

TEST_F(PoolConfigSimTest, ASystemThatNeverAnswersTheConfigurationLeavesTypeZeroAfterFiveSeconds) {
  SimConfig config;
  config.faults.silentOn.codes = {ControllerConfigQuery};
  const uint32_t start = clock_.TickMs();
  std::unique_ptr<CPoolConfig> pool = Read(config);
  ASSERT_TRUE(pool);
  EXPECT_GE(ElapsedBetween(start, clock_.TickMs()), 5000u);
  EXPECT_FALSE(pool->IsLoaded());
  EXPECT_EQ(pool->GetControllerType(), 0);
  EXPECT_EQ(ConfigRequestCodes(), (std::vector<uint16_t>{ControllerConfigQuery}));
  EXPECT_EQ(pool->GetFields().firstText, "General");
  EXPECT_EQ(pool->GetFields().number1, 0xFFFFFFFFu);
  EXPECT_EQ(pool->GetFields().number16, 127u);
}

// ---------------------------------------------------------------------------------
// Hostile and malformed answers, scripted without a connection.

class Payload {
 public:
  Payload& U8(uint8_t value) {
    bytes_.push_back(value);
    return *this;
  }
  Payload& U32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<uint8_t>(value >> shift));
    return *this;
  }
  Payload& Text(const std::string& text) {
    U32(static_cast<uint32_t>(text.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    return *this;
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// Answers each request code with a payload made from the request's items; codes
// without an answer stay silent. Every request is recorded.
class ScriptedSystem : public ConfigExchange {
 public:
  using Answerer = std::function<Payload(const Ints& request)>;

  CZkMSG* Ask(CZkMSG* request) override {
    request->Rewind();
    Ints items;
    int32_t item = 0;
    while (request->ReadInt(&item)) items.push_back(static_cast<uint32_t>(item));
    requests.emplace_back(request->GetCode(), items);
    const auto found = answers.find(request->GetCode());
    if (found == answers.end()) return nullptr;
    const std::vector<uint8_t> payload = found->second(items).Bytes();
    wire_ = Payload().U8(0).U8(0).Bytes();
    const uint16_t code = static_cast<uint16_t>(request->GetCode() + 1);
    wire_.push_back(static_cast<uint8_t>(code));
    wire_.push_back(static_cast<uint8_t>(code >> 8));
    const std::vector<uint8_t> length = Payload().U32(static_cast<uint32_t>(payload.size())).Bytes();
    wire_.insert(wire_.end(), length.begin(), length.end());
    wire_.insert(wire_.end(), payload.begin(), payload.end());
    answer_ = CZkMSG::Wrap(wire_.data());
    return answer_.get();
  }

  std::map<uint16_t, Answerer> answers;
  std::vector<std::pair<uint16_t, Ints>> requests;

 private:
  std::vector<uint8_t> wire_;
  std::unique_ptr<CZkMSG> answer_;
};

// Orders 1 to 10 of the configuration record.
Payload RecordHead(uint8_t type) {
  Payload record;
  record.U32(1).U8(2).U8(3).U8(4).U8(5).U8(6).U8(type).U8(8).U8(9).U32(10);
  return record;
}

Payload RecordUpToFirstText(uint8_t type, const std::string& firstText) {
  Payload record = RecordHead(type);
  record.Text(firstText);
  return record;
}

size_t CountOf(const std::vector<std::pair<uint16_t, Ints>>& requests, uint16_t code) {
  size_t count = 0;
  for (const auto& request : requests) count += request.first == code;
  return count;
}

TEST(PoolConfigAnswerTest, CountsBeyondThePayloadStopAtTheFirstFailedRead) {
  ScriptedSystem system;
  // A record announcing 2^31 - 1 entries and carrying two; a custom name list
  // announcing 4 billion names and carrying one; named values cut inside a pair.
  system.answers[ControllerConfigQuery] = [](const Ints&) {
    Payload record = RecordUpToFirstText(13, "Main");
    record.U32(0x7FFFFFFF);
    for (uint8_t i = 0; i < 2; ++i) record.U32(i).U8(i).U8(0).U8(0).U8(0).U8(0).U8(0).U8(0).U8(0);
    return record;
  };
  system.answers[StandardNameCountQuery] = [](const Ints&) { return Payload().U32(0); };
  system.answers[CustomNamesQuery] = [](const Ints&) { return Payload().U32(0xFFFFFFFF).Text("Only"); };
  system.answers[NamedValuesQuery] = [](const Ints&) { return Payload().U32(3).U32(1).Text("One").U32(2); };
  CPoolConfig pool(0, system);

  EXPECT_TRUE(pool.IsLoaded());
  EXPECT_EQ(pool.GetControllerType(), 13);
  EXPECT_EQ(pool.GetEntries().size(), 2u);
  EXPECT_EQ(pool.GetFields().number16, 127u);  // never reached: kept as it was
  EXPECT_EQ(pool.GetCustomNames(), (Names{"Only"}));
  ASSERT_EQ(pool.GetNamedValues().size(), 1u);
  EXPECT_EQ(pool.GetNamedValues()[0].name, "One");
  EXPECT_EQ(pool.GetEntries()[1].name, "None");  // index 1, one custom name
}

TEST(PoolConfigAnswerTest, AStringRunningPastThePayloadEndsTheRecordThere) {
  ScriptedSystem system;
  // The first text claims 1000 bytes. Read on from its count, the bytes after it
  // would make an entry count and entries out of text.
  system.answers[ControllerConfigQuery] = [](const Ints&) {
    Payload record = RecordHead(14);
    record.U32(1000).U32(1).U32(0x0101).U32(0x0101).U32(0x0101);
    return record;
  };
  CPoolConfig pool(0, system);
  EXPECT_TRUE(pool.IsLoaded());
  EXPECT_EQ(pool.GetControllerType(), 14);
  EXPECT_EQ(pool.GetFields().number10, 10u);
  EXPECT_EQ(pool.GetFields().firstText, "General");
  EXPECT_TRUE(pool.GetEntries().empty());
  EXPECT_EQ(pool.GetFields().bytes15, (std::array<uint8_t, 8>{}));
}

struct ChunkCase {
  const char* what;
  uint32_t announcedTotal;
  // How many names a chunk claims and how many strings it carries, given the
  // request (0, first, asked).
  std::function<Payload(const Ints&)> chunk;
  size_t expectedChunkRequests;
  size_t expectedNames;
};
void PrintTo(const ChunkCase& c, std::ostream* out) { *out << c.what; }

class PoolConfigChunkTest : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(PoolConfigChunkTest, TheChunkLoopEndsAndTheCustomNamesAreStillAsked) {
  ScriptedSystem system;
  system.answers[ControllerConfigQuery] = [](const Ints&) { return RecordUpToFirstText(13, "Main"); };
  const uint32_t total = GetParam().announcedTotal;
  system.answers[StandardNameCountQuery] = [total](const Ints&) { return Payload().U32(total); };
  system.answers[StandardNamesQuery] = GetParam().chunk;
  system.answers[CustomNamesQuery] = [](const Ints&) { return Payload().U32(0); };
  CPoolConfig pool(0, system);

  EXPECT_EQ(CountOf(system.requests, StandardNamesQuery), GetParam().expectedChunkRequests);
  EXPECT_EQ(pool.GetStandardNames().size(), GetParam().expectedNames);
  EXPECT_EQ(CountOf(system.requests, CustomNamesQuery), 1u);
  for (const auto& request : system.requests) {
    if (request.first != StandardNamesQuery) continue;
    ASSERT_EQ(request.second.size(), 3u);
    EXPECT_GE(request.second[2], 1u);
    EXPECT_LE(request.second[2], 25u);
  }
}

Payload FullChunk(const Ints& request) {
  Payload chunk;
  chunk.U32(request[2]);
  for (uint32_t i = 0; i < request[2]; ++i) chunk.Text("N" + std::to_string(request[1] + i));
  return chunk;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PoolConfigChunkTest,
    ::testing::Values(
        // 4096 names at most: 164 requests, the last asking for 21.
        ChunkCase{"huge total", 0x7FFFFFFF, FullChunk, 164, 4096},
        ChunkCase{"negative total", 0xFFFFFFFB, FullChunk, 164, 4096},
        ChunkCase{"zero returned", 0x7FFFFFFF, [](const Ints&) { return Payload().U32(0); }, 1, 0},
        ChunkCase{"more returned than asked", 60, [](const Ints&) { return Payload().U32(0x7FFFFFFF); }, 1, 0},
        // The second chunk claims 25 and carries 3: those 3 stay, nothing after them.
        ChunkCase{"strings run out", 60,
                  [](const Ints& request) {
                    if (request[1] == 0) return FullChunk(request);
                    return Payload().U32(25).Text("a").Text("b").Text("c");
                  },
                  2, 28}),
    CaseName<ChunkCase>);

struct ByteArrayCase {
  const char* what;
  Payload payload;
  bool ok;
  size_t size;
};
void PrintTo(const ByteArrayCase& c, std::ostream* out) { *out << c.what; }

class ByteArrayTest : public ::testing::TestWithParam<ByteArrayCase> {};

TEST_P(ByteArrayTest, ReadsCountBytesAndPadding) {
  std::vector<uint8_t> wire = {0, 0, 0, 0};
  const std::vector<uint8_t>& payload = GetParam().payload.Bytes();
  const std::vector<uint8_t> length = Payload().U32(static_cast<uint32_t>(payload.size())).Bytes();
  wire.insert(wire.end(), length.begin(), length.end());
  wire.insert(wire.end(), payload.begin(), payload.end());
  std::unique_ptr<CZkMSG> message = CZkMSG::Wrap(wire.data());
  std::vector<uint8_t> bytes = {42};
  EXPECT_EQ(ReadByteArray(*message, &bytes), GetParam().ok);
  EXPECT_EQ(bytes.size(), GetParam().ok ? GetParam().size : 1u);
}

Payload ByteArrayPayload(uint32_t count, size_t carried) {
  Payload payload;
  payload.U32(count);
  for (size_t i = 0; i < carried; ++i) payload.U8(static_cast<uint8_t>(i));
  return payload;
}

INSTANTIATE_TEST_SUITE_P(Cases, ByteArrayTest,
                         ::testing::Values(ByteArrayCase{"empty", ByteArrayPayload(0, 0), true, 0},
                                           ByteArrayCase{"padded", ByteArrayPayload(5, 8), true, 5},
                                           ByteArrayCase{"largest", ByteArrayPayload(1000, 1000), true, 1000},
                                           ByteArrayCase{"too_large", ByteArrayPayload(1001, 1004), false, 0},
                                           ByteArrayCase{"negative", ByteArrayPayload(0xFFFFFFFF, 8), false, 0},
                                           ByteArrayCase{"short", ByteArrayPayload(8, 7), false, 0},
                                           ByteArrayCase{"padding_missing", ByteArrayPayload(5, 5), false, 0}),
                         CaseName<ByteArrayCase>);

}  // namespace
