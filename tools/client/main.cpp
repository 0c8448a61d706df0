// tidewatcher-client: the reference client. Installed as CLEARSLATE.EXE (viewer),
// VEDUVUZI.EXE (configurator) and VUZUZ.EXE (the other viewer), it takes over the
// connection the launcher hands it, asks the system's name and version over it
// under its own query identifiers, and shows them until it is closed or the
// connection ends. That is the proof that a hand-over gives a working session that
// is already logged in.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/named_mutex.h"
#include "platform/process.h"
#include "platform/signals.h"
#include "platform/socket.h"
#include "platform/socket_handover.h"
#include "platform/text_encoding.h"
#include "protocol/message_codes.h"
#include "tools/client/client_connection.h"
#include "tools/client/client_options.h"
#include "tools/client/client_report.h"
#include "tools/client/client_window.h"

namespace {

namespace codes = message_codes;

// Our own identifiers: never 0 (outside any query) nor 0x7FFF (to everyone), and
// far from the small numbers the launcher's queries use on the same connection.
constexpr uint16_t kSystemNameQueryId = 0x4001;
constexpr uint16_t kVersionQueryId = 0x4002;
constexpr uint16_t kSystemNameAgainQueryId = 0x4003;
constexpr int kIdleSliceMs = 50;
constexpr char kViewerMutex[] = "ClearslateMutex";
constexpr char kDefaultTitle[] = "Tidewatcher";
constexpr char kExitAfterVariable[] = "TIDEWATCHER_CLIENT_EXIT_AFTER_MS";
constexpr char kAskAgainVariable[] = "TIDEWATCHER_CLIENT_ASK_AGAIN_MS";

constexpr char kUsage[] =
    "usage: tidewatcher-client /R /USER:<system name> /PASS:<password>\n"
    "                          (/SOCKET:<n> | /SOCKFILE:<name>) /TITLE:<title>\n"
    "\n"
    "The reference client. The launcher starts it with a connection that is already\n"
    "logged in: as descriptor n (/SOCKET:), or handed over through the launcher's\n"
    "endpoint of that name (/SOCKFILE:). It asks the system's name and version over\n"
    "that connection and shows them until it is closed or the connection ends.\n"
    "Started as CLEARSLATE.EXE or VUZUZ.EXE it is a viewer and holds ClearslateMutex\n"
    "while it runs; as VEDUVUZI.EXE it is the configurator.\n"
    "\n"
    "Environment:\n"
    "  TIDEWATCHER_CLIENT_REPORT=PATH        also append every line to PATH\n"
    "  TIDEWATCHER_CLIENT_EXIT_AFTER_MS=N    end after N ms\n"
    "  TIDEWATCHER_CLIENT_ASK_AGAIN_MS=N     N ms after the answers, ask the name again\n"
    "\n"
    "Exit status: 0 the session worked, 1 it did not, 2 usage error.\n";

std::atomic<bool> g_stopRequested{false};

// A termination request is taken on a thread of its own and seen by the main
// loop within one slice, so the client ends the way it ends when closed.
void WatchForTermination() {
  if (!platform::BlockTerminationSignals()) return;
  std::thread([] {
    if (platform::WaitForTerminationSignal() > 0) g_stopRequested = true;
  }).detach();
}

// A non-negative number of milliseconds from the environment; -1 when unset or
// not a number.
long EnvironmentMs(const char* name) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return -1;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return *end == '\0' && value >= 0 ? value : -1;
}

std::string DescriptorList() {
  std::string list;
  for (int descriptor : platform::OpenDescriptors()) {
    list += (list.empty() ? "" : " ") + std::to_string(descriptor);
  }
  return list;
}

bool TakeSocket(const ClientOptions& options, platform::SocketHandle* socket, std::string* error) {
  if (options.hasSocketFile) {
    return platform::ReceiveHandedOverSocket(options.socketFile, socket, error);
  }
  if (!platform::IsConnectedStream(options.socketNumber)) {
    *error = "descriptor " + std::to_string(options.socketNumber) + " is not a connected stream socket";
    return false;
  }
  *socket = options.socketNumber;
  return true;
}

// SystemNameAnswer: int, int, then the name.
bool AskSystemName(ClientConnection& connection, uint16_t queryId, std::string* name, std::string* error) {
  std::unique_ptr<CZkMSG> answer = connection.Ask(codes::SystemNameQuery, queryId, error);
  if (!answer) return false;
  if (answer->ReadInt() && answer->ReadInt() && answer->ReadString(name)) return true;
  *error = "the system name answer cannot be read";
  return false;
}

