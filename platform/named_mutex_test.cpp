#include "platform/named_mutex.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/clock.h"

namespace {

namespace fs = std::filesystem;

// Every test gets a runtime folder of its own, so its locks meet nobody else's.
class NamedMutexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    char pattern[] = "/tmp/tw-mutex-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_) {
      setenv("XDG_RUNTIME_DIR", old_.c_str(), 1);
    } else {
      unsetenv("XDG_RUNTIME_DIR");
    }
    fs::remove_all(dir_);
  }
  std::string dir_;
  std::string old_;
  bool hadOld_ = false;
};

TEST_F(NamedMutexTest, TheLockFileLiesInTheRuntimeFolderOnlyWhenThatIsADirectoryOfOurs) {
  EXPECT_EQ(platform::NamedMutexPath("GatewayMutex"), dir_ + "/GatewayMutex.lock");
  const std::string fallback = "/tmp/GatewayMutex-" + std::to_string(geteuid()) + ".lock";
  for (const std::string& value : {dir_ + "/missing", std::string("relative"), std::string()}) {
    setenv("XDG_RUNTIME_DIR", value.c_str(), 1);
    EXPECT_EQ(platform::NamedMutexPath("GatewayMutex"), fallback) << value;
  }
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(platform::NamedMutexPath("GatewayMutex"), fallback);
}

TEST_F(NamedMutexTest, AProbeTakesAFreeMutexAndLetsItGoAgain) {
  EXPECT_EQ(platform::ProbeNamedMutex("ClearslateMutex", 100), platform::MutexProbe::kAcquired);
  platform::NamedMutexHolder holder;
  EXPECT_TRUE(holder.Acquire("ClearslateMutex", 0));
}

TEST_F(NamedMutexTest, AHeldMutexIsSeenForTheWholeWaitAndFreeAgainAfterRelease) {
  platform::NamedMutexHolder holder;
  ASSERT_TRUE(holder.Acquire("GatewayMutex"));
  platform::MovableClock clock;
  platform::ScopedClockOverride use(&clock);
  const uint32_t start = clock.TickMs();
  EXPECT_EQ(platform::ProbeNamedMutex("GatewayMutex", 100), platform::MutexProbe::kHeldElsewhere);
  EXPECT_EQ(ElapsedMs(start), 100u);
  // A second holder in the same process conflicts too: the lock belongs to the open file.
  platform::NamedMutexHolder second;
  EXPECT_FALSE(second.Acquire("GatewayMutex", 0));
  EXPECT_EQ(platform::ProbeNamedMutex("ClearslateMutex", 100), platform::MutexProbe::kAcquired);
  holder.Release();
  EXPECT_EQ(platform::ProbeNamedMutex("GatewayMutex", 100), platform::MutexProbe::kAcquired);
  EXPECT_TRUE(second.Acquire("GatewayMutex", 0));
}

TEST_F(NamedMutexTest, ALinkOrAFolderInPlaceOfTheLockFileIsRefused) {
  const std::string target = dir_ + "/elsewhere";
  std::ofstream(target).put('x');
  ASSERT_EQ(symlink(target.c_str(), (dir_ + "/GatewayMutex.lock").c_str()), 0);
  ASSERT_EQ(mkdir((dir_ + "/ClearslateMutex.lock").c_str(), 0700), 0);
  for (const char* name : {"GatewayMutex", "ClearslateMutex"}) {
    EXPECT_EQ(platform::ProbeNamedMutex(name, 100), platform::MutexProbe::kFailed) << name;
    platform::NamedMutexHolder holder;
    EXPECT_FALSE(holder.Acquire(name)) << name;
    EXPECT_FALSE(holder.IsHeld());
  }
}

}  // namespace
