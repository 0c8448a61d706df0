#include "protocol/cipher.h"

#include <algorithm>

namespace {

// ---- GF(2^8) arithmetic and the tables derived from it ----------------------
// Built at compile time from the field's definition (reduction polynomial
// x^8 + x^4 + x^3 + x + 1) rather than typed out, so no entry can be mistyped.

constexpr uint8_t XTime(uint8_t x) {
  return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) != 0 ? 0x1b : 0x00));
}

constexpr uint8_t Multiply(uint8_t a, uint8_t b) {
  uint8_t product = 0;
  while (b != 0) {
    if ((b & 1) != 0) product ^= a;
    a = XTime(a);
    b = static_cast<uint8_t>(b >> 1);
  }
  return product;
}

constexpr uint8_t RotateLeft8(uint8_t x, int n) {
  return static_cast<uint8_t>((x << n) | (x >> (8 - n)));
}

constexpr uint32_t RotateRight32(uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}

constexpr uint32_t Column(uint8_t r0, uint8_t r1, uint8_t r2, uint8_t r3) {
  return (uint32_t{r0} << 24) | (uint32_t{r1} << 16) | (uint32_t{r2} << 8) |
         uint32_t{r3};
}

struct Tables {
  std::array<uint8_t, 256> sbox{};
  std::array<uint8_t, 256> inverseSbox{};
  // encrypt[k][x]: SubBytes then MixColumns of byte x standing in row k of a
  // column; decrypt[k][x] the same for InvSubBytes then InvMixColumns.
  std::array<std::array<uint32_t, 256>, 4> encrypt{};
  std::array<std::array<uint32_t, 256>, 4> decrypt{};
};

// Multiplicative inverse through powers of the generator 3 (0 maps to 0).
constexpr std::array<uint8_t, 256> InverseTable() {
  std::array<uint8_t, 256> power{};
  std::array<uint8_t, 256> logarithm{};
  uint8_t x = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = x;
    logarithm[x] = static_cast<uint8_t>(i);
    x = Multiply(x, 3);
  }
  std::array<uint8_t, 256> inverse{};
  for (int v = 1; v < 256; ++v) inverse[v] = power[(255 - logarithm[v]) % 255];
  return inverse;
}

constexpr Tables BuildTables() {
  Tables t;
  const std::array<uint8_t, 256> inverse = InverseTable();
  for (int v = 0; v < 256; ++v) {
    const uint8_t b = inverse[v];
    const uint8_t s = static_cast<uint8_t>(b ^ RotateLeft8(b, 1) ^ RotateLeft8(b, 2) ^
                                           RotateLeft8(b, 3) ^ RotateLeft8(b, 4) ^ 0x63);
    t.sbox[v] = s;
    t.inverseSbox[s] = static_cast<uint8_t>(v);
  }
  for (int v = 0; v < 256; ++v) {
    const uint8_t s = t.sbox[v];
    const uint8_t i = t.inverseSbox[v];
    const uint32_t enc = Column(Multiply(s, 2), s, s, Multiply(s, 3));
    const uint32_t dec = Column(Multiply(i, 14), Multiply(i, 9), Multiply(i, 13), Multiply(i, 11));
    for (int k = 0; k < 4; ++k) {
      t.encrypt[k][v] = k == 0 ? enc : RotateRight32(enc, 8 * k);
      t.decrypt[k][v] = k == 0 ? dec : RotateRight32(dec, 8 * k);
    }
  }
  return t;
}

constexpr Tables kTables = BuildTables();

// Spot checks against the published S-box, so a slip in the derivation stops
// the build instead of producing a cipher that merely round-trips.
static_assert(kTables.sbox[0x00] == 0x63 && kTables.sbox[0x01] == 0x7c &&
              kTables.sbox[0x53] == 0xed && kTables.sbox[0xff] == 0x16);
static_assert(kTables.inverseSbox[0x63] == 0x00 && kTables.inverseSbox[0x16] == 0xff);
static_assert(kTables.encrypt[0][0x00] == 0xc66363a5u);
static_assert(kTables.decrypt[0][0x00] == 0x51f4a750u);

// ---- helpers on 32-bit columns ----------------------------------------------

