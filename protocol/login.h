// The login request. After the challenge the launcher sends LoginQuery with the
// encrypted challenge and the kind of client it is about to start. The local form
// also names the computer by its network adapter's hardware address; the form sent
// through a gateway ends after the int 2.
//
// LoginQuery payload, item by item:
//   int     348                      kLoginRequestTag
//   int     connectionType           0 viewer, 3 configurator
//   string  loginName                "Local Config" on the local network
//   int     16                       size of the response
//   block   response (16 bytes)      LoginResponse(challenge, password)
//   int     2
//   string  hardware address         "00-1A-2B-3C-4D-5E"; local form only
//   string  empty                    local form only
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "protocol/message.h"

constexpr int32_t kLoginRequestTag = 348;
constexpr int32_t kViewerConnection = 0;
constexpr int32_t kConfiguratorConnection = 3;
constexpr char kLocalLoginName[] = "Local Config";
// Room reserved for the login request up front, so it is built with one allocation.
constexpr int32_t kLoginRequestReserve = 256;

// The login of a connection on the local network. Null only when memory runs out.
std::unique_ptr<CZkMSG> BuildLocalLoginQuery(int32_t connectionType, const std::string& loginName,
                                             const std::array<uint8_t, 16>& response,
                                             const std::string& hardwareAddress);

// The login sent through a gateway: the first six items only.
std::unique_ptr<CZkMSG> BuildRemoteLoginQuery(int32_t connectionType, const std::string& loginName,
                                              const std::array<uint8_t, 16>& response);
