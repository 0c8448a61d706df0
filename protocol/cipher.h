// The login cipher. A system lets a connection in only after the launcher
// returns its challenge text encrypted with AES-128 under a key made from the
// password, so the password itself never travels. CZkCode is a complete
// Rijndael: 16, 24 or 32-byte keys and 16, 24 or 32-byte blocks (AES is the
// 16-byte-block member), with both key schedules built by MakeKey. The login
// only ever uses a 16-byte key and a 16-byte block, in one block, no chaining.
//
// Bytes map to the state column by column: input bytes 4c..4c+3 are column c,
// rows 0..3, as in the algorithm's definition.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CZkCode {
 public:
  static constexpr int kMaxBlockBytes = 32;
  static constexpr int kMaxRounds = 14;  // 6 + 32 / 4

  CZkCode() = default;
  virtual ~CZkCode();
  // Key material stays in one object; copies would only spread it.
  CZkCode(const CZkCode&) = delete;
  CZkCode& operator=(const CZkCode&) = delete;

  // Builds the encryption and decryption round keys. keyLength and blockLength
  // are in bytes (16, 24 or 32); chainBlock holds blockLength bytes, or is null
  // for zeros. Fails, leaving the object unusable, when key is null or a length
  // is not allowed.
  bool MakeKey(const uint8_t* key, const uint8_t* chainBlock, int keyLength,
               int blockLength);
  // One block of the configured block length. Fail when MakeKey has not
  // succeeded or a pointer is null.
  bool EncryptBlock(const uint8_t* in, uint8_t* out) const;
  bool DecryptBlock(const uint8_t* in, uint8_t* out) const;

 private:
  static constexpr int kMaxColumns = kMaxBlockBytes / 4;
  static constexpr int kMaxRoundKeyWords = (kMaxRounds + 1) * kMaxColumns;

  void ExpandEncryptionKey(const uint8_t* key);
  void DeriveDecryptionKey();
  void Wipe();

  bool initialised_ = false;
  int keyLength_ = 0;
  int blockLength_ = 0;
  int columns_ = 0;  // Nb: block length in 32-bit columns
  int rounds_ = 0;
  uint32_t encryptionKeys_[kMaxRoundKeyWords] = {};
  uint32_t decryptionKeys_[kMaxRoundKeyWords] = {};
  // Kept for chained modes; single-block use ignores them.
  uint8_t initialChain_[kMaxBlockBytes] = {};
  uint8_t chain_[kMaxBlockBytes] = {};
};

// The text's bytes followed by fill up to the next multiple of 16 bytes; an
// empty text still gives one full block of 16.
std::vector<uint8_t> PadToBlocks(const std::string& text, uint8_t fill);

// The 16-byte login response: AES-128 of the first 16 bytes of the
// zero-padded challenge under the first 16 bytes of the zero-padded password.
// Longer passwords and challenges are cut to 16 bytes, as the systems expect.
std::array<uint8_t, 16> LoginResponse(const std::string& challenge,
                                      const std::string& password);
