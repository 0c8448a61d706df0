// The payloads of the controller configuration answers, written item by item into
// an answer message. Wire forms: u8/u16/u32 little-endian, strings and byte blocks
// as CZkMSG writes them.
//
// ControllerConfigAnswer (12533):
//   u32 controllerIndex | u8 1, 2, 3, 4 | u8 5 | u8 type | u8 byte8 | u8 byte9 |
//   u32 8 | string firstText | u32 N, N x entry | string secondText |
//   u32 M, M x (string name, u32 red, u32 green, u32 blue) | u8 9..16 | u32 100 | u32 18
//   entry: u32 number, u8 nameIndex, u8 byte3, u8 byte4, u8 byte5, u8 byte6, u8 byte7,
//          u16 word8
// StandardNameCountAnswer (12559): u32 total
// StandardNamesAnswer (12562):     u32 count, count x string
// CustomNamesAnswer (12563):       u32 count, count x string
// NamedValuesAnswer (12511):       u32 count, count x (u32 value, string name)
// ControllerDetailsAnswer (12567): u32 type | byte8 << 8, u32 byte9,
//                                  10 x (u32 count, count bytes, zero padding to 4)
#pragma once

#include <cstdint>
#include <string>

#include "protocol/message.h"
#include "tools/sim/sim_config.h"

// A chunk never holds more names than this, whatever was asked.
constexpr uint32_t kMaxNamesPerChunk = 25;
// What an oversize byte array announces (and carries): one more than a reader takes.
constexpr uint32_t kOversizeByteArray = 1001;

std::string StandardName(uint32_t index);

// Each returns false only when the message cannot grow.
bool WriteControllerConfig(const SimConfig& config, uint32_t controllerIndex, CZkMSG* answer);
bool WriteStandardNameCount(const SimConfig& config, CZkMSG* answer);
// Names first .. first + count - 1 that exist, at most kMaxNamesPerChunk of them;
// one fewer when shortChunk is set.
bool WriteStandardNames(const SimConfig& config, uint32_t first, uint32_t count, bool shortChunk,
                        CZkMSG* answer);
bool WriteCustomNames(const SimConfig& config, CZkMSG* answer);
bool WriteNamedValues(const SimConfig& config, CZkMSG* answer);
bool WriteControllerDetails(const SimConfig& config, CZkMSG* answer);