// VersionAnswer: the version text, then its value.
bool AskVersion(ClientConnection& connection, std::string* version, std::string* error) {
  std::unique_ptr<CZkMSG> answer = connection.Ask(codes::VersionQuery, kVersionQueryId, error);
  if (!answer) return false;
  if (answer->ReadString(version) && answer->ReadInt()) return true;
  *error = "the version answer cannot be read";
  return false;
}

struct Timing {
  uint32_t startTick = 0;
  long exitAfterMs = -1;
  long askAgainMs = -1;
};

// Runs until something ends the session; the text says what. `failed` is set when
// the repeated question went unanswered.
std::string RunUntilEnd(ClientConnection& connection, ClientWindow* window, const ClientReport& report,
                        const Timing& timing, bool* failed) {
  const uint32_t shownTick = platform::CurrentClock().TickMs();
  bool askedAgain = timing.askAgainMs < 0;
  while (true) {
    if (g_stopRequested) return "termination requested";
    if (timing.exitAfterMs >= 0 && ElapsedMs(timing.startTick) >= static_cast<uint32_t>(timing.exitAfterMs)) {
      return "time elapsed";
    }
    if (!askedAgain && ElapsedMs(shownTick) >= static_cast<uint32_t>(timing.askAgainMs)) {
      askedAgain = true;
      std::string name, error;
      if (!AskSystemName(connection, kSystemNameAgainQueryId, &name, &error)) {
        report.Error("the system name asked again: " + error);
        *failed = true;
        return "question failed";
      }
      report.Line("system again " + platform::Latin1ToUtf8(name));
    }
    std::string reason;
    if (window != nullptr) {
      window->Pump(kIdleSliceMs);
      if (window->Closed()) return "closed";
    }
    if (!connection.StillOpen(window != nullptr ? 0 : kIdleSliceMs, &reason)) return "connection ended: " + reason;
  }
}

}  // namespace

int main(int argc, char** argv) {
  WatchForTermination();
  Timing timing;
  timing.startTick = platform::CurrentClock().TickMs();
  timing.exitAfterMs = EnvironmentMs(kExitAfterVariable);
  timing.askAgainMs = EnvironmentMs(kAskAgainVariable);
  const char* reportPath = std::getenv(ClientReport::kReportVariable);
  const ClientReport report(reportPath != nullptr ? reportPath : "");

  ClientOptions options;
  std::string error;
  const bool parsed = ParseClientOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error);
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("tidewatcher-client %s\n", TW_CLIENT_VERSION);
    return 0;
  }
  if (!parsed) {
    report.Error(error + " (see --help)");
    return 2;
  }

  // Before anything of ours is opened: what the launcher let us inherit.
  report.Line("descriptors " + DescriptorList());
  platform::SocketHandle socket = platform::kInvalidSocket;
  if (!TakeSocket(options, &socket, &error)) {
    report.Error("cannot take the socket: " + error);
    return 1;
  }
  const ClientProgram program = ProgramFromPath(argc > 0 ? argv[0] : "");
  platform::NamedMutexHolder viewerMutex;
  if (HoldsViewerMutex(program) && !viewerMutex.Acquire(kViewerMutex)) {
    report.Error(std::string("cannot hold ") + kViewerMutex + ": another viewer runs");
  }

  ClientConnection connection(socket, &g_stopRequested);
  std::string name, version;
  if (!AskSystemName(connection, kSystemNameQueryId, &name, &error) || !AskVersion(connection, &version, &error)) {
    report.Error("the session does not work: " + error);
    return 1;
  }
  const std::string title = options.title.empty() ? kDefaultTitle : options.title;
  const ClientWindow::Content content{platform::Latin1ToUtf8(title), platform::Latin1ToUtf8(name),
                                      platform::Latin1ToUtf8(version), ProgramLabel(program)};
  report.Line("program " + content.program);
  report.Line("title " + content.title);
  report.Line("system " + content.system);
  report.Line("version " + content.version);

  std::unique_ptr<ClientWindow> window = ClientWindow::Open(content);
  bool failed = false;
  const std::string end = RunUntilEnd(connection, window.get(), report, timing, &failed);
  report.Line("end " + end);
  window.reset();
  platform::CloseSocket(socket);
  return failed ? 1 : 0;
}
