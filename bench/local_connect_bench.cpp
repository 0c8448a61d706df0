// bench_local_connect: one full local sequence against the simulated system on
// loopback, through the launcher's engine (ConnectLocal, CZkQuery, CPoolConfig)
// and through a raw-socket client doing the same exchanges, alternately in the
// same run so both meet the same machine load. Reports the median time of each
// and their ratio.
//
// usage: bench_local_connect [RUNS]   (default 1000 of each; run it inside
//        scripts/in-private-network)
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_stats.h"
#include "bench/raw_local_client.h"
#include "config/pool_config.h"
#include "local/zk_query.h"
#include "local/zk_server.h"
#include "protocol/message.h"
#include "protocol/message_codes.h"
#include "tools/sim/simulated_system.h"

namespace {

constexpr char kHardwareAddress[] = "00-1A-2B-3C-4D-5E";
constexpr int kWarmUpRuns = 20;
// The sequence's target: the engine within this factor of the raw client.
constexpr double kTargetRatio = 1.5;

bool AskText(uint16_t code, bool skipTwoInts, std::string* text) {
  std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, code, 0, true);
  CZkQuery query;
  CZkMSG* answer = nullptr;
  if (!request || !query.Ask(&answer, request.get())) return false;
  if (skipTwoInts) {
    answer->ReadInt();
    answer->ReadInt();
  }
  return answer->ReadString(text);
}

// What the launch does on the local path up to the configuration check.
bool EngineSequence(CZkServer& server, uint32_t address, uint16_t port) {
  if (!server.ConnectLocal(address, port, 0)) return false;
  std::string version, name;
  if (!AskText(message_codes::VersionQuery, false, &version) ||
      !AskText(message_codes::SystemNameQuery, true, &name)) {
    return false;
  }
  CPoolConfig config(0);
  return config.IsLoaded() && config.GetControllerType() == CPoolConfig::kFamilyType13 &&
         config.GetStandardNames().size() == 60;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 1000;
  if (runs <= 0) {
    std::fprintf(stderr, "usage: bench_local_connect [RUNS]\n");
    return 2;
  }
  SimulatedSystem sim;
  SimConfig config;  // 127.0.0.1, any port, 60 standard names, password "secret"
  if (!sim.Start(config)) {
    std::fprintf(stderr, "bench_local_connect: the simulator cannot start: %s\n", sim.Error().c_str());
    return 1;
  }
  const uint32_t address = config.bindAddress;
  const uint16_t port = sim.Port();

  CZkServer server;
  theServer = &server;
  server.SetPassword(config.password);
  server.SetHardwareAddress(kHardwareAddress);
  RawLocalClient raw;

  std::vector<double> engineUs, rawUs;
  int failures = 0;
  for (int i = -kWarmUpRuns; i < runs; ++i) {
    // Alternate which side goes first, so neither always follows the other.
    for (int side = 0; side < 2; ++side) {
      const bool engineSide = (side == 0) == (i % 2 == 0);
      const double start = bench::NowUs();
      const bool ok = engineSide ? EngineSequence(server, address, port)
                                 : raw.RunLocalSequence(address, port, config.password, kHardwareAddress, 0);
      const double elapsed = bench::NowUs() - start;
      if (engineSide) {
        server.GetSocket()->Close();
      } else {
        raw.Close();
      }
      if (!ok) {
        ++failures;
        continue;
      }
      if (i >= 0) (engineSide ? engineUs : rawUs).push_back(elapsed);
    }
  }
  theServer = nullptr;
  sim.Stop();

  std::printf("local sequence: connect, preamble, challenge, login, version, system name, configuration\n");
  std::printf("(12 exchanges) against tidewatcher-sim on 127.0.0.1:%u; times in ms\n", port);
  bench::PrintSummary("engine (ConnectLocal+...)", engineUs, 0.001, "ms");
  bench::PrintSummary("raw socket client", rawUs, 0.001, "ms");
  const double ratio = bench::Median(engineUs) / bench::Median(rawUs);
  std::printf("ratio of medians engine/raw: %.2f (target <= %.1f: %s)\n", ratio, kTargetRatio,
              ratio <= kTargetRatio ? "met" : "MISSED");
  if (failures != 0) std::printf("failed sequences: %d\n", failures);
  return failures == 0 ? 0 : 1;
}
