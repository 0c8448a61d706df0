// The remote path's two costs: CPU while a service keeps the launcher waiting, and
// the time of a whole remote launch.
//
// 1. A silent discovery service: the launcher has sent its lookup and waits for
//    the answer (up to 60 s). Over 5 s of that wait, the process's CPU time
//    (std::clock, all threads; the simulated services block in their calls).
// 2. A whole remote launch on loopback, direct and through the relay, taking
//    turns: Start pressed on the headless main dialog for "Quorvex: 12-34-56"
//    until Launch returns (discovery lookup, gateway login and version, adoption
//    by the local engine, system name, configuration, the reference viewer
//    started and handed the socket, the log written). Each gateway exchange
//    sleeps 100 ms before its answer is seen and 100 ms after it; the clock in
//    use counts those sleeps, so the rest shows apart.
//
// usage: bench_remote_launch [RUNS]   (inside scripts/in-private-network)
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/dialog_templates.h"
#include "app/main_dialog.h"
#include "app/status_sink.h"
#include "bench/bench_stats.h"
#include "local/zk_server.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/network_tables.h"
#include "remote/discovery_server_address.h"
#include "remote/remote_connect.h"
#include "remote/service_hosts.h"
#include "tools/sim/discovery_service.h"
#include "tools/sim/relay_server.h"
#include "tools/sim/simulated_system.h"
#include "ui/headless/headless_toolkit.h"

namespace {

namespace fs = std::filesystem;

constexpr char kSystemName[] = "Quorvex: 12-34-56";
constexpr int kSilentSeconds = 5;
constexpr double kCpuTargetPercent = 2.0;
constexpr double kLaunchTargetMs = 700.0;
constexpr int kDefaultRuns = 20;
constexpr int kWarmUpRuns = 2;

// No subnet to sweep: the launch is all that runs.
class NoSubnets : public platform::NetworkTables {
 public:
  bool Adapters(std::vector<platform::HardwareAddress>* out) override {
    *out = {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}};
    return true;
  }
  bool IPv4Addresses(std::vector<platform::AddressRow>* out) override {
    out->clear();
    return true;
  }
};

// The system clock, with the time the program sleeps added up.
class SleepCountingClock : public platform::Clock {
 public:
  explicit SleepCountingClock(platform::Clock& system) : system_(system) {}
  uint32_t TickMs() override { return system_.TickMs(); }
  platform::LocalTime Now() override { return system_.Now(); }
  void Sleep(uint32_t ms) override {
    slept_ += ms;
    system_.Sleep(ms);
  }
  uint32_t TakeSlept() { return slept_.exchange(0); }

 private:
  platform::Clock& system_;
  std::atomic<uint32_t> slept_{0};
};

class Quiet : public CStatusSink {};

struct Services {
  uint32_t address = NetworkOrderAddress(127, 99, 0, 1);
  SimulatedSystem gateway;
  SimDiscoveryService direct;
  SimDiscoveryService relayed;
  SimDiscoveryService silent;
  SimRelayServer relay;
  std::string folder;

  bool Start() {
    SimConfig system;
    system.bindAddress = address;
    system.systemName = kSystemName;
    if (!gateway.Start(system)) return Fail(gateway.Error());
    SimDiscoveryServiceConfig lookup;
    lookup.bindAddress = address;
    lookup.port = 0;
    lookup.systems.push_back({kSystemName, FormatIPv4(address), gateway.Port(), 1, 0});
    if (!direct.Start(lookup)) return Fail(direct.Error());
    lookup.systems[0].relayMode = 1;
    if (!relayed.Start(lookup)) return Fail(relayed.Error());
    lookup.reply = LookupReply::kSilent;
    if (!silent.Start(lookup)) return Fail(silent.Error());
    SimRelayConfig forward;
    forward.bindAddress = address;
    forward.systemName = kSystemName;
    forward.gatewayAddress = address;
    forward.gatewayPort = gateway.Port();
    if (!relay.Start(forward)) return Fail(relay.Error());
    setenv(kRelayHostVariable, FormatIPv4(address).c_str(), 1);
    return true;
  }
  void UseDiscovery(const SimDiscoveryService& service) const {
    std::ofstream(folder + "/" + kDiscoveryServerFileName) << FormatIPv4(address) << ":" << service.Port() << "\n";
  }
  static bool Fail(const std::string& error) {
    std::fprintf(stderr, "bench_remote_launch: %s\n", error.c_str());
    return false;
  }
};

