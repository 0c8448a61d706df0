#include "local/zk_query.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "local/stream_peer_test_util.h"
#include "local/zk_server.h"
#include "platform/clock.h"
#include "protocol/message.h"
#include "protocol/message_codes.h"

namespace {

using message_codes::SystemNameQuery;
using message_codes::VersionQuery;

class QueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<CZkServer>();
    theServer = server_.get();
    server_->GetSocket()->Adopt(pair_.nearEnd);
  }
  void TearDown() override {
    server_.reset();
    theServer = nullptr;
  }
  static std::unique_ptr<CZkMSG> Request(uint16_t code) { return CZkMSG::Create(0, code, 0, true); }
  static std::vector<uint8_t> IntPayload(int32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
  }
  static int32_t IntOf(CZkMSG* message) {
    int32_t value = -1;
    message->Rewind();
    EXPECT_TRUE(message->ReadInt(&value));
    return value;
  }

  SocketPair pair_;
  std::unique_ptr<CZkServer> server_;
};

TEST_F(QueryTest, IdentifiersRunFromTwoAndWrapAfter7FFEToOne) {
  CZkQuery first, second;
  EXPECT_EQ(first.queryId, 2);
  EXPECT_EQ(second.queryId, 3);
  uint16_t id = 0;
  for (int i = 0; i < 0x7FFE; ++i) {
    id = server_->NextQueryId();
    ASSERT_NE(id, 0);
    ASSERT_NE(id, kBroadcastQueryId);
    if (id == 0x7FFE) break;
  }
  EXPECT_EQ(id, 0x7FFE);
  EXPECT_EQ(server_->NextQueryId(), 1);
  EXPECT_EQ(server_->NextQueryId(), 2);
}

TEST_F(QueryTest, TheRequestCarriesTheQueryIdentifierAndTheAnswerIsMatchedByIt) {
  CZkQuery query;
  std::unique_ptr<CZkMSG> request = Request(VersionQuery);
  ASSERT_TRUE(query.Send(request.get()));
  const std::vector<uint8_t> sent = pair_.ReadAvailable();
  ASSERT_EQ(sent.size(), 8u);
  EXPECT_EQ(sent[0] | sent[1] << 8, query.queryId);

  pair_.Write(WireMessage(query.queryId, VersionQuery + 1, IntPayload(42)));
  CZkMSG* answer = nullptr;
  ASSERT_TRUE(query.Wait(&answer));
  EXPECT_EQ(IntOf(answer), 42);
}

TEST_F(QueryTest, AnswersInTheOrderBThenAWhileAWaits) {
  CZkQuery a, b;
  std::unique_ptr<CZkMSG> requestA = Request(VersionQuery), requestB = Request(SystemNameQuery);
  ASSERT_TRUE(a.Send(requestA.get()));
  ASSERT_TRUE(b.Send(requestB.get()));
  std::vector<uint8_t> stream = WireMessage(b.queryId, SystemNameQuery + 1, IntPayload(2));
  const std::vector<uint8_t> answerA = WireMessage(a.queryId, VersionQuery + 1, IntPayload(1));
  stream.insert(stream.end(), answerA.begin(), answerA.end());
  pair_.Write(stream);

  CZkMSG* answer = nullptr;
  ASSERT_TRUE(a.Wait(&answer));
  EXPECT_EQ(IntOf(answer), 1);
  EXPECT_EQ(server_->GetDeferredCount(), 1);

  platform::CloseSocket(pair_.farEnd);  // B must come from the deferred list, not the socket
  pair_.farEnd = platform::kInvalidSocket;
  ASSERT_TRUE(b.Wait(&answer));
  EXPECT_EQ(IntOf(answer), 2);
  EXPECT_EQ(server_->GetDeferredCount(), 0);
}

TEST_F(QueryTest, AnUnsolicitedMessageDuringAWaitIsSetAsideAndChangesNothing) {
  CZkQuery query;
  std::unique_ptr<CZkMSG> request = Request(VersionQuery);
  ASSERT_TRUE(query.Send(request.get()));
  std::vector<uint8_t> stream = WireMessage(kBroadcastQueryId, VersionQuery + 1, IntPayload(99));
  const std::vector<uint8_t> real = WireMessage(query.queryId, VersionQuery + 1, IntPayload(7));
  stream.insert(stream.end(), real.begin(), real.end());
  pair_.Write(stream);
  CZkMSG* answer = nullptr;
  ASSERT_TRUE(query.Wait(&answer));
  EXPECT_EQ(IntOf(answer), 7);
  EXPECT_EQ(server_->GetDeferredCount(), 1);
}

