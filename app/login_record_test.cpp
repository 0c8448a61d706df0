#include "app/login_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

const char kSystem[] = "Quorvex: 12-34-56";

void AppendInt(Bytes* bytes, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) bytes->push_back(static_cast<uint8_t>(v >> shift));
}

void AppendText(Bytes* bytes, const std::string& text) {
  AppendInt(bytes, static_cast<uint32_t>(text.size()));
  bytes->insert(bytes->end(), text.begin(), text.end());
}

uint32_t NetworkOrder(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  const uint8_t octets[4] = {a, b, c, d};
  uint32_t address = 0;
  std::memcpy(&address, octets, sizeof address);
  return address;
}

LoginRecord Remembering() {
  LoginRecord record;
  record.systemName = kSystem;
  record.password = "pw1234";
  record.lastAddress = NetworkOrder(127, 0, 0, 1);
  record.optionsExpanded = 1;
  record.rememberLogin = 1;
  record.osdMode = 1;
  record.smallScreen = 0;
  return record;
}

// What Remembering() gives for a local launch, field by field.
Bytes RememberingBytes() {
  Bytes bytes;
  AppendText(&bytes, kSystem);
  AppendText(&bytes, "pw1234");
  AppendInt(&bytes, 1);                                       // wasLocal
  bytes.insert(bytes.end(), {0x7F, 0x00, 0x00, 0x01});        // 127.0.0.1
  for (uint32_t v : {1u, 1u, 1u, 0u, 1u}) AppendInt(&bytes, v);
  return bytes;
}

// Values a read must leave alone when their field is missing.
LoginRecord Sentinels() {
  LoginRecord record;
  record.systemName = "old name";
  record.password = "old password";
  record.lastAddress = 0xDEADBEEF;
  record.optionsExpanded = 11;
  record.rememberLogin = 12;
  record.osdMode = 13;
  record.smallScreen = 14;
  return record;
}

void ExpectSame(const LoginRecord& got, const LoginRecord& want) {
  EXPECT_EQ(got.systemName, want.systemName);
  EXPECT_EQ(got.password, want.password);
  EXPECT_EQ(got.lastAddress, want.lastAddress);
  EXPECT_EQ(got.optionsExpanded, want.optionsExpanded);
  EXPECT_EQ(got.rememberLogin, want.rememberLogin);
  EXPECT_EQ(got.osdMode, want.osdMode);
  EXPECT_EQ(got.smallScreen, want.smallScreen);
}

class LoginRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && scratch_.empty(); ++attempt) {
      fs::path candidate = fs::temp_directory_path() / ("tw_login_" + std::to_string(random()));
      if (fs::create_directory(candidate)) scratch_ = candidate;
    }
    ASSERT_FALSE(scratch_.empty());
    path_ = (scratch_ / "LOGIN.DAT").string();
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
  LoginRecord ReadBack() {
    LoginRecord record = Sentinels();
    EXPECT_TRUE(ReadLoginRecord(path_, &record));
    return record;
  }

  fs::path scratch_;
  std::string path_;
};

TEST_F(LoginRecordTest, RememberingWritesEveryFieldAndReadsBack) {
  ASSERT_TRUE(WriteLoginRecord(path_, Remembering(), true));
  Bytes bytes = OnDisk();
  EXPECT_EQ(bytes.size(), 36u + 17u + 6u);
  EXPECT_EQ(bytes, RememberingBytes());
  ExpectSame(ReadBack(), Remembering());
}

TEST_F(LoginRecordTest, RemoteLaunchRecordsWasLocalZero) {
  ASSERT_TRUE(WriteLoginRecord(path_, Remembering(), false));
  Bytes want = RememberingBytes();
  want[4 + 17 + 4 + 6] = 0;
  EXPECT_EQ(OnDisk(), want);
}

TEST_F(LoginRecordTest, NotRememberingKeepsOnlyTheSettings) {
  LoginRecord record = Remembering();
  record.rememberLogin = 0;
  record.smallScreen = 1;
  ASSERT_TRUE(WriteLoginRecord(path_, record, true));
  Bytes want;
  for (uint32_t v : {0u, 0u, 0u, 0u, 1u, 0u, 1u, 1u, 0u}) AppendInt(&want, v);
  EXPECT_EQ(OnDisk(), want);

  LoginRecord expected;
  expected.optionsExpanded = 1;
  expected.osdMode = 1;
  expected.smallScreen = 1;
  ExpectSame(ReadBack(), expected);
}

TEST_F(LoginRecordTest, AnySetRememberFlagIsWrittenAsOne) {
  LoginRecord record = Remembering();
  record.rememberLogin = 5;
  ASSERT_TRUE(WriteLoginRecord(path_, record, true));
  EXPECT_EQ(OnDisk(), RememberingBytes());
}

TEST_F(LoginRecordTest, Utf16NameIsReadAsSingleByte) {
  Bytes bytes;
  const std::string name = "Quorvex: 12-34-5\xE9";
  AppendInt(&bytes, 0x80000000u | static_cast<uint32_t>(name.size() * 2));
  for (char c : name) bytes.insert(bytes.end(), {static_cast<uint8_t>(c), 0});
  Bytes rest = RememberingBytes();
  bytes.insert(bytes.end(), rest.begin() + 4 + 17, rest.end());
  Put(bytes);

  LoginRecord want = Remembering();
  want.systemName = name;
  ExpectSame(ReadBack(), want);
}

TEST_F(LoginRecordTest, FileEndingEarlyKeepsTheFieldsBeforeTheEnd) {
  Bytes bytes = RememberingBytes();
  bytes.resize(4 + 17 + 4 + 6 + 4 + 4 + 2);  // ends inside field 5
  Put(bytes);
  LoginRecord want = Sentinels();
  want.systemName = kSystem;
  want.password = "pw1234";
  want.lastAddress = NetworkOrder(127, 0, 0, 1);
  ExpectSame(ReadBack(), want);
}

TEST_F(LoginRecordTest, FileEndingInsideTheNameKeepsEverything) {
  Bytes bytes = RememberingBytes();
  bytes.resize(4 + 10);
  Put(bytes);
  ExpectSame(ReadBack(), Sentinels());
}

TEST_F(LoginRecordTest, DamagedLengthsAreReadWithoutHarm) {
  // Field 1 claims 2 GB: nothing after it can be trusted.
  Bytes huge = RememberingBytes();
  huge[0] = 0xFF;
  huge[1] = 0xFF;
  huge[2] = 0xFF;
  huge[3] = 0x7F;
  Put(huge);
  ExpectSame(ReadBack(), Sentinels());

  // Field 2 claims more than the file holds: field 1 still counts.
  Bytes beyond = RememberingBytes();
  beyond[4 + 17] = 200;
  Put(beyond);
  LoginRecord want = Sentinels();
  want.systemName = kSystem;
  ExpectSame(ReadBack(), want);
}

TEST_F(LoginRecordTest, MissingFileLeavesTheRecordAlone) {
  LoginRecord record = Sentinels();
  EXPECT_FALSE(ReadLoginRecord(path_, &record));
  ExpectSame(record, Sentinels());
}

TEST_F(LoginRecordTest, UnwritablePathFails) {
  fs::create_directory(path_);  // a folder where the file should be
  EXPECT_FALSE(WriteLoginRecord(path_, Remembering(), true));
  EXPECT_FALSE(WriteLoginRecord((scratch_ / "missing" / "LOGIN.DAT").string(), Remembering(), true));
}

}  // namespace
