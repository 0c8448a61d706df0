// bench_launch: from Start to the started client holding the socket, on the
// local path against the simulated system on loopback. The headless main dialog
// launches the reference viewer (CLEARSLATE.EXE of this build) with a typed
// address; beside it, alternately in the same run, a raw program does the same
// exchanges over a plain socket (bench/raw_local_client.h), listens on the same
// kind of "/SOCKFILE:" endpoint, starts the same client with the same command line
// and hands it the socket the same way.
//
// "Holding the socket" is measured twice:
//   - primary: the simulator receives the client's own first request over the
//     handed socket (SystemNameQuery under the client's identifier 0x4001), seen
//     by the simulator's request observer in this process: no polling at all;
//   - secondary: the client's report file shows its "system" line (the client
//     writes it after its two answers), polled every 0.2 ms.
// The client ends by itself (TIDEWATCHER_CLIENT_EXIT_AFTER_MS) before the next run.
//
// usage: bench_launch [RUNS [PARENT]]   (default 100 of each, the launcher folder
//        made under /tmp; run it inside scripts/in-private-network)
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/dialog_templates.h"
#include "app/main_dialog.h"
#include "bench/bench_stats.h"
#include "bench/raw_local_client.h"
#include "local/zk_server.h"
#include "platform/files.h"
#include "platform/network_tables.h"
#include "platform/process.h"
#include "platform/socket_handover.h"
#include "protocol/message_codes.h"
#include "tools/sim/simulated_system.h"
#include "ui/headless/headless_toolkit.h"
#include "ui/toolkit.h"
#include "versions/version.h"

namespace {

namespace fs = std::filesystem;

constexpr char kHardwareAddress[] = "00-1A-2B-3C-4D-5E";
constexpr uint16_t kClientFirstQueryId = 0x4001;  // the reference client's SystemNameQuery
constexpr int kHandoverWaitMs = 10000;
constexpr int kWarmUpRuns = 3;
// Between runs, so the ended client's exit and the closed connection are behind
// us whichever side ran last.
constexpr int kSettleMs = 100;
constexpr double kTargetRatio = 2.0;

// One adapter, and only the loopback row, which is far too large to sweep: the
// dialog opens no discovery sockets, so the launch is all that runs.
class LoopbackOnly : public platform::NetworkTables {
 public:
  bool Adapters(std::vector<platform::HardwareAddress>* out) override {
    *out = {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}};
    return true;
  }
  bool IPv4Addresses(std::vector<platform::AddressRow>* out) override {
    return platform::ParseSubnetRows("127.0.0.1/8", out);
  }
};

// When the client's first own request reached the simulator.
class ClientSignal {
 public:
  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    at_ = 0;
  }
  void Seen(double at) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (at_ == 0) at_ = at;
    }
    changed_.notify_all();
  }
  // 0 when it did not come within the time.
  double Wait(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return at_ != 0; });
    return at_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  double at_ = 0;
};

