// discovery_probe: runs local discovery for a while with the real address table (or
// TIDEWATCHER_SUBNETS) and prints what the list would show. For the end-to-end
// test in network namespaces; it sweeps every small local subnet, so run it only
// inside a private network namespace.
//
//   discovery_probe [--seconds S]          the list's lines after S seconds (default 3)
//   discovery_probe --target A.B.C.D [--seconds S]
//                                          requests to that one address every 500 ms;
//                                          prints every 40-byte answer's sender
//
// Lines added and removed along the way go to standard error as "+ LINE" / "- LINE".
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "discovery/local_addresses.h"
#include "discovery/local_discovery.h"
#include "platform/clock.h"
#include "platform/descriptor_limit.h"
#include "platform/network_tables.h"
#include "platform/socket.h"

namespace {

constexpr uint32_t kTickMs = 300;

struct Line {
  std::string text;
  LocalSystemEntry* entry = nullptr;
};

// A list that keeps its lines sorted and reports every change.
class PrintingList : public SystemList {
 public:
  int LineCount() override { return static_cast<int>(lines_.size()); }
  LocalSystemEntry* EntryAt(int index) override { return lines_[static_cast<size_t>(index)].entry; }
  void DeleteLine(int index) override {
    std::fprintf(stderr, "- %s\n", lines_[static_cast<size_t>(index)].text.c_str());
    lines_.erase(lines_.begin() + index);
  }
  int AddLine(const std::string& text) override {
    std::fprintf(stderr, "+ %s\n", text.c_str());
    const auto at = std::upper_bound(lines_.begin(), lines_.end(), text,
                                     [](const std::string& t, const Line& line) { return t < line.text; });
    const int index = static_cast<int>(at - lines_.begin());
    lines_.insert(at, Line{text, nullptr});
    return index;
  }
  void SetEntry(int index, LocalSystemEntry* entry) override { lines_[static_cast<size_t>(index)].entry = entry; }
  std::string ReadSystemName() override { return selected_; }
  void SelectLine(int index) override { selected_ = lines_[static_cast<size_t>(index)].entry->name; }
  void Repaint() override {}

  void Print() const {
    for (const Line& line : lines_) std::printf("%s\n", line.text.c_str());
  }

 private:
  std::vector<Line> lines_;
  std::string selected_;
};

int Sweep(uint32_t seconds) {
  platform::RaiseDescriptorLimit();
  PrintingList list;
  LocalDiscovery discovery;
  discovery.OpenDiscoverySockets();
  std::fprintf(stderr, "discovery_probe: %d sockets\n", static_cast<int>(discovery.GetDiscoverySockets().GetCount()));
  const uint32_t start = platform::CurrentClock().TickMs();
  while (ElapsedMs(start) < seconds * 1000) {
    discovery.DiscoveryStep(list);
    platform::CurrentClock().Sleep(kTickMs);
  }
  discovery.DiscoveryStep(list);
  list.Print();
  LocalDiscovery::FreeEntries(list);
  return 0;
}

int Target(const std::string& text, uint32_t seconds) {
  uint32_t address = 0;
  if (!platform::ParseDottedQuad(text, &address)) {
    std::fprintf(stderr, "discovery_probe: not an address: %s\n", text.c_str());
    return 2;
  }
  CPingSocket socket(HostOrderFromNetwork(address));
  const uint32_t start = platform::CurrentClock().TickMs();
  while (ElapsedMs(start) < seconds * 1000) {
    socket.SendDiscoveryRequest(kDiscoveryPort);
    platform::CurrentClock().Sleep(kSweepIntervalMs);
    uint8_t answer[kDiscoveryAnswerSize];
    platform::SocketAddress source;
    int result;
    while ((result = socket.ReceiveDiscoveryAnswer(answer, &source)) != kNothingReceived) {
      if (result == kAnswerReceived) {
        std::printf("answer from %s: %s\n", FormatIPv4(source.address).c_str(), ParseDiscoveryAnswer(answer).name.c_str());
      }
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t seconds = 3;
  std::string target;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--seconds" && i + 1 < argc) {
      seconds = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else if (option == "--target" && i + 1 < argc) {
      target = argv[++i];
    } else {
      std::fprintf(stderr, "usage: discovery_probe [--target A.B.C.D] [--seconds S]\n");
      return 2;
    }
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  return target.empty() ? Sweep(seconds) : Target(target, seconds);
}
