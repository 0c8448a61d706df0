// Every message code the launcher sends or understands, the one place they are
// defined. The answer to a request carries the request's code plus one, and the
// local query machinery accepts an answer only with exactly that code.
//
// 12562 is two messages: the answer to StandardNamesQuery (from the system) and the
// request CustomNamesQuery (to the system). Only the direction tells them apart, so
// never key on the code alone.
#pragma once

#include <cstdint>

namespace message_codes {

// Login (challenge, encrypted answer) and version.
constexpr uint16_t LoginRejected = 13;      // 0x000D from system: the gateway refuses a login
constexpr uint16_t ChallengeQuery = 14;     // 0x000E to system: empty payload
constexpr uint16_t ChallengeAnswer = 15;    // 0x000F from system: the challenge text
constexpr uint16_t LoginQuery = 27;         // 0x001B to system: the encrypted challenge
constexpr uint16_t LoginAnswer = 28;        // 0x001C from system: accepted; payload not read
constexpr uint16_t SystemNameQuery = 8058;  // 0x1F7A to system: empty payload
constexpr uint16_t SystemNameAnswer = 8059; // 0x1F7B from system: two ints and the name
constexpr uint16_t VersionQuery = 8120;     // 0x1FB8 to system: empty payload
constexpr uint16_t VersionAnswer = 8121;    // 0x1FB9 from system: version text and value

// Controller configuration.
constexpr uint16_t NamedValuesQuery = 12510;         // 0x30DE to system
constexpr uint16_t NamedValuesAnswer = 12511;        // 0x30DF count, then value/name pairs
constexpr uint16_t ControllerConfigQuery = 12532;    // 0x30F4 to system: one controller
constexpr uint16_t ControllerConfigAnswer = 12533;   // 0x30F5 the configuration record
constexpr uint16_t StandardNameCountQuery = 12558;   // 0x310E to system
constexpr uint16_t StandardNameCountAnswer = 12559;  // 0x310F the count
constexpr uint16_t StandardNamesQuery = 12561;       // 0x3111 to system: at most 25 names
constexpr uint16_t StandardNamesAnswer = 12562;      // 0x3112 from system: a chunk of names
constexpr uint16_t CustomNamesQuery = 12562;         // 0x3112 to system: same code, see above
constexpr uint16_t CustomNamesAnswer = 12563;        // 0x3113 count, then the custom names
constexpr uint16_t ControllerDetailsQuery = 12566;   // 0x3116 to system
constexpr uint16_t ControllerDetailsAnswer = 12567;  // 0x3117 type and ten byte arrays

// Discovery service on the internet.
constexpr uint16_t DiscoveryError = 18000;      // 0x4650 an error text instead of an answer
constexpr uint16_t SystemLookupQuery = 18003;   // 0x4653 look up a system by name
constexpr uint16_t SystemLookupAnswer = 18004;  // 0x4654 where and how to reach it

}  // namespace message_codes

// The queryId of a message the system addresses to every listener. No query is
// ever given this identifier, and such messages are not acted on.
constexpr uint16_t kBroadcastQueryId = 0x7FFF;
