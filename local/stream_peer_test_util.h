// A connected pair of TCP sockets on loopback for tests: the near end goes into the
// code under test, the test writes whatever bytes it likes from the far end.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/socket.h"

struct SocketPair {
  platform::SocketHandle nearEnd = platform::kInvalidSocket;
  platform::SocketHandle farEnd = platform::kInvalidSocket;

  SocketPair() {
    uint32_t loopback = 0;
    platform::ParseDottedQuad("127.0.0.1", &loopback);
    platform::SocketAddress bound;
    const platform::SocketHandle listener =
        platform::ListenTcp(platform::MakeSocketAddress(loopback, 0), 1, &bound);
    EXPECT_NE(listener, platform::kInvalidSocket);
    nearEnd = platform::CreateTcpSocket();
    EXPECT_TRUE(platform::Connect(nearEnd, bound));
    farEnd = platform::Accept(listener, nullptr);
    platform::CloseSocket(listener);
  }
  ~SocketPair() { platform::CloseSocket(farEnd); }  // the near end belongs to the code under test

  void Write(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      const long sent = platform::SendSome(farEnd, bytes.data() + done, bytes.size() - done);
      ASSERT_GT(sent, 0);
      done += static_cast<size_t>(sent);
    }
  }
  // Everything the near end has sent so far, waiting up to `ms` for the first byte.
  std::vector<uint8_t> ReadAvailable(int ms = 200) const {
    std::vector<uint8_t> bytes;
    uint8_t buffer[4096];
    while (platform::WaitReadable(farEnd, bytes.empty() ? ms : 20) == platform::WaitResult::kReady) {
      const long got = platform::ReceiveSome(farEnd, buffer, sizeof buffer);
      if (got <= 0) break;
      bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
  }
};

// The wire bytes of a message: header (id, code, length) and payload.
inline std::vector<uint8_t> WireMessage(uint16_t id, uint16_t code, const std::vector<uint8_t>& payload,
                                        int64_t lengthField = -1) {
  const uint32_t length = lengthField < 0 ? static_cast<uint32_t>(payload.size()) : static_cast<uint32_t>(lengthField);
  const uint8_t header[8] = {static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(code),
                             static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(length),
                             static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length >> 16),
                             static_cast<uint8_t>(length >> 24)};
  std::vector<uint8_t> bytes(sizeof header + payload.size());
  std::memcpy(bytes.data(), header, sizeof header);
  if (!payload.empty()) std::memcpy(bytes.data() + sizeof header, payload.data(), payload.size());
  return bytes;
}
