#include "app/hardware_address.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class FakeTables : public platform::NetworkTables {
 public:
  bool Adapters(std::vector<platform::HardwareAddress>* out) override {
    *out = adapters;
    return readable;
  }
  bool IPv4Addresses(std::vector<platform::AddressRow>* out) override {
    out->clear();
    return true;
  }

  bool readable = true;
  std::vector<platform::HardwareAddress> adapters;
};

TEST(HardwareAddressTest, FormatsUpperCaseWithHyphens) {
  EXPECT_EQ(FormatHardwareAddress({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}), "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(FormatHardwareAddress({0xFF, 0xab, 0x01, 0x00, 0x10, 0xF0}), "FF-AB-01-00-10-F0");
}

TEST(HardwareAddressTest, TakesTheFirstAdapter) {
  FakeTables tables;
  tables.adapters = {{0x02, 0x00, 0x00, 0x00, 0x00, 0x01}, {0x02, 0x00, 0x00, 0x00, 0x00, 0x02}};
  platform::ScopedNetworkTablesOverride use(&tables);
  std::string text;
  ASSERT_TRUE(FirstAdapterAddressText(&text));
  EXPECT_EQ(text, "02-00-00-00-00-01");
}

TEST(HardwareAddressTest, NoAddressWithoutAdapterOrTable) {
  FakeTables empty;
  FakeTables unreadable;
  unreadable.readable = false;
  unreadable.adapters = {{1, 2, 3, 4, 5, 6}};
  for (FakeTables* tables : {&empty, &unreadable}) {
    platform::ScopedNetworkTablesOverride use(tables);
    std::string text = "unchanged";
    EXPECT_FALSE(FirstAdapterAddressText(&text));
    EXPECT_EQ(text, "unchanged");
  }
}

}  // namespace
