#include "protocol/login.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/cipher.h"
#include "protocol/message_codes.h"

namespace {

std::vector<uint8_t> Wire(CZkMSG& message) {
  const uint8_t* bytes = message.GetWire();
  return std::vector<uint8_t>(bytes, bytes + message.GetWireSize());
}

// The reading a system does: every item in order, nothing left over.
struct ParsedLogin {
  int32_t tag = -1, connectionType = -1, responseSize = -1, two = -1;
  std::string loginName, hardwareAddress, trailer;
  std::array<uint8_t, 16> response{};
};

ParsedLogin ParseCommon(CZkMSG& message) {
  ParsedLogin login;
  EXPECT_TRUE(message.ReadInt(&login.tag));
  EXPECT_TRUE(message.ReadInt(&login.connectionType));
  EXPECT_TRUE(message.ReadString(&login.loginName));
  EXPECT_TRUE(message.ReadInt(&login.responseSize));
  for (uint8_t& byte : login.response) EXPECT_TRUE(message.ReadByte(&byte));
  EXPECT_TRUE(message.ReadInt(&login.two));
  return login;
}

TEST(LoginQueryTest, LocalFormCarriesEverythingInOrder) {
  const std::array<uint8_t, 16> response = LoginResponse("0123456789ABCDEF", "secret");
  std::unique_ptr<CZkMSG> request =
      BuildLocalLoginQuery(kConfiguratorConnection, kLocalLoginName, response, "00-1A-2B-3C-4D-5E");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->GetCode(), message_codes::LoginQuery);
  EXPECT_EQ(request->GetQueryId(), 0);
  // 4 + 4 + (4 + 12) + 4 + 16 + 4 + (4 + 17 + 3) + 4
  EXPECT_EQ(request->GetLength(), 76);
  EXPECT_EQ(request->GetCapacity(), 320);  // the one reservation was enough

  const std::vector<uint8_t> wire = Wire(*request);
  std::unique_ptr<CZkMSG> received = CZkMSG::Wrap(wire.data());
  ParsedLogin login = ParseCommon(*received);
  EXPECT_EQ(login.tag, 348);
  EXPECT_EQ(login.connectionType, 3);
  EXPECT_EQ(login.loginName, "Local Config");
  EXPECT_EQ(login.responseSize, 16);
  EXPECT_EQ(login.response, response);
  EXPECT_EQ(login.two, 2);
  EXPECT_TRUE(received->ReadString(&login.hardwareAddress));
  EXPECT_EQ(login.hardwareAddress, "00-1A-2B-3C-4D-5E");
  EXPECT_TRUE(received->ReadString(&login.trailer));
  EXPECT_EQ(login.trailer, "");
  EXPECT_FALSE(received->ReadInt());  // nothing after the empty trailer
}

TEST(LoginQueryTest, RemoteFormEndsAfterTheIntTwo) {
  const std::array<uint8_t, 16> response = LoginResponse("challenge", "pw");
  std::unique_ptr<CZkMSG> request = BuildRemoteLoginQuery(kViewerConnection, "Remote", response);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->GetLength(), 4 + 4 + (4 + 8) + 4 + 16 + 4);
  const std::vector<uint8_t> wire = Wire(*request);
  std::unique_ptr<CZkMSG> received = CZkMSG::Wrap(wire.data());
  ParsedLogin login = ParseCommon(*received);
  EXPECT_EQ(login.connectionType, 0);
  EXPECT_EQ(login.loginName, "Remote");
  EXPECT_EQ(login.response, response);
  EXPECT_FALSE(received->ReadInt());
}

TEST(LoginQueryTest, ResponseBytesSitAtTheirFixedOffset) {
  std::array<uint8_t, 16> response{};
  for (int i = 0; i < 16; ++i) response[i] = static_cast<uint8_t>(0xA0 + i);
  std::unique_ptr<CZkMSG> request = BuildLocalLoginQuery(kViewerConnection, kLocalLoginName, response, "");
  const std::vector<uint8_t> wire = Wire(*request);
  // header 8, tag 4, type 4, name 4 + 12, size 4: the response starts at 36.
  EXPECT_EQ(std::vector<uint8_t>(wire.begin() + 36, wire.begin() + 52), std::vector<uint8_t>(response.begin(), response.end()));
  EXPECT_EQ(std::vector<uint8_t>(wire.begin() + 32, wire.begin() + 36), (std::vector<uint8_t>{16, 0, 0, 0}));
}

}  // namespace
