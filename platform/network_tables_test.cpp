#include "platform/network_tables.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

uint32_t Dotted(const char* text) { return inet_addr(text); }

TEST(SubnetRowsTest, ParsesRowsAndRejectsAnythingMalformed) {
  std::vector<platform::AddressRow> rows;
  ASSERT_TRUE(platform::ParseSubnetRows("127.0.1.1/24", &rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].address, Dotted("127.0.1.1"));
  EXPECT_EQ(rows[0].mask, Dotted("255.255.255.0"));

  ASSERT_TRUE(platform::ParseSubnetRows("10.1.2.3/30, 192.168.7.9/32,127.0.0.1/0", &rows));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].mask, Dotted("255.255.255.252"));
  EXPECT_EQ(rows[1].address, Dotted("192.168.7.9"));
  EXPECT_EQ(rows[1].mask, Dotted("255.255.255.255"));
  EXPECT_EQ(rows[2].mask, 0u);

  for (const char* bad : {"", " ", "127.0.1.1", "127.0.1.1/", "127.0.1.1/33", "127.0.1/24", "127.0.1.1/24,",
                          "127.0.1.1/2x", "host/24", "127.0.1.1/24,,10.0.0.1/8"}) {
    EXPECT_FALSE(platform::ParseSubnetRows(bad, &rows)) << bad;
    EXPECT_TRUE(rows.empty()) << bad;
  }
}

class SubnetVariableTest : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv("TIDEWATCHER_SUBNETS"); }
};

TEST_F(SubnetVariableTest, ReplacesTheRealTable) {
  setenv("TIDEWATCHER_SUBNETS", "127.0.1.1/24", 1);
  std::vector<platform::AddressRow> rows;
  ASSERT_TRUE(platform::CurrentNetworkTables().IPv4Addresses(&rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(FormatIPv4(rows[0].address), "127.0.1.1");
}

TEST_F(SubnetVariableTest, SetButEmptyOrMalformedGivesNoRowsNeverTheRealTable) {
  for (const char* value : {"", "nonsense"}) {
    setenv("TIDEWATCHER_SUBNETS", value, 1);
    std::vector<platform::AddressRow> rows;
    platform::CurrentNetworkTables().IPv4Addresses(&rows);
    EXPECT_TRUE(rows.empty()) << value;
  }
}

TEST_F(SubnetVariableTest, WithoutTheVariableLoopbackIsInTheTable) {
  unsetenv("TIDEWATCHER_SUBNETS");
  std::vector<platform::AddressRow> rows;
  ASSERT_TRUE(platform::CurrentNetworkTables().IPv4Addresses(&rows));
  bool loopback = false;
  for (const platform::AddressRow& row : rows) loopback |= row.address == Dotted("127.0.0.1");
  EXPECT_TRUE(loopback);
}

TEST(AdaptersTest, LoopbackIsNeverAnAdapter) {
  std::vector<platform::HardwareAddress> adapters;
  ASSERT_TRUE(platform::CurrentNetworkTables().Adapters(&adapters));
  for (const platform::HardwareAddress& address : adapters) {
    EXPECT_NE(address, (platform::HardwareAddress{0, 0, 0, 0, 0, 0}));
  }
  EXPECT_LE(adapters.size(), platform::kMaxAdapters);
}

TEST(OnlyLoopbackLinksTest, AgreesWithTheAdapterTable) {
  // Any adapter with a hardware address is a link other than loopback.
  std::vector<platform::HardwareAddress> adapters;
  ASSERT_TRUE(platform::CurrentNetworkTables().Adapters(&adapters));
  if (!adapters.empty()) {
    EXPECT_FALSE(platform::OnlyLoopbackLinks());
  }
}

TEST(FormatIPv4Test, FirstByteInMemoryIsTheFirstNumber) {
  EXPECT_EQ(FormatIPv4(Dotted("192.168.1.10")), "192.168.1.10");
  EXPECT_EQ(FormatIPv4(Dotted("255.255.255.255")), "255.255.255.255");
  EXPECT_EQ(FormatIPv4(0), "0.0.0.0");
}

}  // namespace