TEST_F(QueryTest, AnAnswerWithAnotherCodeFailsTheQuery) {
  CZkQuery query;
  std::unique_ptr<CZkMSG> request = Request(message_codes::LoginQuery);
  ASSERT_TRUE(query.Send(request.get()));
  pair_.Write(WireMessage(query.queryId, message_codes::LoginRejected, {}));
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  const uint32_t start = clock.TickMs();
  CZkMSG* answer = nullptr;
  EXPECT_FALSE(query.Wait(&answer));
  EXPECT_LT(ElapsedMs(start), 1000u);  // refused at once, not after the time-out
}

TEST_F(QueryTest, AQueryAskedTwiceGetsItsSecondAnswer) {
  CZkQuery query;
  std::unique_ptr<CZkMSG> request = Request(VersionQuery);
  CZkMSG* answer = nullptr;
  pair_.Write(WireMessage(query.queryId, VersionQuery + 1, IntPayload(1)));
  ASSERT_TRUE(query.Ask(&answer, request.get()));
  EXPECT_EQ(IntOf(answer), 1);
  pair_.Write(WireMessage(query.queryId, VersionQuery + 1, IntPayload(2)));
  ASSERT_TRUE(query.Ask(&answer, request.get()));
  EXPECT_EQ(IntOf(answer), 2);
}

TEST_F(QueryTest, NoAnswerTimesOutAfterFiveSecondsAndTheLateAnswerIsSetAside) {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  CZkQuery query;
  std::unique_ptr<CZkMSG> request = Request(VersionQuery);
  const uint32_t start = clock.TickMs();
  CZkMSG* answer = nullptr;
  EXPECT_FALSE(query.Ask(&answer, request.get()));
  EXPECT_GE(ElapsedMs(start), 5000u);
  EXPECT_LT(ElapsedMs(start), 5100u);

  pair_.Write(WireMessage(query.queryId, VersionQuery + 1, IntPayload(3)));
  int pumped = 1;
  for (int i = 0; i < 100 && pumped == 1; ++i) pumped = server_->Pump(0, 50);
  while (server_->Pump(0, 50) == 2) {
  }
  EXPECT_EQ(server_->GetDeferredCount(), 1);
}

TEST_F(QueryTest, AClosedConnectionFailsAtOnceAndALostOneEndsTheWait) {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  CZkQuery query;
  std::unique_ptr<CZkMSG> request = Request(VersionQuery);
  ASSERT_TRUE(query.Send(request.get()));
  platform::CloseSocket(pair_.farEnd);
  pair_.farEnd = platform::kInvalidSocket;
  const uint32_t start = clock.TickMs();
  CZkMSG* answer = nullptr;
  EXPECT_FALSE(query.Wait(&answer));
  EXPECT_LT(ElapsedMs(start), 1000u);
  EXPECT_FALSE(server_->IsConnected());

  EXPECT_FALSE(query.Ask(&answer, request.get()));
  EXPECT_LT(ElapsedMs(start), 1000u);
}

// Records the first int of every message delivered under its identifier.
class RecordingSink : public CSocketSink {
 public:
  explicit RecordingSink(uint16_t id) : CSocketSink(id) {}
  void OnMessage(CZkMSG* message) override {
    int32_t marker = -1;
    message->ReadInt(&marker);
    markers.push_back(marker);
  }
  std::vector<int32_t> markers;
};

TEST_F(QueryTest, SetAsideMessagesAreLimitedInCountAndBytesDroppingTheOldest) {
  struct Case {
    const char* what;
    int messages;
    size_t payloadSize;
    int32_t firstKept;
  };
  const Case cases[] = {
      {"many small", CZkServer::kMaxDeferred + 1, 4, 1},
      {"few of the largest", 3, CZkSocket::kMaxPayload, 1},
  };
  constexpr uint16_t kNobodysId = 0x100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SocketPair pair;
    CZkServer server;
    theServer = &server;
    server.GetSocket()->Adopt(pair.nearEnd);
    std::atomic<bool> written{false};
    std::thread writer([&] {
      for (int32_t i = 0; i < c.messages; ++i) {
        std::vector<uint8_t> payload = IntPayload(i);
        payload.resize(c.payloadSize);
        pair.Write(WireMessage(kNobodysId, VersionQuery + 1, payload));
      }
      written = true;
    });
    // Nobody waits for these, so every one of them is set aside.
    int pumped = 2;
    while (!written || pumped != 1) {
      pumped = server.Pump(1, 50);
      if (pumped == 0) break;
    }
    writer.join();
    ASSERT_NE(pumped, 0);

    RecordingSink sink(kNobodysId);
    server.Register(&sink);
    while (server.Pump(kNobodysId, 0) == 2) {
    }
    ASSERT_FALSE(sink.markers.empty());
    EXPECT_EQ(sink.markers.front(), c.firstKept);
    EXPECT_EQ(sink.markers.back(), c.messages - 1);
    EXPECT_EQ(sink.markers.size(), static_cast<size_t>(c.messages - c.firstKept));
    server.Unregister(&sink);
    theServer = server_.get();
  }
}

}  // namespace
