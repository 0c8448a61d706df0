#include "protocol/cipher.h"

#include <gtest/gtest.h>

#include <ostream>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::string ToHex(const uint8_t* bytes, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < n; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0f];
  }
  return hex;
}

// Key 00 01 02 ...; plaintext 00 11 22 ... ff 10 21 ... (byte i is i * 0x11).
// For the 16-byte block these are the published AES examples; the wider blocks
// were cross-checked against an independent Rijndael implementation.
struct KnownAnswer {
  int keyLength;
  int blockLength;
  const char* cipherHex;
};
void PrintTo(const KnownAnswer& c, std::ostream* out) { *out << c.keyLength << "/" << c.blockLength; }

const KnownAnswer kKnownAnswers[] = {
    {16, 16, "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {24, 16, "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {32, 16, "8ea2b7ca516745bfeafc49904b496089"},
    {16, 24, "e64018d211d8349b350f38893d7d23899fece7a9aca7c6ba"},
    {24, 24, "78be2d48f76d71da6966f3a175fb71ad66b70b2076c3cf1d"},
    {32, 24, "65d851df8d04b5cbb510935fdd1eb17b33efb8cb255ee712"},
    {16, 32, "98c6f98ba9631b91c34f431e0887c561b6ac44c985cecd38dbc4cb30b9170d2f"},
    {24, 32, "3c386395e910345a59a7dd165dcbda604bf072f0a03a6b0055a79b734e668868"},
    {32, 32, "288fa9d23d00d9dc0a39b33fa92867c6488b5e0f18a6f74c072078ec815462e6"},
};

class CipherKnownAnswerTest : public ::testing::TestWithParam<KnownAnswer> {};

TEST_P(CipherKnownAnswerTest, EncryptsToVectorAndDecryptsBack) {
  const KnownAnswer& v = GetParam();
  uint8_t key[32];
  uint8_t plain[32];
  for (int i = 0; i < 32; ++i) {
    key[i] = static_cast<uint8_t>(i);
    plain[i] = static_cast<uint8_t>(i * 0x11);
  }
  CZkCode cipher;
  ASSERT_TRUE(cipher.MakeKey(key, nullptr, v.keyLength, v.blockLength));

  uint8_t encrypted[32] = {};
  ASSERT_TRUE(cipher.EncryptBlock(plain, encrypted));
  EXPECT_EQ(ToHex(encrypted, v.blockLength), v.cipherHex);
  // Nothing past the block may be written.
  for (int i = v.blockLength; i < 32; ++i) EXPECT_EQ(encrypted[i], 0) << i;

  uint8_t decrypted[32] = {};
  ASSERT_TRUE(cipher.DecryptBlock(encrypted, decrypted));
  EXPECT_EQ(ToHex(decrypted, v.blockLength), ToHex(plain, v.blockLength));
}

INSTANTIATE_TEST_SUITE_P(AllKeyAndBlockLengths, CipherKnownAnswerTest,
                         ::testing::ValuesIn(kKnownAnswers),
                         [](const ::testing::TestParamInfo<KnownAnswer>& param) {
                           return "Key" + std::to_string(param.param.keyLength * 8) + "Block" +
                                  std::to_string(param.param.blockLength * 8);
                         });

TEST(CipherTest, ZeroKeyZeroBlock) {
  const uint8_t zeros[16] = {};
  CZkCode cipher;
  ASSERT_TRUE(cipher.MakeKey(zeros, zeros, 16, 16));
  uint8_t out[16];
  ASSERT_TRUE(cipher.EncryptBlock(zeros, out));
  EXPECT_EQ(ToHex(out, 16), "66e94bd4ef8a2c3b884cfa59ca342b2e");
  uint8_t back[16];
  ASSERT_TRUE(cipher.DecryptBlock(out, back));
  EXPECT_EQ(ToHex(back, 16), ToHex(zeros, 16));
}

TEST(CipherTest, RefusesToWorkWithoutValidKey) {
  const uint8_t key[32] = {};
  const uint8_t in[32] = {};
  uint8_t out[32];

  CZkCode fresh;
  EXPECT_FALSE(fresh.EncryptBlock(in, out));
  EXPECT_FALSE(fresh.DecryptBlock(in, out));

  CZkCode cipher;
  EXPECT_FALSE(cipher.MakeKey(nullptr, nullptr, 16, 16));
  EXPECT_FALSE(cipher.MakeKey(key, nullptr, 20, 16));
  EXPECT_FALSE(cipher.MakeKey(key, nullptr, 16, 20));
  EXPECT_FALSE(cipher.MakeKey(key, nullptr, 0, 16));
  EXPECT_FALSE(cipher.EncryptBlock(in, out));

  // A failed MakeKey must not leave the previous key usable.
  ASSERT_TRUE(cipher.MakeKey(key, nullptr, 16, 16));
  EXPECT_FALSE(cipher.EncryptBlock(nullptr, out));
  EXPECT_FALSE(cipher.EncryptBlock(in, nullptr));
  EXPECT_TRUE(cipher.EncryptBlock(in, out));
  EXPECT_FALSE(cipher.MakeKey(key, nullptr, 32, 40));
  EXPECT_FALSE(cipher.EncryptBlock(in, out));
  EXPECT_FALSE(cipher.DecryptBlock(in, out));
}

TEST(PadToBlocksTest, PadsToWholeBlocksWithFill) {
  const struct {
    size_t textLength;
    size_t paddedLength;
  } kCases[] = {{0, 16}, {1, 16}, {16, 16}, {17, 32}, {32, 32}};
  for (const auto& c : kCases) {
    std::string text;
    for (size_t i = 0; i < c.textLength; ++i) text += static_cast<char>('a' + i % 26);
    const std::vector<uint8_t> padded = PadToBlocks(text, 0xab);
    ASSERT_EQ(padded.size(), c.paddedLength) << c.textLength;
    for (size_t i = 0; i < padded.size(); ++i) {
      const uint8_t expected = i < text.size() ? static_cast<uint8_t>(text[i]) : 0xab;
      EXPECT_EQ(padded[i], expected) << c.textLength << " at " << i;
    }
  }
}

std::string ResponseHex(const std::string& challenge, const std::string& password) {
  const std::array<uint8_t, 16> r = LoginResponse(challenge, password);
  return ToHex(r.data(), r.size());
}

TEST(LoginResponseTest, KnownResponses) {
  EXPECT_EQ(ResponseHex("0123456789ABCDEF", "secret"), "c97410aca141892f318594dc1e9c6097");
  // Passwords are 8-bit text: a byte above 0x7f must enter the key unchanged.
  EXPECT_EQ(ResponseHex("0123456789ABCDEF", "caf\xe9"), "b18dfead25beb07875f82144b3024b41");
  // Empty password and challenge: the zero key and the zero block.
  EXPECT_EQ(ResponseHex("", ""), "66e94bd4ef8a2c3b884cfa59ca342b2e");
}

TEST(LoginResponseTest, OnlyFirstSixteenBytesCount) {
  const std::string challenge = "0123456789ABCDEF";
  const std::string longPassword = "abcdefghijklmnopqrst";
  EXPECT_EQ(ResponseHex(challenge, longPassword), ResponseHex(challenge, longPassword.substr(0, 16)));

  const std::string longChallenge = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcd";
  ASSERT_EQ(longChallenge.size(), 40u);
  EXPECT_EQ(ResponseHex(longChallenge, "secret"), ResponseHex(longChallenge.substr(0, 16), "secret"));
  EXPECT_EQ(ResponseHex(longChallenge, "secret"), "c97410aca141892f318594dc1e9c6097");
}

}  // namespace
