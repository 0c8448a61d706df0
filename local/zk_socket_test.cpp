#include "local/zk_socket.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "local/stream_peer_test_util.h"

namespace {

class ZkSocketStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { socket_.Adopt(pair_.nearEnd); }

  // Receives until the result is not ReceiveMore (bounded).
  ReceiveResult ReceiveUntilSettled() {
    ReceiveResult result = ReceiveMore;
    for (int i = 0; i < 10000 && result == ReceiveMore; ++i) result = socket_.Receive(200);
    return result;
  }

  SocketPair pair_;
  CZkSocket socket_;
};

TEST_F(ZkSocketStreamTest, TwoMessagesInOneReadAreHandedOutOneAfterTheOther) {
  std::vector<uint8_t> both = WireMessage(2, 15, {1, 2, 3, 4});
  const std::vector<uint8_t> second = WireMessage(3, 8121, {9, 9, 9, 9, 8, 8, 8, 8});
  both.insert(both.end(), second.begin(), second.end());
  pair_.Write(both);

  ASSERT_EQ(ReceiveUntilSettled(), ReceiveMessageReady);
  const uint8_t* first = socket_.TakeMessage();
  EXPECT_EQ(first[0], 2);
  EXPECT_EQ(socket_.GetReadPos(), 12);
  socket_.Consume(first, 12);
  EXPECT_EQ(socket_.GetReadPos(), 0);

  platform::CloseSocket(pair_.farEnd);  // the next message must come from the buffer alone
  pair_.farEnd = platform::kInvalidSocket;
  ASSERT_EQ(socket_.Receive(0), ReceiveMessageReady);
  const uint8_t* next = socket_.TakeMessage();
  EXPECT_EQ(std::vector<uint8_t>(next, next + 16), second);
  socket_.Consume(next, 16);
  EXPECT_EQ(socket_.GetFill(), 0);
}

TEST_F(ZkSocketStreamTest, AMessageSplitOverManyReadsIsReadyOnlyWithItsLastByte) {
  const std::vector<uint8_t> message = WireMessage(7, 15, std::vector<uint8_t>(40, 0xAB));
  for (size_t i = 0; i + 1 < message.size(); ++i) {
    pair_.Write({message[i]});
    ReceiveResult result;
    do result = socket_.Receive(200);
    while (result == ReceiveMore && socket_.GetFill() < static_cast<int32_t>(i + 1));
    ASSERT_EQ(result, ReceiveMore) << "byte " << i;
  }
  pair_.Write({message.back()});
  EXPECT_EQ(ReceiveUntilSettled(), ReceiveMessageReady);
}

TEST_F(ZkSocketStreamTest, TheLargestMessageIsWaitedForAndHandedOutWhole) {
  const std::vector<uint8_t> largest = WireMessage(1, 15, std::vector<uint8_t>(CZkSocket::kMaxPayload, 0x5A));
  pair_.Write(std::vector<uint8_t>(largest.begin(), largest.begin() + 8));
  EXPECT_EQ(socket_.Receive(200), ReceiveMore);
  EXPECT_EQ(socket_.Receive(20), ReceiveNothing);
  ASSERT_TRUE(socket_.IsOpen());

  // It fills the buffer to its last byte but one.
  std::thread writer([&] { pair_.Write(std::vector<uint8_t>(largest.begin() + 8, largest.end())); });
  const ReceiveResult result = ReceiveUntilSettled();
  writer.join();
  ASSERT_EQ(result, ReceiveMessageReady);
  EXPECT_EQ(socket_.GetFill(), 1999999);
  const uint8_t* message = socket_.TakeMessage();
  EXPECT_EQ(message[1999998], 0x5A);
  socket_.Consume(message, 1999999);
  EXPECT_EQ(socket_.GetFill(), 0);
  EXPECT_TRUE(socket_.IsOpen());
}

TEST(ZkSocketLengthTest, OversizeAndNegativeLengthsClose) {
  for (int64_t length : {int64_t{1999992}, int64_t{0xFFFFFFFF}, int64_t{0x80000000}}) {
    SocketPair pair;
    CZkSocket socket;
    socket.Adopt(pair.nearEnd);
    pair.Write(WireMessage(1, 15, {}, length));
    EXPECT_EQ(socket.Receive(200), ReceiveMore);
    EXPECT_EQ(socket.Receive(200), ReceiveFailed) << length;
    EXPECT_FALSE(socket.IsOpen());
    EXPECT_EQ(socket.GetFill(), 0);
  }
}

TEST_F(ZkSocketStreamTest, PeerClosingFailsTheReceiveAndClosedEngineFailsEverything) {
  platform::CloseSocket(pair_.farEnd);
  pair_.farEnd = platform::kInvalidSocket;
  EXPECT_EQ(socket_.Receive(200), ReceiveFailed);
  EXPECT_FALSE(socket_.IsOpen());
  EXPECT_EQ(socket_.Receive(0), ReceiveFailed);
  const uint8_t byte = 0;
  EXPECT_FALSE(socket_.SendAll(1, &byte));
  socket_.Close();  // on a closed engine: only empties the buffer
  EXPECT_FALSE(socket_.IsOpen());
}

TEST_F(ZkSocketStreamTest, SendAllSendsTheWholeBlock) {
  const std::vector<uint8_t> message = WireMessage(2, 14, {});
  EXPECT_TRUE(socket_.SendAll(static_cast<int32_t>(message.size()), message.data()));
  EXPECT_EQ(pair_.ReadAvailable(), message);
}

TEST(ZkSocketCloseTest, AHandedOverConnectionIsNotShutDownForTheClient) {
  SocketPair pair;
  const platform::SocketHandle clientCopy = dup(pair.nearEnd);
  {
    CZkSocket socket;
    socket.Adopt(pair.nearEnd);
    socket.MarkHandedOver();
    socket.Close();
  }
  // The client's copy still receives what the peer sends.
  pair.Write({1, 2, 3});
  ASSERT_EQ(platform::WaitReadable(clientCopy, 1000), platform::WaitResult::kReady);
  uint8_t buffer[3];
  EXPECT_EQ(platform::ReceiveSome(clientCopy, buffer, sizeof buffer), 3);
  platform::CloseSocket(clientCopy);
}

}  // namespace
