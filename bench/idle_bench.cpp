// bench_idle: the launcher's main dialog left idle, headless, while it sweeps the
// subnets of TIDEWATCHER_SUBNETS (127.0.2.1/23 when unset: 512 addresses). Its
// 300 ms timer runs on the real clock for the measured window; the figures are the
// process's own CPU time (getrusage, all threads) over that window as a share of
// one core, and its resident memory (VmRSS, and the peak VmHWM).
//
// Then, with the dialog still running, simulated systems appear one after
// another on addresses of the swept subnet, each at another moment of the sweep
// cycle, and for each the time from its first answer (the first discovery request
// it hears, answered at once) to the timer tick that shows its line is taken.
//
// usage: bench_idle [--seconds S] [--warm-up S] [--trials N]
//        (defaults 20, 3, 20; run it inside scripts/in-private-network)
#include <stdlib.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_templates.h"
#include "app/main_dialog.h"
#include "bench/bench_stats.h"
#include "discovery/local_discovery.h"
#include "discovery/local_system_entry.h"
#include "local/zk_server.h"
#include "platform/files.h"
#include "tools/sim/simulated_system.h"
#include "ui/headless/headless_toolkit.h"
#include "ui/toolkit.h"

namespace {

constexpr char kDefaultSubnets[] = "127.0.2.1/23";
constexpr double kTargetCpuPercent = 1.0;
constexpr double kTargetRssMb = 30.0;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A "VmRSS:" style field of /proc/self/status, in MB.
double StatusMb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, std::strlen(field), field) == 0) return std::atof(line.c_str() + std::strlen(field)) / 1024.0;
  }
  return -1;
}

// The dialog's event loop, as the headless command runs it, for `ms` or until
// `done` holds after a pass.
template <typename Done>
bool RunEvents(ui::HeadlessToolkit& toolkit, double ms, Done done) {
  const double start = bench::NowUs();
  while (bench::NowUs() - start < ms * 1000) {
    toolkit.WaitForEvents(ui::MsUntilNextTimer(100));
    ui::RunDueTimers();
    if (done()) return true;
  }
  return false;
}

bool HasLine(CDiRIRUVDlg& dialog, const std::string& name) {
  for (int i = 0; i < dialog.ListGetCount(IDC_LOCAL_SYSTEMS); ++i) {
    const auto* entry = static_cast<LocalSystemEntry*>(dialog.ListGetItemData(IDC_LOCAL_SYSTEMS, i));
    if (entry != nullptr && entry->name == name) return true;
  }
  return false;
}

struct Options {
  double seconds = 20;
  double warmUp = 3;
  int trials = 20;
};

bool Parse(int argc, char** argv, Options* options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--seconds") {
      options->seconds = std::atof(argv[i + 1]);
    } else if (flag == "--warm-up") {
      options->warmUp = std::atof(argv[i + 1]);
    } else if (flag == "--trials") {
      options->trials = std::atoi(argv[i + 1]);
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && options->seconds > 0 && options->warmUp >= 0 && options->trials >= 0;
}

