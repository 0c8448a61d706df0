#include "remote/discovery_server_address.h"

#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "platform/socket.h"
#include "remote/dotted_address.h"
#include "remote/service_hosts.h"

bool ParseDiscoveryServerFile(const std::string& bytes, std::string* addressText, uint16_t* port) {
  std::string text = bytes.substr(0, kDiscoveryServerFileBytes);
  text = text.substr(0, text.find('\0'));
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  const uint16_t value = static_cast<uint16_t>(LeadingDecimal(text.substr(colon + 1)));
  if (value == 0) return false;
  *addressText = text.substr(0, colon);
  *port = value;
  return true;
}

CDiscoveryServerAddress::CDiscoveryServerAddress() {
  if (!TryFile()) TryDefault();
}

bool CDiscoveryServerAddress::TryFile() {
  const std::string folder = GetProgramFolder();
  if (folder.empty()) return false;
  const platform::FileHandle file =
      platform::OpenFile(folder + "/" + kDiscoveryServerFileName, platform::FileOpenMode::kReadExisting, false);
  if (file == platform::kInvalidFile) return false;
  char bytes[kDiscoveryServerFileBytes];
  int got = 0;
  const bool read = platform::ReadFile(file, bytes, kDiscoveryServerFileBytes, &got);
  platform::CloseFile(file);
  if (!read || got <= 0) return false;
  valid_ = ParseDiscoveryServerFile(std::string(bytes, static_cast<size_t>(got)), &addressText_, &port_);
  return valid_;
}

void CDiscoveryServerAddress::TryDefault() {
  hostName_ = DiscoveryHostName();
  uint32_t address = 0;
  if (!platform::ResolveHost(hostName_, &address)) return;
  std::memcpy(addressBytes_, &address, sizeof addressBytes_);
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", addressBytes_[0], addressBytes_[1], addressBytes_[2],
                addressBytes_[3]);
  addressText_ = text;
  port_ = kDiscoveryServicePort;
  valid_ = true;
}

bool GetDiscoveryServer(std::string* addressText, uint16_t* port) {
  const CDiscoveryServerAddress server;
  if (!server.IsValid()) return false;
  *addressText = server.GetAddressText();
  *port = server.GetPort();
  return true;
}
