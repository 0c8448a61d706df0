#include "app/log_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace {

namespace fs = std::filesystem;

platform::LocalTime FifthOfJanuary() {
  platform::LocalTime t;
  t.year = 2024;
  t.month = 1;
  t.day = 5;
  t.hour = 7;
  t.minute = 3;
  t.second = 9;
  return t;
}

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && scratch_.empty(); ++attempt) {
      fs::path candidate = fs::temp_directory_path() / ("tw_log_" + std::to_string(random()));
      if (fs::create_directory(candidate)) scratch_ = candidate;
    }
    ASSERT_FALSE(scratch_.empty());
    path_ = (scratch_ / kLogFileName).string();
    clock_.SetNow(FifthOfJanuary());
  }
  void TearDown() override {
    std::error_code ignored;
    if (!scratch_.empty()) fs::remove_all(scratch_, ignored);
  }

  std::string OnDisk(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  platform::MovableClock clock_;
  platform::ScopedClockOverride useClock_{&clock_};
  fs::path scratch_;
  std::string path_;
};

const char kHeader[] = "01/05/2024 07:03:09 Linkwell (Quorvex: 12-34-56)\r\n\r\n";

TEST_F(LogFileTest, HeaderThenEveryLine) {
  WriteLogFile(path_, "Quorvex: 12-34-56",
               {"07:03:05 Discovery Service: 10.0.0.1", "07:03:09 Running"});
  EXPECT_EQ(OnDisk(path_), std::string(kHeader) +
                               "07:03:05 Discovery Service: 10.0.0.1\r\n"
                               "07:03:09 Running\r\n");
}

TEST_F(LogFileTest, EachWriteReplacesTheFile) {
  std::vector<std::string> many(300, std::string(40, 'x'));  // past the 5000-byte buffer
  WriteLogFile(path_, "Quorvex: 12-34-56", many);
  EXPECT_EQ(OnDisk(path_).size(), sizeof kHeader - 1 + 300 * 42);

  WriteLogFile(path_, "Quorvex: 12-34-56", {});
  EXPECT_EQ(OnDisk(path_), kHeader);
}

TEST_F(LogFileTest, UnwritableTargetIsSilent) {
  fs::create_directory(path_);  // a folder where the file should be
  WriteLogFile(path_, "Quorvex: 12-34-56", {"line"});
  EXPECT_TRUE(fs::is_directory(path_));

  const std::string inMissingFolder = (scratch_ / "missing" / kLogFileName).string();
  WriteLogFile(inMissingFolder, "Quorvex: 12-34-56", {"line"});
  EXPECT_FALSE(fs::exists(inMissingFolder));
}

TEST_F(LogFileTest, ReadOnlyLogIsKept) {
  std::ofstream(path_) << "earlier log";
  fs::permissions(path_, fs::perms::owner_read);
  WriteLogFile(path_, "Quorvex: 12-34-56", {"line"});
  EXPECT_EQ(OnDisk(path_), "earlier log");
}

TEST_F(LogFileTest, StatusLineCarriesTheTimeOfDay) {
  CZkTime time;
  EXPECT_EQ(FormatStatusLine(time, "Running"), "07:03:09 Running");
  EXPECT_EQ(FormatStatusLine(time, ""), "07:03:09 ");
}

}  // namespace
