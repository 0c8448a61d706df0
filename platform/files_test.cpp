#include "platform/files.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tw-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string dir_;
};

std::string ReadAll(platform::FileHandle file) {
  std::string text;
  char buffer[64];
  int got = 0;
  while (platform::ReadFile(file, buffer, sizeof buffer, &got) && got > 0) text.append(buffer, static_cast<size_t>(got));
  return text;
}

TEST_F(FilesTest, CreateTruncatesAppendKeepsAndReadNeedsAnExistingFile) {
  EXPECT_EQ(platform::OpenFile(Path("a"), platform::FileOpenMode::kReadExisting, false), platform::kInvalidFile);
  int written = 0;
  platform::FileHandle file = platform::OpenFile(Path("a"), platform::FileOpenMode::kCreateTruncate, true);
  ASSERT_NE(file, platform::kInvalidFile);
  EXPECT_TRUE(platform::WriteFile(file, "hello", 5, &written));
  EXPECT_EQ(written, 5);
  platform::CloseFile(file);

  file = platform::OpenFile(Path("a"), platform::FileOpenMode::kOpenAppend, true);
  EXPECT_EQ(platform::FilePointer(file), 5);
  EXPECT_TRUE(platform::WriteFile(file, "!", 1, &written));
  platform::CloseFile(file);

  file = platform::OpenFile(Path("a"), platform::FileOpenMode::kReadExisting, false);
  EXPECT_EQ(platform::FileSize(file), 6);
  EXPECT_EQ(ReadAll(file), "hello!");
  platform::CloseFile(file);

  file = platform::OpenFile(Path("a"), platform::FileOpenMode::kCreateTruncate, false);
  EXPECT_EQ(platform::FileSize(file), 0);
  platform::CloseFile(file);
}

TEST_F(FilesTest, AnExclusiveOpenRefusesASecondExclusiveOpenAndIsNotEmptiedByIt) {
  platform::FileHandle first = platform::OpenFile(Path("held"), platform::FileOpenMode::kCreateTruncate, true);
  int written = 0;
  ASSERT_TRUE(platform::WriteFile(first, "kept", 4, &written));
  EXPECT_EQ(platform::OpenFile(Path("held"), platform::FileOpenMode::kCreateTruncate, true), platform::kInvalidFile);
  EXPECT_EQ(platform::FileSize(first), 4);
  platform::CloseFile(first);
  platform::FileHandle again = platform::OpenFile(Path("held"), platform::FileOpenMode::kReadExisting, true);
  EXPECT_NE(again, platform::kInvalidFile);
  platform::CloseFile(again);
}

// Root may write anything; a file without write permission must still be left
// alone, by either writing mode, and stay readable.
TEST_F(FilesTest, AReadOnlyFileIsNotOpenedForWriting) {
  std::ofstream(Path("ro")) << "kept";
  fs::permissions(Path("ro"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(platform::OpenFile(Path("ro"), platform::FileOpenMode::kCreateTruncate, true), platform::kInvalidFile);
  EXPECT_EQ(platform::OpenFile(Path("ro"), platform::FileOpenMode::kOpenAppend, false), platform::kInvalidFile);
  platform::FileHandle file = platform::OpenFile(Path("ro"), platform::FileOpenMode::kReadExisting, true);
  ASSERT_NE(file, platform::kInvalidFile);
  EXPECT_EQ(ReadAll(file), "kept");
  platform::CloseFile(file);
}

TEST_F(FilesTest, AFolderIsNotOpenedAsAFile) {
  fs::create_directory(Path("dir"));
  EXPECT_EQ(platform::OpenFile(Path("dir"), platform::FileOpenMode::kReadExisting, false), platform::kInvalidFile);
}

TEST_F(FilesTest, DescriptorsAreCloseOnExec) {
  platform::FileHandle file = platform::OpenFile(Path("c"), platform::FileOpenMode::kCreateTruncate, false);
  EXPECT_NE(fcntl(file, F_GETFD) & FD_CLOEXEC, 0);
  platform::CloseFile(file);
}

TEST_F(FilesTest, MoveRefusesToReplaceAnExistingTarget) {
  std::ofstream(Path("from")) << "x";
  std::ofstream(Path("taken")) << "y";
  EXPECT_FALSE(platform::MoveFile(Path("from"), Path("taken")));
  EXPECT_TRUE(platform::PathExists(Path("from")));
  EXPECT_TRUE(platform::MoveFile(Path("from"), Path("to")));
  EXPECT_FALSE(platform::PathExists(Path("from")));
  EXPECT_TRUE(platform::PathExists(Path("to")));
  EXPECT_FALSE(platform::MoveFile(Path("missing"), Path("other")));
}

TEST_F(FilesTest, CreateFolderTellsCreatedExistingAndFailed) {
  EXPECT_EQ(platform::CreateFolder(Path("v")), platform::CreateFolderResult::kCreated);
  EXPECT_EQ(platform::CreateFolder(Path("v")), platform::CreateFolderResult::kAlreadyExists);
  std::ofstream(Path("file")) << "x";
  EXPECT_EQ(platform::CreateFolder(Path("file")), platform::CreateFolderResult::kAlreadyExists);
  EXPECT_EQ(platform::CreateFolder(Path("no/parent")), platform::CreateFolderResult::kFailed);
}

TEST(ProgramFolderTest, IsTheFolderOfThisExecutable) {
  const std::string folder = GetProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_TRUE(fs::exists(folder + "/platform_tests"));
}

}  // namespace
