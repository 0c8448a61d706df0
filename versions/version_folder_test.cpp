#include "versions/version_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with the fixture.
class VersionFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && scratch_.empty(); ++attempt) {
      fs::path candidate = fs::temp_directory_path() / ("tw_versions_" + std::to_string(random()));
      if (fs::create_directory(candidate)) scratch_ = candidate;
    }
    ASSERT_FALSE(scratch_.empty());
  }
  void TearDown() override {
    std::error_code ignored;
    if (!scratch_.empty()) fs::remove_all(scratch_, ignored);
  }
  std::string Base() const { return scratch_.string(); }

  fs::path scratch_;
};

TEST_F(VersionFolderTest, CreatesOnceAndAcceptsItAgain) {
  EXPECT_TRUE(CreateVersionFolder(Base(), "5_2_738_0"));
  EXPECT_TRUE(fs::is_directory(scratch_ / "5_2_738_0"));
  EXPECT_TRUE(CreateVersionFolder(Base(), "5_2_738_0"));
}

TEST_F(VersionFolderTest, FileOfThatNameCountsAsSuccess) {
  std::ofstream(scratch_ / "5_2_738_0") << "not a folder";
  EXPECT_TRUE(CreateVersionFolder(Base(), "5_2_738_0"));
  EXPECT_TRUE(fs::is_regular_file(scratch_ / "5_2_738_0"));
}

TEST_F(VersionFolderTest, MissingParentFails) {
  EXPECT_FALSE(CreateVersionFolder(Base() + "/missing", "5_2_738_0"));
  EXPECT_FALSE(fs::exists(scratch_ / "missing"));
}

}  // namespace
