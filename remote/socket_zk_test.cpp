#include "remote/socket_zk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/socket.h"
#include "platform/socket_errors.h"
#include "remote/dotted_address.h"

namespace {

uint32_t Address(const char* dotted) {
  uint32_t address = 0;
  EXPECT_TRUE(platform::ParseDottedQuad(dotted, &address));
  return address;
}

std::vector<uint8_t> Message(uint16_t code, size_t payloadSize, int64_t lengthField = -1) {
  const uint32_t length = lengthField < 0 ? static_cast<uint32_t>(payloadSize) : static_cast<uint32_t>(lengthField);
  std::vector<uint8_t> bytes = {1, 0, static_cast<uint8_t>(code), static_cast<uint8_t>(code >> 8),
                                static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                                static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
  for (size_t i = 0; i < payloadSize; ++i) bytes.push_back(static_cast<uint8_t>(i * 7));
  return bytes;
}

uint16_t CodeOf(const std::vector<uint8_t>& message) {
  return static_cast<uint16_t>(message[2] | message[3] << 8);
}

// A CSocketZk connected to a listener of the test's own on loopback; the far end
// is what the peer sends and reads.
class SocketZkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    listener_ = platform::ListenTcp(platform::MakeSocketAddress(Address("127.0.0.1"), 0), 4, &bound_);
    ASSERT_NE(listener_, platform::kInvalidSocket);
  }
  void TearDown() override {
    if (socket_) socket_->Close("Destructor");
    platform::CloseSocket(farEnd_);
    platform::CloseSocket(listener_);
  }

  CSocketZk& Open(int32_t timeoutMs = 60000) {
    const uint8_t loopback[4] = {127, 0, 0, 1};
    socket_ = std::make_unique<CSocketZk>(loopback, platform::HostPort(bound_), timeoutMs);
    EXPECT_TRUE(socket_->connectOk) << socket_->GetErrorText();
    farEnd_ = platform::Accept(listener_, nullptr);
    return *socket_;
  }
  void PeerWrites(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      const long sent = platform::SendSome(farEnd_, bytes.data() + done, bytes.size() - done);
      ASSERT_GT(sent, 0);
      done += static_cast<size_t>(sent);
    }
  }
  // Everything the peer can read within the wait, up to `limit` bytes.
  std::vector<uint8_t> PeerReads(size_t limit) const {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> buffer(65536);
    while (bytes.size() < limit && platform::WaitReadable(farEnd_, 1000) == platform::WaitResult::kReady) {
      const long got = platform::ReceiveSome(farEnd_, buffer.data(), std::min(buffer.size(), limit - bytes.size()));
      if (got <= 0) break;
      bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
    }
    return bytes;
  }
  // Polls as an owner does, sleeping on the socket between polls.
  bool AwaitMessage() {
    while (!socket_->ReceiveMessage()) {
      if (!socket_->isOpen) return false;
      socket_->Wait();
    }
    return true;
  }
  // Writes until the system takes nothing more, even after a pause for late
  // acknowledgements to free room: the peer reads nothing meanwhile.
  size_t FillTheConnection() const {
    std::vector<uint8_t> filler(65536, 0xEE);
    size_t total = 0;
    for (bool tookMore = true; tookMore;) {
      tookMore = false;
      long sent;
      while ((sent = platform::SendSome(socket_->handle, filler.data(), filler.size())) > 0) {
        total += static_cast<size_t>(sent);
        tookMore = true;
      }
      EXPECT_EQ(platform::LastSocketErrorCode(), platform::kWsaWouldBlock);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return total;
  }

  platform::SocketHandle listener_ = platform::kInvalidSocket;
  platform::SocketAddress bound_;
  platform::SocketHandle farEnd_ = platform::kInvalidSocket;
  std::unique_ptr<CSocketZk> socket_;
};

TEST(SocketZkAddressTest, ATextWithoutThreeDotsIsRefusedWithoutAConnectAttempt) {
  CSocketZk socket("10.0.0", 80, 60000);
  EXPECT_EQ(socket.GetErrorText(), "Address invalid");
  EXPECT_FALSE(socket.connectOk);
  EXPECT_FALSE(socket.isOpen);
  EXPECT_EQ(socket.handle, platform::kInvalidSocket);
}

TEST(SocketZkAddressTest, NumbersAreCutToEightBits) {
  uint8_t bytes[4] = {};
  ASSERT_TRUE(ParseDottedAddress("192.168.1.300", "", &bytes[0], &bytes[1], &bytes[2], &bytes[3], nullptr));
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{192, 168, 1, 44}));
}