void MeasureSilentWait(Services& services) {
  services.UseDiscovery(services.silent);
  std::thread waiting([] {
    Quiet sink;
    std::string versionText;
    int32_t versionValue = 0;
    ConnectRemote(&sink, kSystemName, "secret", 0, &versionText, &versionValue);
  });
  services.silent.WaitForLookups(1, 5000);
  const std::clock_t cpuStart = std::clock();
  const double wallStart = bench::NowUs();
  std::this_thread::sleep_for(std::chrono::seconds(kSilentSeconds));
  const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const double wallMs = (bench::NowUs() - wallStart) / 1000.0;
  services.silent.Stop();  // ends the wait: the connection closes
  waiting.join();
  const double percent = 100.0 * cpuMs / wallMs;
  std::printf("silent discovery service: CPU %.1f ms over %.0f ms of waiting = %.3f%% (target < %.0f%%: %s)\n", cpuMs,
              wallMs, percent, kCpuTargetPercent, percent < kCpuTargetPercent ? "met" : "NOT met");
}

struct LaunchFigures {
  std::vector<double> launchMs;
  std::vector<double> connectMs;
  std::vector<double> beyondSleepsMs;
  std::vector<double> sleptMs;
};

// One launch from Start to Launch's return; false when no client started.
bool LaunchOnce(ui::HeadlessToolkit& toolkit, SleepCountingClock& clock, LaunchFigures* figures) {
  CDiRIRUVDlg dialog(kSystemName, "secret");
  double connected = 0;
  dialog.SetStatusObserver([&](const std::string& line) {
    if (line.rfind("Remote System Version is:", 0) == 0) connected = bench::NowUs();
  });
  if (!dialog.Create()) return false;
  clock.TakeSlept();
  const double start = bench::NowUs();
  dialog.UserClick(IDC_START);
  const double end = bench::NowUs();
  const uint32_t slept = clock.TakeSlept();
  if (!dialog.childProcess.IsSet()) return false;
  figures->launchMs.push_back((end - start) / 1000.0);
  figures->connectMs.push_back((connected - start) / 1000.0);
  figures->sleptMs.push_back(slept);
  figures->beyondSleepsMs.push_back((end - start) / 1000.0 - slept);
  for (int i = 0; i < 500 && dialog.childProcess.IsSet(); ++i) {
    toolkit.WaitForEvents(ui::MsUntilNextTimer(20));
    ui::RunDueTimers();
  }
  return !dialog.childProcess.IsSet();
}

void Print(const char* path, const LaunchFigures& figures) {
  bench::PrintSummary(std::string(path) + ": whole launch", figures.launchMs, 1.0, "ms");
  bench::PrintSummary(std::string(path) + ": to the version", figures.connectMs, 1.0, "ms");
  bench::PrintSummary(std::string(path) + ": slept", figures.sleptMs, 1.0, "ms");
  bench::PrintSummary(std::string(path) + ": beyond sleeps", figures.beyondSleepsMs, 1.0, "ms");
  const double worst = bench::Quantile(figures.launchMs, 1.0);
  std::printf("%s: slowest launch %.1f ms (target < %.0f ms: %s)\n", path, worst, kLaunchTargetMs,
              worst < kLaunchTargetMs ? "met" : "NOT met");
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : kDefaultRuns;
  const std::string binFolder = GetProgramFolder();
  char pattern[] = "/tmp/tw-bench-remote-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  Services services;
  services.folder = pattern;
  platform::ScopedProgramFolderOverride folderOverride(services.folder);
  fs::create_directories(services.folder + "/5_2_738_0");
  fs::copy_file(binFolder + "/5_2_738_0/CLEARSLATE.EXE", services.folder + "/5_2_738_0/CLEARSLATE.EXE");
  fs::current_path(services.folder);
  setenv("XDG_RUNTIME_DIR", services.folder.c_str(), 1);
  setenv("TIDEWATCHER_CLIENT_EXIT_AFTER_MS", "100", 1);
  NoSubnets tables;
  platform::ScopedNetworkTablesOverride useTables(&tables);
  ui::HeadlessToolkit toolkit;
  ui::SetToolkit(&toolkit);
  theServer = new CZkServer;
  theServer->SetHardwareAddress("00-1A-2B-3C-4D-5E");
  int status = services.Start() ? 0 : 1;

  if (status == 0) MeasureSilentWait(services);

  SleepCountingClock clock(platform::CurrentClock());
  platform::ScopedClockOverride useClock(&clock);
  LaunchFigures direct, relayed;
  for (int i = 0; status == 0 && i < kWarmUpRuns + runs; ++i) {
    for (bool relay : {false, true}) {
      LaunchFigures warmUp;
      services.UseDiscovery(relay ? services.relayed : services.direct);
      if (!LaunchOnce(toolkit, clock, i < kWarmUpRuns ? &warmUp : relay ? &relayed : &direct)) {
        std::fprintf(stderr, "bench_remote_launch: a %s launch failed\n", relay ? "relayed" : "direct");
        status = 1;
        break;
      }
    }
  }
  if (status == 0) {
    Print("direct", direct);
    Print("relayed", relayed);
  }
  delete theServer;
  theServer = nullptr;
  ui::SetToolkit(nullptr);
  fs::current_path("/");
  fs::remove_all(services.folder);
  return status;
}
