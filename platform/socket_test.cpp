#include "platform/socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "platform/socket_errors.h"

namespace {

uint32_t Loopback() {
  uint32_t address = 0;
  EXPECT_TRUE(platform::ParseDottedQuad("127.0.0.1", &address));
  return address;
}

// A loopback port with nothing listening on it.
platform::SocketAddress ClosedPort() {
  platform::SocketAddress bound;
  const platform::SocketHandle listener = platform::ListenTcp(platform::MakeSocketAddress(Loopback(), 0), 1, &bound);
  platform::CloseSocket(listener);
  return bound;
}

TEST(SocketTest, ARefusedConnectShowsAsWritableWithItsErrorReadOnce) {
  const platform::SocketHandle socket = platform::CreateTcpSocket();
  ASSERT_TRUE(platform::SetNonBlocking(socket, true));
  ASSERT_TRUE(platform::Connect(socket, ClosedPort()));  // in progress
  ASSERT_EQ(platform::WaitWritable(socket, 1000), platform::WaitResult::kReady);
  EXPECT_EQ(platform::PendingConnectError(socket), platform::kWsaConnectionRefused);
  EXPECT_EQ(platform::PendingConnectError(socket), 0);  // reading it cleared it
  platform::CloseSocket(socket);
}

TEST(SocketTest, ABlockingConnectToAClosedPortSetsTheLastError) {
  const platform::SocketHandle socket = platform::CreateTcpSocket();
  EXPECT_FALSE(platform::Connect(socket, ClosedPort()));
  EXPECT_EQ(platform::LastSocketErrorCode(), 10061);
  EXPECT_STREQ(SocketErrorText(platform::LastSocketErrorCode()), "Connection refused.");
  platform::CloseSocket(socket);
}

TEST(SocketTest, AWaitThatTimesOutMovesTheMovableClockByTheWholeWait) {
  platform::SocketHandle a, b;
  ASSERT_TRUE(platform::CreateStreamPair(&a, &b));
  platform::MovableClock clock;
  platform::ScopedClockOverride use(&clock);
  const uint32_t start = clock.TickMs();
  EXPECT_EQ(platform::WaitReadable(a, 5000), platform::WaitResult::kTimedOut);
  EXPECT_EQ(ElapsedMs(start), 5000u);
  EXPECT_EQ(platform::SendSome(b, "x", 1), 1);
  EXPECT_EQ(platform::WaitReadable(a, 5000), platform::WaitResult::kReady);
  EXPECT_EQ(ElapsedMs(start), 5000u);
  platform::CloseSocket(a);
  platform::CloseSocket(b);
}

TEST(SocketTest, AnEmptyDatagramIsSeenAndConsumed) {
  const platform::SocketHandle receiver = platform::CreateUdpSocket();
  ASSERT_TRUE(platform::BindUdp(receiver, platform::MakeSocketAddress(Loopback(), 0)));
  platform::SocketAddress at;
  ASSERT_TRUE(platform::LocalAddress(receiver, &at));
  const platform::SocketHandle sender = platform::CreateUdpSocket();
  ASSERT_EQ(platform::SendDatagram(sender, "", 0, at), 0);
  ASSERT_EQ(platform::SendDatagram(sender, "abc", 3, at), 3);
  ASSERT_EQ(platform::WaitReadable(receiver, 1000), platform::WaitResult::kReady);
  EXPECT_TRUE(platform::DatagramWaiting(receiver));
  char buffer[8];
  platform::SocketAddress from;
  EXPECT_EQ(platform::ReceiveDatagram(receiver, buffer, sizeof buffer, &from), 0);
  EXPECT_EQ(from.address, Loopback());
  EXPECT_TRUE(platform::DatagramWaiting(receiver));
  EXPECT_EQ(platform::ReceiveDatagram(receiver, buffer, sizeof buffer, &from), 3);
  EXPECT_FALSE(platform::DatagramWaiting(receiver));
  EXPECT_EQ(platform::ReceiveDatagram(receiver, buffer, sizeof buffer, &from), -1);
  EXPECT_EQ(platform::LastSocketErrorCode(), platform::kWsaWouldBlock);
  platform::CloseSocket(receiver);
  platform::CloseSocket(sender);
}

TEST(SocketTest, SendingToAClosedPeerFailsWithoutASignal) {
  platform::SocketHandle a, b;
  ASSERT_TRUE(platform::CreateStreamPair(&a, &b));
  platform::CloseSocket(b);
  EXPECT_EQ(platform::SendSome(a, "x", 1), -1);
  EXPECT_EQ(platform::LastSocketErrorCode(), 10054);
  platform::CloseSocket(a);
}

TEST(SocketTest, ABoundedConnectReportsARefusal) {
  const platform::SocketHandle socket = platform::CreateTcpSocket();
  EXPECT_FALSE(platform::ConnectWithin(socket, ClosedPort(), 21000));
  EXPECT_EQ(platform::LastSocketErrorCode(), platform::kWsaConnectionRefused);
  platform::CloseSocket(socket);
}

TEST(SocketTest, ABoundedConnectLeavesABlockingSocketBlocking) {
  platform::SocketAddress bound;
  const platform::SocketHandle listener = platform::ListenTcp(platform::MakeSocketAddress(Loopback(), 0), 1, &bound);
  const platform::SocketHandle socket = platform::CreateTcpSocket();
  ASSERT_TRUE(platform::ConnectWithin(socket, bound, 21000));
  const platform::SocketHandle peer = platform::Accept(listener, nullptr);
  // A blocking receive waits for the byte the peer sends later; a non-blocking
  // one would come back at once with "would block".
  long received = 0;
  std::thread reader([&] {
    char byte = 0;
    received = platform::ReceiveSome(socket, &byte, 1);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(platform::SendSome(peer, "x", 1), 1);
  reader.join();
  EXPECT_EQ(received, 1);
  for (platform::SocketHandle s : {socket, peer, listener}) platform::CloseSocket(s);
}

TEST(SocketTest, ABoundedConnectNobodyAnswersTimesOutAtTheBoundOfTheClock) {
  // A listener whose queue is full drops further connects without a word.
  platform::SocketAddress bound;
  const platform::SocketHandle listener = platform::ListenTcp(platform::MakeSocketAddress(Loopback(), 0), 0, &bound);
  const platform::SocketHandle queued = platform::CreateTcpSocket();
  ASSERT_TRUE(platform::Connect(queued, bound));
  platform::MovableClock clock;
  platform::ScopedClockOverride use(&clock);
  const uint32_t start = clock.TickMs();
  const platform::SocketHandle socket = platform::CreateTcpSocket();
  EXPECT_FALSE(platform::ConnectWithin(socket, bound, 21000));
  EXPECT_EQ(platform::LastSocketErrorCode(), platform::kWsaTimedOut);
  EXPECT_EQ(ElapsedMs(start), 21000u);
  for (platform::SocketHandle s : {socket, queued, listener}) platform::CloseSocket(s);
}

TEST(SocketTest, PortsTravelInNetworkOrder) {
  const platform::SocketAddress address = platform::MakeSocketAddress(Loopback(), 80);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&address.port);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[1], 80);
  EXPECT_EQ(platform::HostPort(address), 80);
}

}  // namespace