TEST(SocketZkAddressTest, TheCutAddressIsTheOneConnectedTo) {
  // 127.0.0.300 is 127.0.0.44: only there does the connect find a listener.
  platform::SocketAddress bound;
  const platform::SocketHandle listener =
      platform::ListenTcp(platform::MakeSocketAddress(Address("127.0.0.44"), 0), 1, &bound);
  ASSERT_NE(listener, platform::kInvalidSocket);
  CSocketZk socket("127.0.0.300", platform::HostPort(bound), 60000);
  EXPECT_TRUE(socket.connectOk) << socket.GetErrorText();
  EXPECT_EQ(socket.GetDottedAddress(), "127.0.0.300");
  EXPECT_EQ(socket.GetAddressAndPort(), "127.0.0.44:" + std::to_string(platform::HostPort(bound)));
  socket.Close("Destructor");
  platform::CloseSocket(listener);
}

TEST(SocketZkAddressTest, ARefusedConnectLeavesItsErrorAndNoHandle) {
  platform::SocketAddress bound;
  const platform::SocketHandle listener =
      platform::ListenTcp(platform::MakeSocketAddress(Address("127.0.0.1"), 0), 1, &bound);
  platform::CloseSocket(listener);
  const uint8_t loopback[4] = {127, 0, 0, 1};
  CSocketZk socket(loopback, platform::HostPort(bound), 60000);
  EXPECT_EQ(socket.GetErrorText(), "Error #10061 in connect(): Connection refused.");
  EXPECT_FALSE(socket.connectOk);
  EXPECT_EQ(socket.handle, platform::kInvalidSocket);
}

TEST(SocketZkAddressTest, AConnectNobodyAnswersEndsAfterTwentyOneSeconds) {
  // A listener whose queue is full drops further connects without a word.
  platform::SocketAddress bound;
  const platform::SocketHandle listener =
      platform::ListenTcp(platform::MakeSocketAddress(Address("127.0.0.1"), 0), 0, &bound);
  const platform::SocketHandle queued = platform::CreateTcpSocket();
  ASSERT_TRUE(platform::Connect(queued, bound));
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  const uint32_t start = clock.TickMs();
  const uint8_t loopback[4] = {127, 0, 0, 1};
  CSocketZk socket(loopback, platform::HostPort(bound), 60000);
  EXPECT_EQ(socket.GetErrorText(), "Error #10060 in connect(): Connection timed out.");
  EXPECT_EQ(ElapsedMs(start), 21000u);
  platform::CloseSocket(queued);
  platform::CloseSocket(listener);
}

TEST_F(SocketZkTest, AfterTheConnectTheSocketIsOpenNonBlockingWithoutDelay) {
  CSocketZk& socket = Open();
  EXPECT_TRUE(socket.isOpen);
  EXPECT_FALSE(socket.IsBlocking());
  EXPECT_TRUE(socket.IsNoDelay());
  EXPECT_FALSE(socket.ReceiveMessage());  // nothing yet, and no waiting for it
  EXPECT_TRUE(socket.isOpen);
}

TEST_F(SocketZkTest, TwoMessagesFromOneReadComeOutOneByOne) {
  CSocketZk& socket = Open();
  std::vector<uint8_t> bytes = Message(15, 5);
  const std::vector<uint8_t> second = Message(28, 0);
  bytes.insert(bytes.end(), second.begin(), second.end());
  PeerWrites(bytes);
  platform::CloseSocket(farEnd_);  // the second must come from the buffer, not the system
  farEnd_ = platform::kInvalidSocket;
  ASSERT_TRUE(AwaitMessage());
  EXPECT_EQ(socket.messageBuffer, Message(15, 5));
  ASSERT_TRUE(socket.ReceiveMessage());
  EXPECT_EQ(CodeOf(socket.messageBuffer), 28);
  EXPECT_EQ(socket.messageBuffer.size(), 8u);
  EXPECT_FALSE(socket.ReceiveMessage());
  EXPECT_FALSE(socket.isOpen);
  EXPECT_EQ(socket.GetErrorText(), "Assume socket is closed");
  EXPECT_EQ(socket.GetBytesReceived(), 21);
}

TEST_F(SocketZkTest, AMessageArrivingByteByByteIsHandedOutWhole) {
  CSocketZk& socket = Open();
  const std::vector<uint8_t> bytes = Message(8121, 13);
  for (uint8_t byte : bytes) {
    EXPECT_FALSE(socket.ReceiveMessage());
    PeerWrites({byte});
  }
  ASSERT_TRUE(AwaitMessage());
  EXPECT_EQ(socket.messageBuffer, bytes);
}

