// Discovery of the systems on the local network, keeping the Local Systems list
// current. The main dialog owns one LocalDiscovery and runs DiscoveryStep on every
// 300 ms timer tick; the list and the System Name field are reached only through
// SystemList, so nothing here knows about windows.
//
// Each tick reads every answer waiting on the sockets, adds the Local Machine line
// while a gateway program on this computer holds "GatewayMutex", sends a sweep of
// DiscoveryRequests when more than 500 ms have passed since the last one, and
// removes at most one line that has not been confirmed for 30 s. A line belongs to
// the address that answered: a second answer from it refreshes the line, an answer
// with another name replaces it.
//
// Everything runs on the caller's thread; nothing blocks but the 100 ms probe of
// "GatewayMutex" while someone holds it.
#pragma once

#include <cstdint>

#include "discovery/datagrams.h"
#include "discovery/ping_socket.h"
#include "discovery/system_list.h"
#include "protocol/object_list.h"

// Subnets with this many addresses or more are not swept (a /23 is, a /22 is not).
constexpr uint32_t kMaxSweptSubnetSize = 512;
constexpr uint32_t kSweepIntervalMs = 500;
constexpr uint32_t kLineLifetimeMs = 30000;
constexpr int kGatewayProbeWaitMs = 100;
// Datagrams read from one socket in one tick at most; the rest wait for the next
// tick, so a flood on one socket cannot hold the dialog's thread.
constexpr int kMaxReadsPerSocketPerTick = 256;

class LocalDiscovery {
 public:
  // Takes the time of the last sweep from the clock; opens no sockets.
  LocalDiscovery();
  ~LocalDiscovery();
  LocalDiscovery(const LocalDiscovery&) = delete;
  LocalDiscovery& operator=(const LocalDiscovery&) = delete;

  // One socket per address of every local subnet smaller than 512 addresses, in
  // table order, network and broadcast addresses included. Sockets still open are
  // closed first. Always true.
  bool OpenDiscoverySockets();
  void CloseDiscoverySockets();

  // One timer tick: read answers, the Local Machine line, the sweep, the ageing.
  void DiscoveryStep(SystemList& list);
  // Handles one answer from the socket, or with no socket the Local Machine pseudo
  // answer. True when the caller should read the same socket again.
  bool ProcessDiscoveryAnswer(CPingSocket* socket, SystemList& list);
  // True when another program holds "GatewayMutex", or when that cannot be told.
  bool IsLocalGatewayRunning();

  // Frees the entries of every line and detaches them, as the window goes.
  static void FreeEntries(SystemList& list);

  const CZkObList& GetDiscoverySockets() const { return discoverySockets_; }
  uint32_t GetLastDiscoverySweep() const { return lastDiscoverySweep_; }

 private:
  void ReadAnswers(SystemList& list);
  void SendSweep();
  void AgeOneLine(SystemList& list);
  // Common handling of an answer whose source address (network order) is given.
  void HandleAnswer(const DiscoveryAnswer& answer, uint32_t source, SystemList& list);
  // Refreshes the lines of the source; replaces those with another name. True when
  // one was refreshed.
  bool RefreshLines(const DiscoveryAnswer& answer, uint32_t source, SystemList& list);
  void AddLine(const DiscoveryAnswer& answer, uint32_t source, SystemList& list);

  CZkObList discoverySockets_;  // CPingSocket*, owned
  uint32_t lastDiscoverySweep_;
};
