// The internet side for the remote tests: the simulated system playing the
// gateway, the discovery service and the relay server, all on threads of the test,
// on a loopback address of this process's own (the relay must listen on 7576 and
// a discovery service found by host name on 500). The launcher is pointed at them
// through "Rivavareda.dat" in a launcher folder of the test's own (or
// TIDEWATCHER_DISCOVERY_HOST) and TIDEWATCHER_RELAY_HOST. A status sink that keeps
// the lines, and a scripted gateway for misbehaviour the simulated system does not
// offer, complete the kit.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/status_sink.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/network_tables.h"
#include "platform/socket.h"
#include "protocol/message.h"
#include "remote/discovery_server_address.h"
#include "remote/service_hosts.h"
#include "tools/sim/discovery_service.h"
#include "tools/sim/relay_server.h"
#include "tools/sim/request_stream.h"
#include "tools/sim/simulated_system.h"
#include "tools/sim/wire_bytes.h"

constexpr char kRemoteSystemName[] = "Quorvex: 12-34-56";

// A movable clock for tests against peers on threads: its sleeps and timed-out
// waits move it at once, but also give the peers real time, so that a poll loop
// sleeping 100 ms a pass cannot race ahead of an answer already on its way.
class PacedClock : public platform::MovableClock {
 public:
  // 5 January 2024, 07:03:09.
  PacedClock() {
    platform::LocalTime now;
    now.year = 2024;
    now.month = 1;
    now.dayOfWeek = 5;
    now.day = 5;
    now.hour = 7;
    now.minute = 3;
    now.second = 9;
    SetNow(now);
  }
  void Sleep(uint32_t ms) override {
    MovableClock::Sleep(ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  int RealWaitMs(int ms) override { return ms < kRealWaitMs ? ms : kRealWaitMs; }

 private:
  static constexpr int kRealWaitMs = 200;
};

class RecordingSink : public CStatusSink {
 public:
  void ShowStatus(std::string text) override { lines.push_back(text); }
  std::vector<std::string> lines;
};

// 127.128.0.0/10 split by process id: no other test process uses the address.
inline uint32_t ProcessAddress() {
  const uint32_t pid = static_cast<uint32_t>(getpid());
  return NetworkOrderAddress(127, static_cast<uint8_t>(128 + ((pid >> 16) & 0x3F)), static_cast<uint8_t>(pid >> 8),
                             static_cast<uint8_t>(pid));
}

class RemoteServices {
 public:
  RemoteServices() {
    char pattern[] = "/tmp/tw-remote-XXXXXX";
    EXPECT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    folderOverride_ = std::make_unique<platform::ScopedProgramFolderOverride>(folder);
    setenv(kRelayHostVariable, AddressText().c_str(), 1);
  }
  ~RemoteServices() {
    relay.Stop();
    discovery.Stop();
    gateway.Stop();
    unsetenv(kRelayHostVariable);
    unsetenv(kDiscoveryHostVariable);
    folderOverride_.reset();
    std::filesystem::remove_all(folder);
  }

  uint32_t Address() const { return ProcessAddress(); }
  std::string AddressText() const { return FormatIPv4(Address()); }

  void StartGateway(SimConfig config = SimConfig()) {
    config.bindAddress = Address();
    config.port = 0;
    if (config.systemName == SimConfig().systemName) config.systemName = kRemoteSystemName;
    ASSERT_TRUE(gateway.Start(config)) << gateway.Error();
  }
  // What the discovery service says by default: the gateway, direct, port open.
  SimDiscoveryServiceConfig DiscoveryConfig() const {
    SimDiscoveryServiceConfig config;
    config.bindAddress = Address();
    config.port = 0;
    SimRemoteSystem system;
    system.name = kRemoteSystemName;
    system.address = AddressText();
    system.port = gateway.Port();
    config.systems.push_back(system);
    return config;
  }
  // Started on a free port and written into "Rivavareda.dat".
  void StartDiscovery(const SimDiscoveryServiceConfig& config) {
    ASSERT_TRUE(discovery.Start(config)) << discovery.Error();
    std::ofstream(folder + "/" + kDiscoveryServerFileName)
        << AddressText() << ":" << discovery.Port() << "\r\n";
  }
  void StartDiscovery() { StartDiscovery(DiscoveryConfig()); }
  void StartRelay(RelayFault fault = RelayFault::kNone) {
    SimRelayConfig config;
    config.bindAddress = Address();
    config.systemName = kRemoteSystemName;
    config.gatewayAddress = Address();
    config.gatewayPort = gateway.Port();
    config.fault = fault;
    ASSERT_TRUE(relay.Start(config)) << relay.Error();
  }
  // Waits (real time) until the gateway has seen every connection closed.
  bool GatewayConnectionsClosed() const {
    return gateway.WaitUntil(
        [](const SimRecord& record) {
          for (const ConnectionRecord& connection : record.connections) {
            if (!connection.closed) return false;
          }
          return true;
        },
        2000);
  }

  std::string folder;
  SimulatedSystem gateway;
  SimDiscoveryService discovery;
  SimRelayServer relay;

 private:
  std::unique_ptr<platform::ScopedProgramFolderOverride> folderOverride_;
};

// A gateway that answers by script on one connection: after the preamble, each
// request goes to the script, whose messages (wire bytes) go back; none is
// silence. It never reads the platform clock, so tests may move theirs.
class ScriptedGateway {
 public:
  using Script = std::function<std::vector<std::vector<uint8_t>>(const CZkMSG& request)>;

  explicit ScriptedGateway(Script script) : script_(std::move(script)) {
    listener_ = platform::ListenTcp(platform::MakeSocketAddress(ProcessAddress(), 0), 1, &bound_);
    EXPECT_NE(listener_, platform::kInvalidSocket);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedGateway() {
    stopping_ = true;
    platform::ShutdownReceive(listener_);
    platform::ShutdownReceive(connection_);
    thread_.join();
    platform::CloseSocket(connection_);
    platform::CloseSocket(listener_);
  }
  uint16_t Port() const { return platform::HostPort(bound_); }

 private:
  void Serve() {
    connection_ = platform::Accept(listener_, nullptr);
    if (stopping_ || connection_ == platform::kInvalidSocket) return;
    RequestStream stream(true);
    uint8_t buffer[kReceiveChunk];
    long received;
    while ((received = platform::ReceiveSome(connection_, buffer, sizeof buffer)) > 0) {
      if (stream.Feed(buffer, static_cast<size_t>(received)) != RequestStream::Result::kNeedMore) return;
      std::vector<uint8_t> request;
      while (stream.Next(&request) == RequestStream::Result::kMessage) {
        for (const std::vector<uint8_t>& answer : script_(*CZkMSG::Wrap(request.data()))) {
          SendAllBlocking(connection_, answer);
        }
      }
    }
  }

  static constexpr size_t kReceiveChunk = 4096;

  Script script_;
  platform::SocketHandle listener_ = platform::kInvalidSocket;
  std::atomic<platform::SocketHandle> connection_{platform::kInvalidSocket};
  platform::SocketAddress bound_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// A message with a string payload and, when given, an int after it.
inline std::vector<uint8_t> StringMessage(uint16_t code, const std::string& text, const int32_t* value = nullptr) {
  std::vector<uint8_t> payload;
  AppendString(&payload, text);
  if (value != nullptr) AppendInt(&payload, static_cast<uint32_t>(*value));
  return WireMessage(0, code, payload);
}