// Systems appear at 127.0.2.20, .21, ...: inside 127.0.2.1/23 and its smaller
// neighbours, away from the own address.
void RunLatencyTrials(CDiRIRUVDlg& dialog, ui::HeadlessToolkit& toolkit, int trials) {
  std::vector<double> fromAnswerMs, fromStartMs;
  int missed = 0;
  for (int t = 0; t < trials; ++t) {
    // Spread the moments over the 500 ms sweep and the 300 ms tick.
    RunEvents(toolkit, 200 + (t * 137) % 700, [] { return false; });
    SimulatedSystem sim;
    std::atomic<double> firstAnswer{0};
    sim.SetDatagramObserver([&firstAnswer](const ReceivedDatagram&) {
      double none = 0;
      firstAnswer.compare_exchange_strong(none, bench::NowUs());
    });
    SimConfig config;
    config.bindAddress = NetworkOrderAddress(127, 0, 2, static_cast<uint8_t>(20 + t));
    config.systemName = "Bench System " + std::to_string(t);
    config.discovery.enabled = true;
    const double started = bench::NowUs();
    if (!sim.Start(config)) {
      std::fprintf(stderr, "bench_idle: the simulator cannot start: %s\n", sim.Error().c_str());
      ++missed;
      continue;
    }
    const bool shown = RunEvents(toolkit, 3000, [&] { return HasLine(dialog, config.systemName); });
    const double lineShown = bench::NowUs();
    sim.Stop();
    if (!shown || firstAnswer.load() == 0) {
      ++missed;
      continue;
    }
    fromAnswerMs.push_back((lineShown - firstAnswer.load()) / 1000);
    fromStartMs.push_back((lineShown - started) / 1000);
  }
  std::printf("\nfirst answer to line in the list (%d systems, sweep every %u ms, tick every %d ms):\n", trials,
              kSweepIntervalMs, CDiRIRUVDlg::kTimerPeriodMs);
  bench::PrintSummary("first answer -> line", fromAnswerMs, 1, "ms");
  bench::PrintSummary("system started -> line", fromStartMs, 1, "ms");
  const double worst = bench::Quantile(fromAnswerMs, 1.0);
  std::printf("worst first answer -> line: %.1f ms (target <= one sweep, %u ms: %s)\n", worst, kSweepIntervalMs,
              missed == 0 && worst <= kSweepIntervalMs ? "met" : "MISSED");
  if (missed != 0) std::printf("systems never shown: %d\n", missed);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, &options)) {
    std::fprintf(stderr, "usage: bench_idle [--seconds S] [--warm-up S] [--trials N]\n");
    return 2;
  }
  if (std::getenv("TIDEWATCHER_SUBNETS") == nullptr) setenv("TIDEWATCHER_SUBNETS", kDefaultSubnets, 1);
  // A launcher folder and a runtime folder of our own: nothing in the build is
  // touched, and the mutex probes use files of ours.
  char pattern[] = "/tmp/tw-bench-idle-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string folder = pattern;
  setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
  int status = 0;
  {
    platform::ScopedProgramFolderOverride useFolder(folder);
    ui::HeadlessToolkit toolkit;
    ui::SetToolkit(&toolkit);
    theServer = new CZkServer;
    theServer->SetHardwareAddress("00-1A-2B-3C-4D-5E");
    {
      CDiRIRUVDlg dialog("", "");
      if (!dialog.Create()) {
        std::fprintf(stderr, "bench_idle: cannot build the main dialog\n");
        return 1;
      }
      const int sockets = dialog.Discovery().GetDiscoverySockets().GetCount();
      RunEvents(toolkit, options.warmUp * 1000, [] { return false; });
      const double cpu0 = CpuSeconds();
      const double wall0 = bench::NowUs();
      RunEvents(toolkit, options.seconds * 1000, [] { return false; });
      const double cpu = CpuSeconds() - cpu0;
      const double wall = (bench::NowUs() - wall0) / 1e6;
      const double percent = 100 * cpu / wall;
      const double rss = StatusMb("VmRSS:");
      const double peak = StatusMb("VmHWM:");
      std::printf("headless main dialog idle, TIDEWATCHER_SUBNETS=%s, %d discovery sockets\n",
                  std::getenv("TIDEWATCHER_SUBNETS"), sockets);
      std::printf("CPU over %.1f s (after %.1f s warm-up): %.3f s = %.2f%% of one core (target < %.0f%%: %s)\n", wall,
                  options.warmUp, cpu, percent, kTargetCpuPercent, percent < kTargetCpuPercent ? "met" : "MISSED");
      std::printf("resident: VmRSS %.1f MB, peak VmHWM %.1f MB (target < %.0f MB: %s)\n", rss, peak, kTargetRssMb,
                  rss < kTargetRssMb ? "met" : "MISSED");
      if (percent >= kTargetCpuPercent || rss >= kTargetRssMb) status = 1;
      if (options.trials > 0) RunLatencyTrials(dialog, toolkit, options.trials);
    }
    delete theServer;
    theServer = nullptr;
    ui::SetToolkit(nullptr);
  }
  std::filesystem::remove_all(folder);
  return status;
}