struct LengthCase {
  uint32_t announced;
  bool accepted;
};
void PrintTo(const LengthCase& c, std::ostream* out) { *out << c.announced; }

class MessageLengthTest : public SocketZkTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(MessageLengthTest, TheLimitIsFiveHundredThousandPayloadBytes) {
  const LengthCase& c = GetParam();
  CSocketZk& socket = Open();
  // Half a megabyte does not fit the connection's buffers: the peer writes while
  // the socket reads.
  std::thread peer([&] { PeerWrites(Message(8121, c.accepted ? c.announced : 0, c.announced)); });
  EXPECT_EQ(AwaitMessage(), c.accepted);
  peer.join();
  if (c.accepted) {
    EXPECT_EQ(socket.messageBuffer.size(), c.announced + 8u);
    EXPECT_EQ(socket.messageBuffer, Message(8121, c.announced));
  } else {
    EXPECT_EQ(socket.GetErrorText(), "Input Message too big");
    EXPECT_EQ(socket.handle, platform::kInvalidSocket);
  }
}

INSTANTIATE_TEST_SUITE_P(Limits, MessageLengthTest,
                         ::testing::Values(LengthCase{500000, true}, LengthCase{500001, false},
                                           LengthCase{0x80000000u, false}));

TEST_F(SocketZkTest, APeerThatClosesIsSeenAsClosed) {
  CSocketZk& socket = Open();
  platform::CloseSocket(farEnd_);
  farEnd_ = platform::kInvalidSocket;
  EXPECT_FALSE(AwaitMessage());
  EXPECT_EQ(socket.GetErrorText(), "Assume socket is closed");
  EXPECT_TRUE(socket.connectOk);  // never cleared
}

TEST_F(SocketZkTest, SixtySecondsWithoutAByteCloseTheConnection) {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  CSocketZk& socket = Open(60000);
  clock.Advance(60000);
  EXPECT_FALSE(socket.ReceiveMessage());
  EXPECT_TRUE(socket.isOpen);  // not yet past the time-out
  PeerWrites({1, 0});          // any byte starts the count again
  socket.Wait();
  EXPECT_FALSE(socket.ReceiveMessage());
  clock.Advance(60000);
  EXPECT_FALSE(socket.ReceiveMessage());
  EXPECT_TRUE(socket.isOpen);
  clock.Advance(1);
  EXPECT_FALSE(socket.ReceiveMessage());
  EXPECT_FALSE(socket.isOpen);
  EXPECT_EQ(socket.GetErrorText(), "Timeout");
}

TEST_F(SocketZkTest, WaitingSleepsOnTheSocketUntilTheTimeOut) {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  CSocketZk& socket = Open(60000);
  const uint32_t start = clock.TickMs();
  EXPECT_FALSE(AwaitMessage());
  EXPECT_EQ(socket.GetErrorText(), "Timeout");
  EXPECT_EQ(ElapsedMs(start), 60001u);  // one wait, not a spin of polls
}

TEST_F(SocketZkTest, WithoutATimeOutASilentPeerKeepsTheConnection) {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  CSocketZk& socket = Open(-1);
  clock.Advance(3600000);
  EXPECT_FALSE(socket.ReceiveMessage());
  EXPECT_TRUE(socket.isOpen);
}

TEST_F(SocketZkTest, RawBytesAreTakenAsSoonAsAnyAreWaiting) {
  CSocketZk& socket = Open();
  EXPECT_FALSE(socket.ReceiveRaw(0));
  PeerWrites({'O', 'K'});
  ASSERT_EQ(platform::WaitReadable(socket.handle, 1000), platform::WaitResult::kReady);
  EXPECT_FALSE(socket.ReceiveRaw(3));  // fewer than asked
  ASSERT_TRUE(socket.ReceiveRaw(0));
  EXPECT_EQ(socket.messageBuffer, (std::vector<uint8_t>{'O', 'K'}));
}

TEST_F(SocketZkTest, KeptOutputGoesOutInChunksOf1400BytesInOrder) {
  CSocketZk& socket = Open();
  const size_t filler = FillTheConnection();
  std::vector<uint8_t> block(CSocketZk::kMaxPending);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i % 251);
  ASSERT_TRUE(socket.Send(static_cast<int32_t>(block.size()), block.data(), true));
  EXPECT_EQ(socket.GetPendingCount(), block.size());
  ASSERT_EQ(PeerReads(filler).size(), filler);
  // The peer has made room: each flush moves one chunk.
  for (size_t left = block.size(); left > CSocketZk::kFlushChunk; left -= CSocketZk::kFlushChunk) {
    ASSERT_EQ(platform::WaitWritable(socket.handle, 1000), platform::WaitResult::kReady);
    EXPECT_FALSE(socket.FlushPending());
    EXPECT_EQ(socket.GetPendingCount(), left - CSocketZk::kFlushChunk);
  }
  ASSERT_EQ(platform::WaitWritable(socket.handle, 1000), platform::WaitResult::kReady);
  EXPECT_TRUE(socket.FlushPending());
  EXPECT_EQ(PeerReads(block.size()), block);
  EXPECT_EQ(socket.GetBytesSent(), static_cast<int64_t>(block.size()));
}

