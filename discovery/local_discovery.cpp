#include "discovery/local_discovery.h"

#include <memory>
#include <vector>

#include "discovery/local_addresses.h"
#include "platform/clock.h"
#include "platform/named_mutex.h"

namespace {

constexpr uint32_t kLoopbackHost = 0x7F000001;  // 127.0.0.1

// The Local Machine pseudo answer: a gateway program serving on this computer.
constexpr char kLocalMachineName[] = "Local Machine";
constexpr uint16_t kLocalMachinePort = 80;
constexpr char kGatewayMutexName[] = "GatewayMutex";

// Gateway types that are selected by themselves while System Name is empty.
bool IsAutoSelectedType(uint8_t type) { return type == 1 || type == 6 || type == 7 || type == 100; }

uint32_t Now() { return platform::CurrentClock().TickMs(); }

}  // namespace

LocalDiscovery::LocalDiscovery() : lastDiscoverySweep_(Now()) {}

LocalDiscovery::~LocalDiscovery() { CloseDiscoverySockets(); }

bool LocalDiscovery::OpenDiscoverySockets() {
  CloseDiscoverySockets();
  const int rows = GetLocalAddressCount();
  for (int row = 0; row < rows; ++row) {
    uint32_t mask = 0;
    uint32_t address = 0;
    if (!GetLocalAddress(row, &mask, &address)) continue;
    const uint32_t hostMask = HostOrderFromNetwork(mask);
    const uint32_t network = HostOrderFromNetwork(address) & hostMask;
    const uint32_t broadcast = network | ~hostMask;
    if (broadcast - network >= kMaxSweptSubnetSize) continue;
    // 64 bits, so a subnet ending at 255.255.255.255 ends the loop too.
    for (uint64_t target = network; target <= broadcast; ++target) {
      discoverySockets_.AddTail(new CPingSocket(static_cast<uint32_t>(target)));
    }
  }
  return true;
}

void LocalDiscovery::CloseDiscoverySockets() {
  while (!discoverySockets_.IsEmpty()) delete static_cast<CPingSocket*>(discoverySockets_.RemoveHead());
}

void LocalDiscovery::DiscoveryStep(SystemList& list) {
  ReadAnswers(list);
  ProcessDiscoveryAnswer(nullptr, list);
  if (ElapsedMs(lastDiscoverySweep_) > kSweepIntervalMs) SendSweep();
  AgeOneLine(list);
}

void LocalDiscovery::ReadAnswers(SystemList& list) {
  // One look at every socket first: on most ticks few of them (or none) have
  // anything, and asking each one on its own would cost a call per socket.
  std::vector<CPingSocket*> sockets;
  std::vector<platform::SocketHandle> handles;
  for (CZkObList::Position at = discoverySockets_.GetHeadPosition(); at != nullptr;) {
    auto* socket = static_cast<CPingSocket*>(discoverySockets_.GetNext(&at));
    sockets.push_back(socket);
    handles.push_back(socket->GetHandle());
  }
  std::vector<bool> waiting;
  platform::DatagramsWaiting(handles, &waiting);
  for (size_t i = 0; i < sockets.size(); ++i) {
    if (!waiting[i]) continue;
    for (int reads = 0; reads < kMaxReadsPerSocketPerTick && ProcessDiscoveryAnswer(sockets[i], list); ++reads) {
    }
  }
}

void LocalDiscovery::SendSweep() {
  for (CZkObList::Position at = discoverySockets_.GetHeadPosition(); at != nullptr;) {
    static_cast<CPingSocket*>(discoverySockets_.GetNext(&at))->SendDiscoveryRequest(kDiscoveryPort);
  }
  lastDiscoverySweep_ = Now();
}

void LocalDiscovery::AgeOneLine(SystemList& list) {
  for (int index = 0; index < list.LineCount(); ++index) {
    LocalSystemEntry* entry = list.EntryAt(index);
    if (entry == nullptr || ElapsedMs(entry->lastSeen) <= kLineLifetimeMs) continue;
    list.DeleteLine(index);
    delete entry;
    return;
  }
}

bool LocalDiscovery::ProcessDiscoveryAnswer(CPingSocket* socket, SystemList& list) {
  if (socket == nullptr) {
    if (!IsLocalGatewayRunning()) return false;
    DiscoveryAnswer pseudo;
    pseudo.name = kLocalMachineName;
    pseudo.port = kLocalMachinePort;
    pseudo.gatewayType = 1;
    pseudo.gatewaySubtype = 0;
    HandleAnswer(pseudo, NetworkOrderFromHost(kLoopbackHost), list);
    return true;
  }
  uint8_t bytes[kDiscoveryAnswerSize];
  platform::SocketAddress source;
  const int received = socket->ReceiveDiscoveryAnswer(bytes, &source);
  if (received == kNothingReceived) return false;
  if (received == kWrongDatagram) return true;
  const DiscoveryAnswer answer = ParseDiscoveryAnswer(bytes);
  // Only the Local Machine line may carry 127.0.0.1. A dropped answer leaves the
  // rest of the socket's datagrams to the next tick.
  if (source.address == NetworkOrderFromHost(kLoopbackHost) || answer.gatewayType == kIgnoredGatewayType) {
    return false;
  }
  HandleAnswer(answer, source.address, list);
  return true;
}

bool LocalDiscovery::IsLocalGatewayRunning() {
  return platform::ProbeNamedMutex(kGatewayMutexName, kGatewayProbeWaitMs) != platform::MutexProbe::kAcquired;
}

void LocalDiscovery::HandleAnswer(const DiscoveryAnswer& answer, uint32_t source, SystemList& list) {
  if (RefreshLines(answer, source, list)) return;
  AddLine(answer, source, list);
}

// Walks the whole list, re-reading its length as lines go.
bool LocalDiscovery::RefreshLines(const DiscoveryAnswer& answer, uint32_t source, SystemList& list) {
  bool refreshed = false;
  for (int index = 0; index < list.LineCount();) {
    LocalSystemEntry* entry = list.EntryAt(index);
    if (entry == nullptr || entry->address != source) {
      ++index;
    } else if (entry->name != answer.name) {
      list.DeleteLine(index);
      delete entry;
    } else {
      entry->lastSeen = Now();
      refreshed = true;
      ++index;
    }
  }
  return refreshed;
}

void LocalDiscovery::AddLine(const DiscoveryAnswer& answer, uint32_t source, SystemList& list) {
  const std::string systemName = list.ReadSystemName();
  auto entry = std::make_unique<LocalSystemEntry>();
  entry->name = answer.name;
  entry->address = source;
  entry->port = answer.port;
  entry->gatewayType = answer.gatewayType;
  entry->gatewaySubtype = answer.gatewaySubtype;
  entry->lastSeen = Now();
  const int index = list.AddLine(entry->LineText());
  if (index < 0) return;
  list.SetEntry(index, entry.get());
  const LocalSystemEntry* added = entry.release();
  list.Repaint();
  if (SameNameIgnoringCase(added->name, systemName) || (systemName.empty() && IsAutoSelectedType(added->gatewayType))) {
    list.SelectLine(index);
  }
}

void LocalDiscovery::FreeEntries(SystemList& list) {
  for (int index = 0; index < list.LineCount(); ++index) {
    delete list.EntryAt(index);
    list.SetEntry(index, nullptr);
  }
}
