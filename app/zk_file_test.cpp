#include "app/zk_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t n) {
  Bytes bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

Bytes Slice(const Bytes& bytes, size_t from, size_t n) {
  return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(from + n));
}

void AppendInt(Bytes* bytes, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) bytes->push_back(static_cast<uint8_t>(v >> shift));
}

class ZkFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && scratch_.empty(); ++attempt) {
      fs::path candidate = fs::temp_directory_path() / ("tw_zkfile_" + std::to_string(random()));
      if (fs::create_directory(candidate)) scratch_ = candidate;
    }
    ASSERT_FALSE(scratch_.empty());
    path_ = (scratch_ / "data.bin").string();
  }
  void TearDown() override {
    std::error_code ignored;
    if (!scratch_.empty()) fs::remove_all(scratch_, ignored);
  }

  void Put(const Bytes& bytes) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  Bytes OnDisk() const {
    std::ifstream in(path_, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  fs::path scratch_;
  std::string path_;
};

TEST_F(ZkFileTest, OpenModes) {
  CZkFile file(path_);
  EXPECT_FALSE(file.Open(CZkFile::modeRead, CZkFile::shareNone));  // no file yet
  EXPECT_FALSE(file.Open(0, CZkFile::shareNone));
  EXPECT_FALSE(file.Open(4, CZkFile::shareNone));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(fs::exists(path_));

  // Append creates a missing file, then adds at the end of an existing one.
  ASSERT_TRUE(file.Open(CZkFile::modeAppend, CZkFile::shareNone));
  EXPECT_TRUE(file.Write("abc", 3));
  file.Close();
  ASSERT_TRUE(file.Open(CZkFile::modeAppend, CZkFile::shareNone));
  EXPECT_EQ(file.GetPosition(), 3);
  EXPECT_TRUE(file.Write("de", 2));
  EXPECT_EQ(file.GetPosition(), 5);
  file.Close();
  EXPECT_EQ(OnDisk(), (Bytes{'a', 'b', 'c', 'd', 'e'}));

  // Create empties it.
  ASSERT_TRUE(file.Open(CZkFile::modeCreate, CZkFile::shareNone));
  file.Close();
  EXPECT_EQ(OnDisk().size(), 0u);
  EXPECT_EQ(file.GetLength(), 0);
}

TEST_F(ZkFileTest, NoSharingKeepsASecondOpenerOut) {
  Put(Pattern(10));
  CZkFile first(path_);
  CZkFile second(path_);
  ASSERT_TRUE(first.Open(CZkFile::modeRead, CZkFile::shareNone));
  EXPECT_FALSE(second.Open(CZkFile::modeRead, CZkFile::shareNone));
  first.Close();
  EXPECT_TRUE(second.Open(CZkFile::modeRead, CZkFile::shareNone));
}

TEST_F(ZkFileTest, WritesWaitInTheBufferUntilItIsFull) {
  const Bytes data = Pattern(5000);
  CZkFile file(path_);
  ASSERT_TRUE(file.Open(CZkFile::modeCreate, CZkFile::shareNone));
  ASSERT_TRUE(file.Write(data.data(), 4999));
  EXPECT_EQ(OnDisk().size(), 0u);
  EXPECT_EQ(file.GetPosition(), 4999);
  // 4999 + 1 reaches the capacity: the waiting bytes go out, the new one waits.
  ASSERT_TRUE(file.Write(data.data() + 4999, 1));
  EXPECT_EQ(OnDisk().size(), 4999u);
  EXPECT_EQ(file.GetPosition(), 5000);
  EXPECT_EQ(file.GetLength(), 4999);
  file.Close();
  EXPECT_EQ(OnDisk(), data);
}

TEST_F(ZkFileTest, WriteLargerThanTheBufferGoesStraightOut) {
  const Bytes data = Pattern(6010);
  CZkFile file(path_);
  ASSERT_TRUE(file.Open(CZkFile::modeCreate, CZkFile::shareNone));
  ASSERT_TRUE(file.Write(data.data(), 10));
  ASSERT_TRUE(file.Write(data.data() + 10, 6000));
  EXPECT_EQ(OnDisk(), data);
  EXPECT_EQ(file.GetPosition(), 6010);
}

TEST_F(ZkFileTest, DestructorFlushes) {
  {
    CZkFile file(path_);
    ASSERT_TRUE(file.Open(CZkFile::modeCreate, CZkFile::shareNone));
    ASSERT_TRUE(file.WriteInt(7));
  }
  EXPECT_EQ(OnDisk(), (Bytes{7, 0, 0, 0}));
}

TEST_F(ZkFileTest, BufferedReadsAcrossRefills) {
  const Bytes data = Pattern(12000);
  Put(data);
  CZkFile file(path_);
  ASSERT_TRUE(file.Open(CZkFile::modeRead, CZkFile::shareNone));
  EXPECT_EQ(file.GetLength(), 12000);
  Bytes got(7000);
  ASSERT_TRUE(file.Read(got.data(), 3));
  EXPECT_EQ(Slice(got, 0, 3), Slice(data, 0, 3));
  EXPECT_EQ(file.GetPosition(), 3);
  // The buffer still holds bytes, so this large read goes through refills.
  ASSERT_TRUE(file.Read(got.data(), 7000));
  EXPECT_EQ(got, Slice(data, 3, 7000));
  EXPECT_EQ(file.GetPosition(), 7003);
  ASSERT_TRUE(file.Read(got.data(), 4997));
  EXPECT_EQ(Slice(got, 0, 4997), Slice(data, 7003, 4997));
  EXPECT_FALSE(file.Read(got.data(), 1));
}

TEST_F(ZkFileTest, LargeReadWithEmptyBufferIsDirectAndMustBeComplete) {
  const Bytes data = Pattern(11000);
  Put(data);
  CZkFile file(path_);
  ASSERT_TRUE(file.Open(CZkFile::modeRead, CZkFile::shareNone));
  Bytes got(6000);
  ASSERT_TRUE(file.Read(got.data(), 6000));
  EXPECT_EQ(got, Slice(data, 0, 6000));
  EXPECT_EQ(file.GetPosition(), 6000);
  // Only 5000 bytes remain: a short direct read is a failure, not a success.
  EXPECT_FALSE(file.Read(got.data(), 6000));
}

TEST_F(ZkFileTest, ReadExactTakesTheBufferThenTheFile) {
  const Bytes data = Pattern(8000);
  Put(data);
  CZkFile file(path_);
  ASSERT_TRUE(file.Open(CZkFile::modeRead, CZkFile::shareNone));
  Bytes got(7000);
  ASSERT_TRUE(file.Read(got.data(), 1));  // fetches 5000 ahead
  ASSERT_TRUE(file.ReadExact(got.data(), 7000));
  EXPECT_EQ(got, Slice(data, 1, 7000));
  EXPECT_EQ(file.GetPosition(), 7001);
  EXPECT_FALSE(file.ReadExact(got.data(), 1000));

  CZkFile closed(path_);
  EXPECT_FALSE(closed.ReadExact(got.data(), 1));
}

TEST_F(ZkFileTest, ReadsAndWritesNeedTheirMode) {
  Put(Pattern(10));
  CZkFile file(path_);
  ASSERT_TRUE(file.Open(CZkFile::modeRead, CZkFile::shareNone));
  EXPECT_FALSE(file.Write("x", 1));
  EXPECT_FALSE(file.WriteInt(1));
  ASSERT_TRUE(file.Open(CZkFile::modeAppend, CZkFile::shareNone));
  int32_t value = 0;
  EXPECT_FALSE(file.ReadInt(&value));
  file.Close();
  EXPECT_FALSE(file.Write("x", 1));
  EXPECT_EQ(OnDisk(), Pattern(10));
}

TEST_F(ZkFileTest, IntegersAndTextsAreLittleEndianAndLengthPrefixed) {
  CZkFile file(path_);
  ASSERT_TRUE(file.Open(CZkFile::modeCreate, CZkFile::shareNone));
  ASSERT_TRUE(file.WriteInt(0x01020304));
  ASSERT_TRUE(file.WriteInt(-2));
  ASSERT_TRUE(file.WriteString("ab\xE9"));
  ASSERT_TRUE(file.WriteString(""));
  file.Close();
  EXPECT_EQ(OnDisk(), (Bytes{4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 'a', 'b', 0xE9,
                             0, 0, 0, 0}));

  ASSERT_TRUE(file.Open(CZkFile::modeRead, CZkFile::shareNone));
  int32_t a = 0, b = 0;
  std::string text, empty = "x";
  ASSERT_TRUE(file.ReadInt(&a));
  ASSERT_TRUE(file.ReadInt(&b));
  ASSERT_TRUE(file.ReadString(&text));
  ASSERT_TRUE(file.ReadString(&empty));
  EXPECT_EQ(a, 0x01020304);
  EXPECT_EQ(b, -2);
  EXPECT_EQ(text, "ab\xE9");
  EXPECT_EQ(empty, "");
  int32_t untouched = 99;
  EXPECT_FALSE(file.ReadInt(&untouched));
  EXPECT_EQ(untouched, 99);
}

TEST_F(ZkFileTest, Utf16TextBecomesSingleByte) {
  Bytes bytes;
  // "A", U+00E9, U+20AC and an odd last byte: 7 bytes, 3 characters.
  AppendInt(&bytes, 0x80000000u | 7);
  for (uint8_t b : {0x41, 0x00, 0xE9, 0x00, 0xAC, 0x20, 0x55}) bytes.push_back(b);
  AppendInt(&bytes, 42);
  Put(bytes);
  CZkFile file(path_);
  ASSERT_TRUE(file.Open(CZkFile::modeRead, CZkFile::shareNone));
  std::string text;
  ASSERT_TRUE(file.ReadString(&text));
  EXPECT_EQ(text, "A\xE9?");
  int32_t next = 0;
  ASSERT_TRUE(file.ReadInt(&next));
  EXPECT_EQ(next, 42);
}

// A damaged length must neither allocate what it claims nor let the next field be
// read out of the middle of the characters.
TEST_F(ZkFileTest, LengthBeyondTheFileIsRefused) {
  for (uint32_t length : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x80000000u | 20, 13u}) {
    Bytes bytes;
    AppendInt(&bytes, length);
    AppendInt(&bytes, 5);
    AppendInt(&bytes, 6);
    AppendInt(&bytes, 7);
    Put(bytes);
    CZkFile file(path_);
    ASSERT_TRUE(file.Open(CZkFile::modeRead, CZkFile::shareNone));
    std::string text = "unchanged";
    EXPECT_FALSE(file.ReadString(&text)) << length;
    EXPECT_EQ(text, "unchanged");
    int32_t next = -1;
    EXPECT_FALSE(file.ReadInt(&next));
    EXPECT_EQ(next, -1);
  }
}

TEST_F(ZkFileTest, TextThatExactlyFillsTheFileIsRead) {
  Bytes bytes;
  AppendInt(&bytes, 12);
  for (char c : std::string("twelve bytes")) bytes.push_back(static_cast<uint8_t>(c));
  Put(bytes);
  CZkFile file(path_);
  ASSERT_TRUE(file.Open(CZkFile::modeRead, CZkFile::shareNone));
  std::string text;
  ASSERT_TRUE(file.ReadString(&text));
  EXPECT_EQ(text, "twelve bytes");
}

TEST_F(ZkFileTest, LengthOfAClosedFile) {
  CZkFile missing(path_);
  EXPECT_EQ(missing.GetLength(), 0);
  Put(Pattern(123));
  EXPECT_EQ(missing.GetLength(), 123);
}

}  // namespace