TEST_F(SocketZkTest, OutputBeyond20000KeptBytesClosesTheConnection) {
  CSocketZk& socket = Open();
  FillTheConnection();
  std::vector<uint8_t> block(CSocketZk::kMaxPending + 1, 0x55);
  EXPECT_FALSE(socket.Send(static_cast<int32_t>(block.size()), block.data(), true));
  EXPECT_FALSE(socket.isOpen);
  EXPECT_EQ(socket.GetErrorText(), "Cannot Send");
}

TEST_F(SocketZkTest, ABlockThatMayNotBeKeptIsDroppedWhenRefused) {
  CSocketZk& socket = Open();
  FillTheConnection();
  const uint8_t bytes[4] = {1, 2, 3, 4};
  EXPECT_TRUE(socket.Send(4, bytes, false));
  EXPECT_EQ(socket.GetPendingCount(), 0u);
  EXPECT_TRUE(socket.isOpen);
}

TEST_F(SocketZkTest, OutputThePeerNeverTakesEndsWithTheTimeOut) {
  platform::MovableClock clock;
  platform::ScopedClockOverride useClock(&clock);
  CSocketZk& socket = Open(60000);
  FillTheConnection();
  const std::vector<uint8_t> block = Message(14, 0);
  ASSERT_TRUE(socket.Send(static_cast<int32_t>(block.size()), block.data(), true));
  EXPECT_FALSE(AwaitMessage());
  EXPECT_EQ(socket.GetErrorText(), "Timeout");
}

// Reads the clock ahead by `step` at every look, so that any time the socket
// notes is long past by its next look.
class SteppingClock : public platform::MovableClock {
 public:
  explicit SteppingClock(uint32_t step) : step_(step) {}
  uint32_t TickMs() override {
    Advance(step_);
    return MovableClock::TickMs();
  }

 private:
  uint32_t step_;
};

struct ShortReadCase {
  uint32_t clockStep;
  bool delivered;
};
void PrintTo(const ShortReadCase& c, std::ostream* out) { *out << "step " << c.clockStep; }

class ShortReadTest : public SocketZkTest, public ::testing::WithParamInterface<ShortReadCase> {};

TEST_P(ShortReadTest, TheRestOfAShortReadMustComeWithin250Ms) {
  // A local stream socket stops a read after bytes that carry a descriptor, so
  // the system announces more than the first read returns.
  const ShortReadCase& c = GetParam();
  CSocketZk& socket = Open();
  platform::SocketHandle nearEnd, peer;
  ASSERT_TRUE(platform::CreateStreamPair(&nearEnd, &peer));
  platform::CloseSocket(socket.handle);
  socket.handle = nearEnd;
  platform::SetNonBlocking(nearEnd, true);
  const std::vector<uint8_t> bytes = Message(8121, 40);
  ASSERT_EQ(platform::SendWithDescriptor(peer, bytes.data(), 10, peer), 10);
  ASSERT_EQ(platform::SendSome(peer, bytes.data() + 10, bytes.size() - 10), static_cast<long>(bytes.size() - 10));

  SteppingClock clock(c.clockStep);
  platform::ScopedClockOverride useClock(&clock);
  EXPECT_EQ(socket.ReceiveMessage(), c.delivered);
  if (c.delivered) {
    EXPECT_EQ(socket.messageBuffer, bytes);
  } else {
    EXPECT_EQ(socket.GetErrorText(), "Bad Receive3");  // even though the bytes did come
    EXPECT_FALSE(socket.isOpen);
  }
  platform::CloseSocket(peer);
}

INSTANTIATE_TEST_SUITE_P(Clock, ShortReadTest,
                         ::testing::Values(ShortReadCase{0, true}, ShortReadCase{300, false}));

TEST(LastSocketErrorTest, GivesTheCodeWithItsText) {
  platform::SetLastSocketErrorCode(10061);
  const SocketError error = LastSocketError();
  EXPECT_EQ(error.code, 10061);
  EXPECT_EQ(error.text, "Connection refused.");
}

}  // namespace