constexpr uint8_t Byte(uint32_t w, int row) {
  return static_cast<uint8_t>(w >> (24 - 8 * row));
}

uint32_t LoadColumn(const uint8_t* p) { return Column(p[0], p[1], p[2], p[3]); }

void StoreColumn(uint32_t w, uint8_t* p) {
  for (int row = 0; row < 4; ++row) p[row] = Byte(w, row);
}

uint32_t SubWord(uint32_t w) {
  return Column(kTables.sbox[Byte(w, 0)], kTables.sbox[Byte(w, 1)],
                kTables.sbox[Byte(w, 2)], kTables.sbox[Byte(w, 3)]);
}

// InvMixColumns alone: the decryption tables include InvSubBytes, which the
// S-box applied first cancels.
uint32_t InverseMixColumn(uint32_t w) {
  uint32_t result = 0;
  for (int row = 0; row < 4; ++row) result ^= kTables.decrypt[row][kTables.sbox[Byte(w, row)]];
  return result;
}

// How far rows 1..3 shift in ShiftRows; only the 32-byte block differs.
struct ShiftOffsets {
  int row[4];
};

ShiftOffsets OffsetsFor(int columns) {
  if (columns == 8) return {{0, 1, 3, 4}};
  return {{0, 1, 2, 3}};
}

bool IsAllowedLength(int bytes) { return bytes == 16 || bytes == 24 || bytes == 32; }

// Keeps the compiler from dropping the wipe of memory that is about to die.
void SecureZero(void* p, size_t n) {
  volatile uint8_t* bytes = static_cast<volatile uint8_t*>(p);
  for (size_t i = 0; i < n; ++i) bytes[i] = 0;
}

}  // namespace

CZkCode::~CZkCode() { Wipe(); }

void CZkCode::Wipe() {
  SecureZero(encryptionKeys_, sizeof encryptionKeys_);
  SecureZero(decryptionKeys_, sizeof decryptionKeys_);
  SecureZero(initialChain_, sizeof initialChain_);
  SecureZero(chain_, sizeof chain_);
  initialised_ = false;
  keyLength_ = blockLength_ = columns_ = rounds_ = 0;
}

bool CZkCode::MakeKey(const uint8_t* key, const uint8_t* chainBlock, int keyLength,
                      int blockLength) {
  Wipe();
  if (key == nullptr || !IsAllowedLength(keyLength) || !IsAllowedLength(blockLength))
    return false;
  keyLength_ = keyLength;
  blockLength_ = blockLength;
  columns_ = blockLength / 4;
  rounds_ = 6 + std::max(keyLength / 4, columns_);
  ExpandEncryptionKey(key);
  DeriveDecryptionKey();
  if (chainBlock != nullptr) std::copy(chainBlock, chainBlock + blockLength, initialChain_);
  std::copy(initialChain_, initialChain_ + blockLength, chain_);
  initialised_ = true;
  return true;
}

// The Rijndael key expansion, general in key and block length: the schedule is
// one run of words, cut into round keys of columns_ words each.
void CZkCode::ExpandEncryptionKey(const uint8_t* key) {
  const int keyWords = keyLength_ / 4;
  const int totalWords = columns_ * (rounds_ + 1);
  for (int i = 0; i < keyWords; ++i) encryptionKeys_[i] = LoadColumn(key + 4 * i);
  uint8_t roundConstant = 1;
  for (int i = keyWords; i < totalWords; ++i) {
    uint32_t temp = encryptionKeys_[i - 1];
    if (i % keyWords == 0) {
      temp = SubWord((temp << 8) | (temp >> 24)) ^ (uint32_t{roundConstant} << 24);
      roundConstant = XTime(roundConstant);
    } else if (keyWords > 6 && i % keyWords == 4) {
      temp = SubWord(temp);
    }
    encryptionKeys_[i] = encryptionKeys_[i - keyWords] ^ temp;
  }
}

