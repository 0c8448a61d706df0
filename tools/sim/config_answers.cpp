#include "tools/sim/config_answers.h"

#include <algorithm>
#include <vector>

namespace {

// Filler of the configuration record that no reader interprets: distinct small
// numbers, so a reader that slips by a field reads visibly wrong values.
constexpr uint8_t kLeadingBytes[5] = {1, 2, 3, 4, 5};
constexpr int32_t kNumberAfterBytes = 8;
constexpr uint8_t kTrailingBytes[8] = {9, 10, 11, 12, 13, 14, 15, 16};
constexpr int32_t kNumberBeforeLast = 100;
constexpr int32_t kLastNumber = 18;

int32_t AsInt(uint32_t value) { return static_cast<int32_t>(value); }

bool WriteEntry(const SimConfigEntry& entry, CZkMSG* answer) {
  const uint8_t bytes[8] = {entry.nameIndex, entry.byte3, entry.byte4, entry.byte5, entry.byte6, entry.byte7,
                            static_cast<uint8_t>(entry.word8), static_cast<uint8_t>(entry.word8 >> 8)};
  return answer->WriteInt(AsInt(entry.number)) && answer->WriteBytes(bytes, sizeof bytes);
}

bool WriteColor(const SimNamedColor& color, CZkMSG* answer) {
  return answer->WriteString(color.name) && answer->WriteInt(color.red) && answer->WriteInt(color.green) &&
         answer->WriteInt(color.blue);
}

bool WriteNames(const std::vector<std::string>& names, CZkMSG* answer) {
  if (!answer->WriteInt(AsInt(static_cast<uint32_t>(names.size())))) return false;
  for (const std::string& name : names) {
    if (!answer->WriteString(name)) return false;
  }
  return true;
}

bool WriteByteArray(const std::vector<uint8_t>& bytes, CZkMSG* answer) {
  return answer->WriteInt(AsInt(static_cast<uint32_t>(bytes.size()))) &&
         (bytes.empty() || answer->WriteBytes(bytes.data(), static_cast<int32_t>(bytes.size())));
}

}  // namespace

std::string StandardName(uint32_t index) { return "Standard " + std::to_string(index); }

bool WriteControllerConfig(const SimConfig& config, uint32_t controllerIndex, CZkMSG* answer) {
  const uint8_t head[8] = {kLeadingBytes[0], kLeadingBytes[1], kLeadingBytes[2], kLeadingBytes[3],
                           kLeadingBytes[4], config.typeInConfigAnswer, config.configByte8, config.configByte9};
  if (!answer->WriteInt(AsInt(controllerIndex)) || !answer->WriteBytes(head, sizeof head) ||
      !answer->WriteInt(kNumberAfterBytes) || !answer->WriteString(config.firstText) ||
      !answer->WriteInt(AsInt(static_cast<uint32_t>(config.entries.size())))) {
    return false;
  }
  for (const SimConfigEntry& entry : config.entries) {
    if (!WriteEntry(entry, answer)) return false;
  }
  if (!answer->WriteString(config.secondText) ||
      !answer->WriteInt(AsInt(static_cast<uint32_t>(config.namedColors.size())))) {
    return false;
  }
  for (const SimNamedColor& color : config.namedColors) {
    if (!WriteColor(color, answer)) return false;
  }
  return answer->WriteBytes(kTrailingBytes, sizeof kTrailingBytes) && answer->WriteInt(kNumberBeforeLast) &&
         answer->WriteInt(kLastNumber);
}

bool WriteStandardNameCount(const SimConfig& config, CZkMSG* answer) {
  return answer->WriteInt(AsInt(config.standardNameCount));
}

bool WriteStandardNames(const SimConfig& config, uint32_t first, uint32_t count, bool shortChunk,
                        CZkMSG* answer) {
  const uint32_t available = first < config.standardNameCount ? config.standardNameCount - first : 0;
  uint32_t returned = std::min({count, available, kMaxNamesPerChunk});
  if (shortChunk && returned > 0) --returned;
  std::vector<std::string> names;
  for (uint32_t i = 0; i < returned; ++i) names.push_back(StandardName(first + i));
  return WriteNames(names, answer);
}

bool WriteCustomNames(const SimConfig& config, CZkMSG* answer) { return WriteNames(config.customNames, answer); }

bool WriteNamedValues(const SimConfig& config, CZkMSG* answer) {
  if (!answer->WriteInt(AsInt(static_cast<uint32_t>(config.namedValues.size())))) return false;
  for (const SimNamedValue& named : config.namedValues) {
    if (!answer->WriteInt(AsInt(named.value)) || !answer->WriteString(named.name)) return false;
  }
  return true;
}

bool WriteControllerDetails(const SimConfig& config, CZkMSG* answer) {
  const int32_t typeField = config.typeInDetailsAnswer | config.detailsByte8 << 8;
  if (!answer->WriteInt(typeField) || !answer->WriteInt(config.detailsByte9)) return false;
  for (size_t i = 0; i < config.byteArrays.size(); ++i) {
    const bool oversize = static_cast<int>(i) == config.faults.oversizeByteArrayIndex;
    const std::vector<uint8_t> bytes = oversize ? std::vector<uint8_t>(kOversizeByteArray) : config.byteArrays[i];
    if (!WriteByteArray(bytes, answer)) return false;
  }
  return true;
}
