// Where the discovery service listens, decided afresh for every remote connect.
// An optional one-line file "Rivavareda.dat" in the launcher folder overrides the
// default, which is the discovery server's host name (service_hosts.h) looked up
// through the name service, with port 500.
//
// "Rivavareda.dat": single-byte text, only its first 31 bytes count (up to a zero
// byte, if one comes first). Everything before the last ":" is the address text,
// taken unchanged; the digits after it are the port, cut to 16 bits. A line end
// after the port is harmless. No ":" or a port of 0 (also 65536) leaves the file
// unused.
#pragma once

#include <cstdint>
#include <string>

constexpr char kDiscoveryServerFileName[] = "Rivavareda.dat";
constexpr int kDiscoveryServerFileBytes = 31;
constexpr uint16_t kDiscoveryServicePort = 500;

// Reads the file's bytes (the first kDiscoveryServerFileBytes of them); false when
// they do not give a usable address and port.
bool ParseDiscoveryServerFile(const std::string& bytes, std::string* addressText, uint16_t* port);

class CDiscoveryServerAddress {
 public:
  // Decides: the file when usable, else the default when its name can be looked up.
  CDiscoveryServerAddress();

  bool IsValid() const { return valid_; }
  // Empty unless valid.
  std::string GetAddressText() const { return valid_ ? addressText_ : std::string(); }
  uint16_t GetPort() const { return port_; }
  // The built-in host name when the default was used; empty otherwise.
  const std::string& GetHostName() const { return hostName_; }

 private:
  bool TryFile();
  void TryDefault();

  bool valid_ = false;
  std::string hostName_;
  uint8_t addressBytes_[4] = {};
  std::string addressText_;
  uint16_t port_ = 0;
};

// The address text and port of the discovery service; false, the outputs
// untouched, when there is none.
bool GetDiscoveryServer(std::string* addressText, uint16_t* port);
