// The controller's configuration, read from the connected system through a fixed
// series of request/answer exchanges. The launch only looks at the controller type
// (a stand-alone chemistry controller and the Solvarin model are refused), but
// everything read is kept, so the object owns the whole record, its name tables and
// the ten byte arrays of the details answer.
//
// Exchanges, in order (request code, request payload -> answer payload; all u32):
//   12532  index, 1           -> the configuration record (ReadConfigAnswer)
//   12558  0                  -> total number of standard names
//   12561  0, first, count    -> count returned, then that many strings (<= 25 asked)
//   12562  0                  -> count, then that many custom name strings
//   12510  0                  -> count, then pairs of u32 value, string name
//   12566  index              -> u32 type/byte 8, u32 byte 9, ten byte arrays
// A byte array is a u32 count of at most 1000, the bytes, then padding to a
// multiple of 4.
//
// Every count comes from the system, so none of them sizes an allocation or a loop
// by itself: lists grow one read item at a time and stop at the first failed read.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CZkMSG;

// One entry of the configuration record. On the wire: u32 number, u8 nameIndex,
// u8 byte 3, u8 byte 4 (low 6 bits, top 2 bits), u8 byte 5 (low and high half),
// u8 byte 6, u8 byte 7, u16 word 8: 12 bytes.
struct ConfigEntry {
  std::string name;  // assigned after all exchanges from nameIndex
  uint32_t number = 0;
  uint8_t nameIndex = 0;
  uint8_t byte3 = 0;
  uint8_t byte4Low = 0;   // & 0x3F
  uint8_t byte4High = 0;  // >> 6
  uint8_t byte5Low = 0;   // & 0x0F
  uint8_t byte5High = 0;  // >> 4
  uint8_t byte6 = 0;
  uint8_t byte7 = 0;
  uint16_t word8 = 0;
};

// A name and a colour 0x00BBGGRR; on the wire a string and three u32 whose low
// bytes are red, green and blue.
struct NamedColor {
  std::string name;
  uint32_t value = 0;
};

// On the wire a u32 value, then the name string.
struct NamedValue {
  std::string name;
  uint32_t value = 0;
};

// The fixed fields of the configuration record. Their meaning is the controller's
// business; they are kept as read and named after their place in the answer.
struct ControllerConfigFields {
  uint32_t number1 = 0xFFFFFFFF;   // u32, order 1
  std::array<uint8_t, 4> bytes2To5{};  // 4 x u8, orders 2-5
  uint8_t byte6 = 0;                // u8, order 6 (order 7 is the controller type)
  uint8_t byte8 = 0;                // u8, order 8; replaced by the details answer
  uint8_t byte9 = 0;                // u8, order 9; replaced by the details answer
  uint32_t number10 = 0;            // u32, order 10
  std::string firstText = "General";  // string, order 11 (entries are order 12)
  std::string secondText;           // string, order 13 (named colours are order 14)
  std::array<uint8_t, 8> bytes15{};  // 8 x u8, order 15
  uint32_t number16 = 127;          // u32, order 16
  uint32_t number17 = 0;            // u32, order 17
};

// How the configuration reaches the system: one request out, its answer back.
// The answer is null when none came in time or it carried another code, and it
// stays valid until the next Ask. The launcher asks through CZkQuery on
// theServer; tests and the fuzz harness script the answers.
class ConfigExchange {
 public:
  virtual ~ConfigExchange() = default;
  virtual CZkMSG* Ask(CZkMSG* request) = 0;
};

class CPoolConfig {
 public:
  static constexpr uint8_t kStandaloneChemistryType = 252;  // refused by the launch
  static constexpr uint8_t kSolvarinType = 10;              // refused by the launch
  // 10, 13 and 14 are one family of controller models; only these two are taken.
  static constexpr uint8_t kFamilyType13 = 13;
  static constexpr uint8_t kFamilyType14 = 14;

  static constexpr int kByteArrayCount = 10;
  static constexpr int32_t kMaxByteArraySize = 1000;
  static constexpr int32_t kStandardNamesPerRequest = 25;
  // Entries name a standard name by an 8-bit index, so only the first 256 can ever
  // be used. This bound keeps a system that announces a huge total from holding
  // the launch in an endless series of requests (at most 164 of them).
  static constexpr int32_t kMaxStandardNames = 4096;

  // Performs every exchange over theServer's connection, in order, on this thread.
  // Never fails as such: a missing answer ends the reading and what was read stays.
  explicit CPoolConfig(uint32_t controllerIndex);
  CPoolConfig(uint32_t controllerIndex, ConfigExchange& exchange);
  virtual ~CPoolConfig();
  CPoolConfig(const CPoolConfig&) = delete;
  CPoolConfig& operator=(const CPoolConfig&) = delete;

  uint32_t GetControllerIndex() const { return controllerIndex_; }
  // 0 when the configuration could not be read.
  uint8_t GetControllerType() const { return controllerType_; }
  // The configuration record was answered and read.
  bool IsLoaded() const { return loaded_; }
  bool IsSupportedFamilyType() const {
    return controllerType_ == kFamilyType13 || controllerType_ == kFamilyType14;
  }

  const ControllerConfigFields& GetFields() const { return fields_; }
  const std::vector<ConfigEntry>& GetEntries() const { return entries_; }
  const std::vector<NamedColor>& GetNamedColors() const { return namedColors_; }
  const std::vector<std::string>& GetStandardNames() const { return standardNames_; }
  const std::vector<std::string>& GetCustomNames() const { return customNames_; }
  const std::vector<NamedValue>& GetNamedValues() const { return namedValues_; }
  const std::array<std::vector<uint8_t>, kByteArrayCount>& GetByteArrays() const { return byteArrays_; }

 private:
  void Load(ConfigExchange& exchange);
  void ReadConfigAnswer(CZkMSG& answer);
  void LoadFollowUpTables(ConfigExchange& exchange);
  bool LoadStandardNames(ConfigExchange& exchange);
  bool ReadNameList(ConfigExchange& exchange, uint16_t code, std::vector<std::string>* names);
  void LoadNamedValues(ConfigExchange& exchange);
  void LoadDetails(ConfigExchange& exchange);
  void ReadDetailsAnswer(CZkMSG& answer);
  void AssignEntryNames();

  uint32_t controllerIndex_;
  bool loaded_ = false;
  uint8_t controllerType_ = 0;
  ControllerConfigFields fields_;
  std::vector<ConfigEntry> entries_;
  std::vector<NamedColor> namedColors_;
  std::vector<std::string> standardNames_;
  std::vector<std::string> customNames_;
  std::vector<NamedValue> namedValues_;
  std::array<std::vector<uint8_t>, kByteArrayCount> byteArrays_;
};

// Reads one byte array: u32 count (at most 1000), the bytes, the padding to a
// multiple of 4. False on a larger count or any short read; *bytes is then
// unchanged.
bool ReadByteArray(CZkMSG& message, std::vector<uint8_t>* bytes);
