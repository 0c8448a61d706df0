#include "remote/discovery_server_address.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/files.h"
#include "remote/service_hosts.h"

namespace {

namespace fs = std::filesystem;

struct FileCase {
  const char* what;
  std::string bytes;
  bool used;
  const char* address;
  uint16_t port;
};
void PrintTo(const FileCase& c, std::ostream* out) { *out << c.what; }

class DiscoveryServerFileTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(DiscoveryServerFileTest, OnlyAUsableFileWins) {
  const FileCase& c = GetParam();
  std::string address = "untouched";
  uint16_t port = 1;
  ASSERT_EQ(ParseDiscoveryServerFile(c.bytes, &address, &port), c.used);
  if (!c.used) return;
  EXPECT_EQ(address, c.address);
  EXPECT_EQ(port, c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DiscoveryServerFileTest,
    ::testing::Values(FileCase{"address and port with a line end", "10.1.2.3:9000\r\n", true, "10.1.2.3", 9000},
                      FileCase{"no colon", "10.1.2.3", false, "", 0},
                      FileCase{"port 0", "10.1.2.3:0", false, "", 0},
                      FileCase{"65536 cut to 0", "10.1.2.3:65536", false, "", 0},
                      FileCase{"70000 cut to 4464", "10.1.2.3:70000", true, "10.1.2.3", 4464},
                      FileCase{"the last colon decides", "a:b:77", true, "a:b", 77},
                      FileCase{"a colon beyond 31 bytes is not seen", std::string(31, 'x') + ":500", false, "", 0},
                      FileCase{"digits beyond 31 bytes are not seen", std::string(27, 'x') + ":5001", true,
                               "xxxxxxxxxxxxxxxxxxxxxxxxxxx", 500},
                      FileCase{"the text ends at a zero byte", std::string("10.1.2.3\0:500", 13), false, "", 0},
                      FileCase{"empty", "", false, "", 0}));

// The whole decision, with a launcher folder of the test's own.
class DiscoveryServerAddressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tw-discovery-server-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    folderOverride_ = std::make_unique<platform::ScopedProgramFolderOverride>(folder_);
  }
  void TearDown() override {
    unsetenv(kDiscoveryHostVariable);
    folderOverride_.reset();
    fs::remove_all(folder_);
  }
  void WriteFile(const std::string& bytes) const {
    std::ofstream(folder_ + "/" + kDiscoveryServerFileName, std::ios::binary) << bytes;
  }

  std::string folder_;
  std::unique_ptr<platform::ScopedProgramFolderOverride> folderOverride_;
};

TEST_F(DiscoveryServerAddressTest, TheFileBesideTheLauncherOverridesTheDefault) {
  WriteFile("10.1.2.3:9000\n");
  setenv(kDiscoveryHostVariable, "127.0.0.9", 1);
  const CDiscoveryServerAddress server;
  ASSERT_TRUE(server.IsValid());
  EXPECT_EQ(server.GetAddressText(), "10.1.2.3");
  EXPECT_EQ(server.GetPort(), 9000);
  EXPECT_EQ(server.GetHostName(), "");  // no look-up
}

TEST_F(DiscoveryServerAddressTest, WithoutAUsableFileTheHostNameIsLookedUpOnPort500) {
  WriteFile("10.1.2.3:0");
  setenv(kDiscoveryHostVariable, "127.0.0.9", 1);
  std::string address;
  uint16_t port = 0;
  ASSERT_TRUE(GetDiscoveryServer(&address, &port));
  EXPECT_EQ(address, "127.0.0.9");
  EXPECT_EQ(port, 500);
  EXPECT_EQ(CDiscoveryServerAddress().GetHostName(), "127.0.0.9");
}

}  // namespace
