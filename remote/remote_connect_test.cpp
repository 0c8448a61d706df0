#include "remote/remote_connect.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "local/zk_query.h"
#include "local/zk_server.h"
#include "protocol/login.h"
#include "protocol/message_codes.h"
#include "remote/discovery_client.h"
#include "remote/gateway_manager.h"
#include "remote/remote_test_services.h"

namespace codes = message_codes;

namespace {

class RemoteConnectTest : public ::testing::Test {
 protected:
  void SetUp() override { theServer = new CZkServer; }
  void TearDown() override {
    DisposeRemoteObjects();
    delete theServer;
    theServer = nullptr;
  }
  bool Connect(int32_t connectionType = kViewerConnection) {
    return ConnectRemote(&sink_, kRemoteSystemName, "secret", connectionType, &versionText_, &versionValue_);
  }
  void ExpectNothingLeft() const {
    EXPECT_EQ(theDiscoveryClient, nullptr);
    EXPECT_EQ(theGatewayManager, nullptr);
    EXPECT_FALSE(theServer->IsConnected());
  }

  RemoteServices services_;
  RecordingSink sink_;
  std::string versionText_;
  int32_t versionValue_ = 0;
};

TEST_F(RemoteConnectTest, TheLocalEngineTakesOverTheLoggedInConnection) {
  services_.StartGateway();
  services_.StartDiscovery();
  ASSERT_TRUE(Connect()) << sink_.lines.back();
  EXPECT_EQ(versionText_, "5.2 Build 738.0 Rel");
  EXPECT_EQ(versionValue_, 738);
  EXPECT_EQ(theDiscoveryClient, nullptr);
  EXPECT_EQ(theGatewayManager, nullptr);
  ASSERT_TRUE(theServer->IsConnected());
  // The engine asks on the very connection that logged in: no new connect.
  std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, codes::SystemNameQuery, 0, true);
  CZkQuery query;
  CZkMSG* answer = nullptr;
  ASSERT_TRUE(query.Ask(&answer, request.get()));
  std::string name;
  answer->ReadInt();
  answer->ReadInt();
  answer->ReadString(&name);
  EXPECT_EQ(name, kRemoteSystemName);
  EXPECT_EQ(services_.gateway.ConnectionCount(), 1u);
  EXPECT_EQ(services_.gateway.RequestsWithCode(codes::SystemNameQuery).at(0).connection, 0u);
}

struct ServiceNameCase {
  int32_t connectionType;
  const char* serviceName;
};
void PrintTo(const ServiceNameCase& c, std::ostream* out) { *out << "connection type " << c.connectionType; }

class ServiceNameTest : public RemoteConnectTest, public ::testing::WithParamInterface<ServiceNameCase> {};

TEST_P(ServiceNameTest, TheLookupNamesTheServiceTheClientNeeds) {
  const ServiceNameCase& c = GetParam();
  services_.StartGateway();
  services_.StartDiscovery();
  ASSERT_TRUE(Connect(c.connectionType));
  const std::vector<SimLookup> lookups = services_.discovery.Lookups();
  ASSERT_EQ(lookups.size(), 1u);
  EXPECT_EQ(lookups[0].systemName, kRemoteSystemName);
  EXPECT_EQ(lookups[0].serviceName, c.serviceName);
  EXPECT_EQ(services_.gateway.Connections().at(0).lastLogin.connectionType, c.connectionType);
}

INSTANTIATE_TEST_SUITE_P(Clients, ServiceNameTest,
                         ::testing::Values(ServiceNameCase{kViewerConnection, kRemoteSystemName},
                                           ServiceNameCase{kConfiguratorConnection, "Kelventra Service"}));

TEST_F(RemoteConnectTest, AClosedPublicPortWithoutRelayModeStillTriesDirectly) {
  services_.StartGateway();
  SimDiscoveryServiceConfig config = services_.DiscoveryConfig();
  config.systems[0].publicPortOpen = 0;
  services_.StartDiscovery(config);
  ASSERT_TRUE(Connect());
  const std::string found = services_.AddressText() + ":" + std::to_string(services_.gateway.Port());
  const std::vector<std::string> expected = {"Found system at " + found + ".", "Public port closed.",
                                             "Connecting to System at " + found + "..."};
  EXPECT_EQ(std::vector<std::string>(sink_.lines.begin() + 5, sink_.lines.begin() + 8), expected);
}

TEST_F(RemoteConnectTest, AFailedLoginLeavesNothingConnected) {
  SimConfig config;
  config.password = "other";
  services_.StartGateway(config);
  services_.StartDiscovery();
  EXPECT_FALSE(Connect());
  EXPECT_EQ(sink_.lines.back(), "ERROR: Login rejected by Gateway");
  ExpectNothingLeft();
  EXPECT_TRUE(services_.GatewayConnectionsClosed());
}

TEST_F(RemoteConnectTest, ADiscoveryAddressThatIsNotDottedEndsAfterItsLine) {
  std::ofstream(services_.folder + "/" + kDiscoveryServerFileName) << "discovery.example:500";
  EXPECT_FALSE(Connect());
  EXPECT_EQ(sink_.lines, std::vector<std::string>{"Discovery Service: discovery.example:500"});
  ExpectNothingLeft();
}

TEST_F(RemoteConnectTest, WithoutADiscoveryServerNothingIsShown) {
  // No file, and a built-in host name that cannot be looked up (here in the
  // private network no name can).
  setenv(kDiscoveryHostVariable, "discovery.tidewatcher.invalid", 1);
  EXPECT_FALSE(Connect());
  EXPECT_TRUE(sink_.lines.empty());
  ExpectNothingLeft();
}

TEST_F(RemoteConnectTest, TheDiscoveryHostNameFromTheEnvironmentIsAskedOnPort500) {
  services_.StartGateway();
  SimDiscoveryServiceConfig config = services_.DiscoveryConfig();
  config.port = 500;
  ASSERT_TRUE(services_.discovery.Start(config)) << services_.discovery.Error();
  setenv(kDiscoveryHostVariable, services_.AddressText().c_str(), 1);
  ASSERT_TRUE(Connect());
  EXPECT_EQ(sink_.lines.front(), "Discovery Service: " + services_.AddressText() + ":500");
}

}  // namespace