std::string ReadFileText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The moment the report shows the client's "system" line; 0 after 10 s.
double WaitForSystemLine(const std::string& report) {
  const double start = bench::NowUs();
  while (bench::NowUs() - start < 10e6) {
    if (ReadFileText(report).find("tidewatcher-client: system ") != std::string::npos) return bench::NowUs();
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return 0;
}

// Microseconds from Start. Handed over: the launcher posts "Running" (or the raw
// program's Deliver returns) once the client has taken the socket from the
// endpoint; the client then asks its first question.
struct Sample {
  double toLoggedInUs = 0;  // connected and logged in
  double toHandedOverUs = 0;
  double toRequestUs = 0;
  double toReportUs = 0;
};

struct Bench {
  std::string folder;
  std::string report;
  std::string typed;  // the System Name typed: the address, also the system's own name
  uint32_t address = 0;
  uint16_t port = 0;
  std::string password;
  ClientSignal signal;
  ui::HeadlessToolkit* toolkit = nullptr;
  double loggedInPostedAt = 0;  // when the dialog posted "Getting Version Information"
  double runningPostedAt = 0;  // when the dialog posted "Running"
};

void RunTimers(Bench& bench, double ms) {
  const double start = bench::NowUs();
  while (bench::NowUs() - start < ms * 1000) {
    bench.toolkit->WaitForEvents(ui::MsUntilNextTimer(20));
    ui::RunDueTimers();
  }
}

// Start pressed on the dialog; afterwards its timer sees the client end.
bool LauncherRun(Bench& bench, CDiRIRUVDlg& dialog, Sample* sample) {
  if (!dialog.IsItemEnabled(IDC_START)) RunTimers(bench, 400);
  bench.loggedInPostedAt = 0;
  bench.runningPostedAt = 0;
  const double start = bench::NowUs();
  dialog.UserClick(IDC_START);
  if (!dialog.childProcess.IsSet()) return false;
  const double seen = bench.signal.Wait(kHandoverWaitMs);
  const double shown = WaitForSystemLine(bench.report);
  sample->toLoggedInUs = bench.loggedInPostedAt - start;
  sample->toHandedOverUs = bench.runningPostedAt - start;
  sample->toRequestUs = seen - start;
  sample->toReportUs = shown - start;
  for (int i = 0; i < 1000 && dialog.childProcess.IsSet(); ++i) RunTimers(bench, 20);
  return seen != 0 && shown != 0 && !dialog.childProcess.IsSet();
}

// The same with nothing but the exchanges, the endpoint and the start.
bool RawRun(Bench& bench, Sample* sample) {
  const double start = bench::NowUs();
  RawLocalClient client;
  if (!client.RunLocalSequence(bench.address, bench.port, bench.password, kHardwareAddress, 0)) return false;
  const std::string path = bench.folder + "/" + VersionFolderName(client.VersionText()) + "/CLEARSLATE.EXE";
  platform::SocketHandoverEndpoint endpoint;
  if (!endpoint.Listen(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&endpoint)))) return false;
  const std::vector<std::string> arguments = {"/R", "/USER:" + bench.typed, "/PASS:" + bench.password,
                                              "/SOCKFILE:" + endpoint.Name(), "/TITLE:Tidewatcher"};
  platform::ChildProcess child;
  if (!platform::StartProcess(path, arguments, -1, &child)) return false;
  const bool delivered = endpoint.Deliver(child, client.Handle(), kHandoverWaitMs);
  const double handedOver = bench::NowUs();
  const double seen = bench.signal.Wait(kHandoverWaitMs);
  const double shown = WaitForSystemLine(bench.report);
  sample->toLoggedInUs = client.LoggedInAt() - start;
  sample->toHandedOverUs = handedOver - start;
  sample->toRequestUs = seen - start;
  sample->toReportUs = shown - start;
  int code = platform::kStillActive;
  for (int i = 0; i < 2000 && platform::GetExitCode(child, &code) && code == platform::kStillActive; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  client.Close();
  return delivered && seen != 0 && shown != 0 && code == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 100;
  if (runs <= 0) {
    std::fprintf(stderr, "usage: bench_launch [RUNS [PARENT]]\n");
    return 2;
  }
  platform::ResetChildSignal();
  const std::string clientCopy = GetProgramFolder() + "/5_2_738_0/CLEARSLATE.EXE";
  if (!platform::PathExists(clientCopy)) {
    std::fprintf(stderr, "bench_launch: %s is missing; build tidewatcher-client\n", clientCopy.c_str());
    return 1;
  }

  Bench bench;
  // The launcher folder (LOGIN.DAT, the version folder, the client's report) is
  // made under PARENT, /tmp by default: its file system's cost shows in the figures.
  std::string pattern = std::string(argc > 2 ? argv[2] : "/tmp") + "/tw-bench-launch-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    std::fprintf(stderr, "bench_launch: cannot make a folder in %s\n", argc > 2 ? argv[2] : "/tmp");
    return 1;
  }
  bench.folder = pattern;
  bench.report = bench.folder + "/report.txt";
  setenv("XDG_RUNTIME_DIR", bench.folder.c_str(), 1);
  setenv("TIDEWATCHER_CLIENT_REPORT", bench.report.c_str(), 1);
  setenv("TIDEWATCHER_CLIENT_EXIT_AFTER_MS", "100", 1);
  unsetenv("DISPLAY");

  SimulatedSystem sim;
  sim.SetRequestObserver([&bench](const ReceivedRequest& request) {
    if (request.code == message_codes::SystemNameQuery && request.queryId == kClientFirstQueryId) {
      bench.signal.Seen(bench::NowUs());
    }
  });
  // Port 80 of 127.0.0.1, as a system on the local network serves, so the typed
  // System Name is the bare address and the system answers with that name.
  SimConfig config;  // version "5.2 Build 738.0 Rel": the "/SOCKFILE:" hand-over
  config.port = 80;
  bench.typed = "127.0.0.1";
  config.systemName = bench.typed;
  bench.address = config.bindAddress;
  if (!sim.Start(config)) {
    std::fprintf(stderr, "bench_launch: the simulator cannot start on 127.0.0.1:80 (%s); run inside "
                 "scripts/in-private-network\n", sim.Error().c_str());
    return 1;
  }
  bench.port = sim.Port();
  bench.password = config.password;

  const std::string versionFolder = bench.folder + "/" + VersionFolderName(config.versionText);
  fs::create_directories(versionFolder);
  fs::copy_file(clientCopy, versionFolder + "/CLEARSLATE.EXE");

  std::vector<double> launcherLoggedIn, rawLoggedIn;
  std::vector<double> launcherHandedOver, launcherRequest, launcherReport, rawHandedOver, rawRequest, rawReport;
  int failures = 0;
  // The clients print their lines on the standard output they inherit; keep them
  // out of the figures.
  std::fflush(stdout);
  const int savedOutput = dup(1);
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  {
    platform::ScopedProgramFolderOverride useFolder(bench.folder);
    LoopbackOnly tables;
    platform::ScopedNetworkTablesOverride useTables(&tables);
    ui::HeadlessToolkit toolkit;
    bench.toolkit = &toolkit;
    ui::SetToolkit(&toolkit);
    toolkit.SetMessageBoxHandler([](const std::string& text, const std::string&) {
      std::fprintf(stderr, "bench_launch: message box: %s\n", text.c_str());
      return ui::kIdOk;
    });
    theServer = new CZkServer;
    theServer->SetHardwareAddress(kHardwareAddress);
    {
      CDiRIRUVDlg dialog(bench.typed, bench.password);
      dialog.SetStatusObserver([&bench](const std::string& line) {
        if (line == "Getting Version Information") bench.loggedInPostedAt = bench::NowUs();
        if (line == "Running") bench.runningPostedAt = bench::NowUs();
      });
      if (!dialog.Create()) return 1;
      for (int i = -kWarmUpRuns; i < runs; ++i) {
        for (int side = 0; side < 2; ++side) {
          const bool launcherSide = (side == 0) == (i % 2 == 0);
          fs::remove(bench.report);
          bench.signal.Reset();
          Sample sample;
          const bool ok = launcherSide ? LauncherRun(bench, dialog, &sample) : RawRun(bench, &sample);
          std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
          if (!ok) {
            ++failures;
            continue;
          }
          if (i < 0) continue;
          (launcherSide ? launcherLoggedIn : rawLoggedIn).push_back(sample.toLoggedInUs);
          (launcherSide ? launcherHandedOver : rawHandedOver).push_back(sample.toHandedOverUs);
          (launcherSide ? launcherRequest : rawRequest).push_back(sample.toRequestUs);
          (launcherSide ? launcherReport : rawReport).push_back(sample.toReportUs);
        }
      }
    }
    delete theServer;
    theServer = nullptr;
    ui::SetToolkit(nullptr);
  }
  sim.Stop();
  fs::remove_all(bench.folder);
  std::fflush(stdout);
  dup2(savedOutput, 1);
  close(savedOutput);

  std::printf("Start to the reference viewer holding the socket, %s against tidewatcher-sim\n", bench.typed.c_str());
  std::printf("(version 5.2: \"/SOCKFILE:\" hand-over); times in ms\n");
  bench::PrintSummary("launcher: logged in", launcherLoggedIn, 0.001, "ms");
  bench::PrintSummary("raw:      logged in", rawLoggedIn, 0.001, "ms");
  bench::PrintSummary("launcher: socket handed over", launcherHandedOver, 0.001, "ms");
  bench::PrintSummary("raw:      socket handed over", rawHandedOver, 0.001, "ms");
  bench::PrintSummary("launcher: client's 1st query", launcherRequest, 0.001, "ms");
  bench::PrintSummary("raw:      client's 1st query", rawRequest, 0.001, "ms");
  bench::PrintSummary("launcher: report \"system\"", launcherReport, 0.001, "ms");
  bench::PrintSummary("raw:      report \"system\"", rawReport, 0.001, "ms");
  std::printf("difference of medians launcher - raw: %.3f ms at the client's first query\n",
              (bench::Median(launcherRequest) - bench::Median(rawRequest)) / 1000);
  const double ratio = bench::Median(launcherRequest) / bench::Median(rawRequest);
  const double reportRatio = bench::Median(launcherReport) / bench::Median(rawReport);
  std::printf("ratio of medians launcher/raw: %.2f at the client's first query, %.2f at its report line "
              "(target <= %.1f: %s)\n",
              ratio, reportRatio, kTargetRatio, ratio <= kTargetRatio && reportRatio <= kTargetRatio ? "met" : "MISSED");
  if (failures != 0) std::printf("failed runs: %d\n", failures);
  return failures == 0 ? 0 : 1;
}