// The equivalent inverse cipher: round keys in reverse order, InvMixColumns
// applied to all but the first and last so decryption has the same shape as
// encryption and can use the decryption tables.
void CZkCode::DeriveDecryptionKey() {
  for (int round = 0; round <= rounds_; ++round) {
    const uint32_t* from = encryptionKeys_ + (rounds_ - round) * columns_;
    uint32_t* to = decryptionKeys_ + round * columns_;
    const bool outer = round == 0 || round == rounds_;
    for (int c = 0; c < columns_; ++c) to[c] = outer ? from[c] : InverseMixColumn(from[c]);
  }
}

bool CZkCode::EncryptBlock(const uint8_t* in, uint8_t* out) const {
  if (!initialised_ || in == nullptr || out == nullptr) return false;
  const ShiftOffsets shift = OffsetsFor(columns_);
  const uint32_t* roundKey = encryptionKeys_;
  uint32_t state[kMaxColumns];
  uint32_t next[kMaxColumns];
  for (int c = 0; c < columns_; ++c) state[c] = LoadColumn(in + 4 * c) ^ roundKey[c];
  for (int round = 1; round < rounds_; ++round) {
    roundKey += columns_;
    for (int c = 0; c < columns_; ++c) {
      uint32_t w = roundKey[c];
      for (int row = 0; row < 4; ++row)
        w ^= kTables.encrypt[row][Byte(state[(c + shift.row[row]) % columns_], row)];
      next[c] = w;
    }
    std::copy(next, next + columns_, state);
  }
  roundKey += columns_;
  for (int c = 0; c < columns_; ++c) {
    uint8_t b[4];
    for (int row = 0; row < 4; ++row)
      b[row] = kTables.sbox[Byte(state[(c + shift.row[row]) % columns_], row)];
    StoreColumn(Column(b[0], b[1], b[2], b[3]) ^ roundKey[c], out + 4 * c);
  }
  SecureZero(state, sizeof state);
  SecureZero(next, sizeof next);
  return true;
}

bool CZkCode::DecryptBlock(const uint8_t* in, uint8_t* out) const {
  if (!initialised_ || in == nullptr || out == nullptr) return false;
  const ShiftOffsets shift = OffsetsFor(columns_);
  const uint32_t* roundKey = decryptionKeys_;
  uint32_t state[kMaxColumns];
  uint32_t next[kMaxColumns];
  for (int c = 0; c < columns_; ++c) state[c] = LoadColumn(in + 4 * c) ^ roundKey[c];
  for (int round = 1; round < rounds_; ++round) {
    roundKey += columns_;
    for (int c = 0; c < columns_; ++c) {
      uint32_t w = roundKey[c];
      for (int row = 0; row < 4; ++row)
        w ^= kTables.decrypt[row][Byte(state[(c + columns_ - shift.row[row]) % columns_], row)];
      next[c] = w;
    }
    std::copy(next, next + columns_, state);
  }
  roundKey += columns_;
  for (int c = 0; c < columns_; ++c) {
    uint8_t b[4];
    for (int row = 0; row < 4; ++row)
      b[row] = kTables.inverseSbox[Byte(state[(c + columns_ - shift.row[row]) % columns_], row)];
    StoreColumn(Column(b[0], b[1], b[2], b[3]) ^ roundKey[c], out + 4 * c);
  }
  SecureZero(state, sizeof state);
  SecureZero(next, sizeof next);
  return true;
}

std::vector<uint8_t> PadToBlocks(const std::string& text, uint8_t fill) {
  constexpr size_t kBlock = 16;
  const size_t size = std::max(kBlock, (text.size() + kBlock - 1) / kBlock * kBlock);
  std::vector<uint8_t> padded(size, fill);
  std::copy(text.begin(), text.end(), padded.begin());
  return padded;
}

std::array<uint8_t, 16> LoginResponse(const std::string& challenge,
                                      const std::string& password) {
  std::vector<uint8_t> key = PadToBlocks(password, 0);
  const std::vector<uint8_t> plain = PadToBlocks(challenge, 0);
  const uint8_t zeroChain[16] = {};
  std::array<uint8_t, 16> response{};
  CZkCode cipher;
  // Cannot fail: the lengths are fixed and both buffers hold at least 16 bytes.
  cipher.MakeKey(key.data(), zeroChain, 16, 16);
  cipher.EncryptBlock(plain.data(), response.data());
  SecureZero(key.data(), key.size());
  return response;
}
