// The launch sequence: from Start or Configure to a running client holding the
// connected, logged-in socket.
#include "app/launch.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/dialog_templates.h"
#include "app/log_file.h"
#include "app/login_record.h"
#include "app/main_dialog.h"
#include "app/remote_connect.h"
#include "config/pool_config.h"
#include "local/zk_query.h"
#include "local/zk_server.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/socket.h"
#include "platform/socket_handover.h"
#include "platform/text_encoding.h"
#include "protocol/message.h"
#include "protocol/message_codes.h"
#include "versions/version.h"

namespace {

constexpr uint32_t kLoopbackAddress = 0x0100007F;  // 127.0.0.1 as it lies in memory
constexpr uint16_t kDefaultPort = 80;

long LeadingNumber(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

bool ParseDotted(const std::string& text, uint32_t* address) {
  uint32_t value = 0;
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t dot = text.find('.', start);
    if (dot == std::string::npos && i < 3) return false;
    const std::string piece = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    value |= (static_cast<uint32_t>(std::atoi(piece.c_str())) & 0xFFu) << (8 * i);
    start = dot == std::string::npos ? text.size() : dot + 1;
  }
  *address = value;
  return true;
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return i == a.size() && b[i] == '\0';
}

bool VersionBelow(const std::string& version, const char* threshold) {
  return ParseVersion(version) < ParseVersion(threshold);
}

}  // namespace

bool ParseHostAddress(std::string& text, uint32_t* address, uint16_t* port) {
  *port = kDefaultPort;
  uint32_t value = 0;
  const size_t colon = text.find(':');
  if (colon != std::string::npos) {
    *port = static_cast<uint16_t>(LeadingNumber(text.substr(colon + 1)));
    text.resize(colon);
    uint32_t resolved = 0;
    if (platform::ResolveHost(text, &resolved)) {
      *address = resolved;
      return true;
    }
  }
  if (!ParseDotted(text, &value) || value == 0) return false;
  *address = value;
  return true;
}

std::string NormalizeSystemName(const std::string& name) {
  std::string text = name;
  if (text.size() >= 8 && EqualsIgnoringCase(text.substr(0, 8), "QUORVEX:")) text.erase(0, 8);
  text.erase(0, text.find_first_not_of(' ') == std::string::npos ? text.size() : text.find_first_not_of(' '));
  std::string digits;
  for (char c : text) {
    if (c != '-') digits += c;
  }
  auto piece = [&](size_t at) { return at < digits.size() ? digits.substr(at, 2) : std::string(); };
  return "Quorvex: " + piece(0) + "-" + piece(2) + "-" + piece(4);
}

bool IsSmallScreen() {
  const int height = ui::CurrentToolkit().ScreenHeight();
  return height > 0 && height <= 600;
}

bool CDiRIRUVDlg::Launch(int clientKind) {
  launchBusy = true;
  ui::CurrentToolkit().SetWaitCursor(true);
  auto fail = [this](const std::string& line) {
    PostStatus(line);
    EndLaunch(true, true);
    return false;
  };

  UpdateData(true);
  smallScreen = IsSmallScreen() ? 1 : 0;
  const int selected = ListGetCurSel(IDC_LOCAL_SYSTEMS);
  const LocalSystemEntry* entry =
      selected >= 0 ? static_cast<LocalSystemEntry*>(ListGetItemData(IDC_LOCAL_SYSTEMS, selected)) : nullptr;
  bool isLocal = entry != nullptr || demoMode != 0;

  uint32_t typedAddress = 0;
  uint16_t typedPort = kDefaultPort;
  std::string copy = systemName;
  if (ParseHostAddress(copy, &typedAddress, &typedPort)) {
    isLocal = true;
  } else {
    typedAddress = 0;
    typedPort = kDefaultPort;
    systemName = NormalizeSystemName(systemName);
    UpdateData(false);
  }

  if (isLocal) {
    lastAddress = demoMode ? kLoopbackAddress : typedAddress;
    if (!demoMode && entry != nullptr) lastAddress = entry->address;
  }

  LoginRecord record;
  record.systemName = systemName;
  record.password = password;
  record.lastAddress = lastAddress;
  record.optionsExpanded = optionsExpanded;
  record.rememberLogin = rememberLogin;
  record.osdMode = osdMode;
  record.smallScreen = smallScreen;
  // A file that cannot be written changes nothing: the name and password that
  // bring each other back stay those of the last login actually remembered.
  if (WriteLoginRecord(LoginFilePath(), record, isLocal)) {
    rememberedName = rememberLogin ? systemName : std::string();
    rememberedPassword = rememberLogin ? password : std::string();
  }

  const int32_t connectionType = clientKind == 0 ? 0 : 3;
  std::string versionText;
  if (isLocal) {
    uint32_t address = typedAddress;
    uint16_t port = typedPort;
    if (demoMode) {
      address = kLoopbackAddress;
      port = kDefaultPort;
    } else if (entry != nullptr) {
      address = entry->address;
      port = entry->port;
    }
    theServer->SetPassword(password);
    if (!theServer->ConnectLocal(address, port, connectionType)) {
      if (!demoMode) ui::MessageBox("Connection Failed");
      EndLaunch(true, true);
      return false;
    }
  } else {
    progressDialog = new CConnectDlg(this);
    progressDialog->Create();
    progressDialog->ShowWindow(true);
    int32_t versionValue = -1;
    DialogStatusSink status(*this);
    if (!ConnectRemote(&status, systemName, password, connectionType, &versionText, &versionValue)) {
      EndLaunch(true, true);
      return false;
    }
  }

  if (isLocal) {
    PostStatus("Getting Version Information");
    std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, message_codes::VersionQuery, 0, true);
    CZkQuery query;
    CZkMSG* answer = nullptr;
    if (!request || !query.Ask(&answer, request.get()) || !answer->ReadString(&versionText)) {
      return fail("ERROR: Can't get version info");
    }
    int32_t versionValue = 0;
    answer->ReadInt(&versionValue);
    PostStatus("Remote System Version is: " + versionText);
  }

  if (VersionBelow(versionText, kOldestSupportedVersion)) {
    ui::MessageBox("ERROR: Cannot continue, the host system is running version " + versionText +
                   "\nPlease upgrade to " + kOldestSupportedVersion + " or higher and try again.");
    return fail("ERROR: Version too old");
  }

  const char* executable = clientKind == 1 ? "VEDUVUZI.EXE" : (osdMode == 1 ? "VUZUZ.EXE" : "CLEARSLATE.EXE");

  PostStatus("Verifying System Name");
  {
    std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, message_codes::SystemNameQuery, 0, true);
    CZkQuery query;
    CZkMSG* answer = nullptr;
    if (!request || !query.Ask(&answer, request.get())) return fail("ERROR: Can't get System Name");
    std::string name;
    answer->ReadInt();
    answer->ReadInt();
    answer->ReadString(&name);
    if (name != systemName) return fail("ERROR: Connected to wrong system");
  }

  {
    CPoolConfig config(0);
    const uint8_t type = config.GetControllerType();
    if (type == CPoolConfig::kStandaloneChemistryType) return fail("ERROR: Can't Connect to standalone Quimerix");
    if ((type == CPoolConfig::kSolvarinType || type == CPoolConfig::kFamilyType13 ||
         type == CPoolConfig::kFamilyType14) &&
        !config.IsSupportedFamilyType()) {
      return fail("ERROR: Can't Connect to Solvarin");
    }
  }

  const std::string path = GetProgramFolder() + "/" + VersionFolderName(versionText) + "/" + executable;
  if (!platform::PathExists(path)) {
    return fail(clientKind == 1 ? "ERROR: Correct Configurator version cannot be found"
                                : "ERROR: Correct Viewer version cannot be found");
  }

  const int socket = theServer->GetSocket()->GetHandle();
  const bool socketFile = !VersionBelow(versionText, kSocketFileVersion);
  platform::SocketHandoverEndpoint endpoint;
  std::vector<std::string> arguments = {"/R", "/USER:" + platform::Latin1ToUtf8(systemName),
                                        "/PASS:" + platform::Latin1ToUtf8(password)};
  if (socketFile) {
    // Named after this dialog's address, as the clients have always been told.
    // Without an endpoint the client could never take the socket: no point starting it.
    if (!endpoint.Listen(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this)))) {
      return fail("ERROR: Can't Start Executable");
    }
    arguments.push_back("/SOCKFILE:" + endpoint.Name());
  } else {
    arguments.push_back("/SOCKET:3");
  }
  arguments.push_back("/TITLE:Tidewatcher");

  platform::ChildProcess child;
  if (!platform::StartProcess(path, arguments, socketFile ? -1 : socket, &child)) {
    return fail("ERROR: Can't Start Executable");
  }
  childProcess = child;
  // From here on the client shares the connection: closing ours must not end it.
  theServer->GetSocket()->MarkHandedOver();
  if (socketFile) endpoint.Deliver(child, socket, kHandoverWaitMs);

  PostStatus("Running");
  ShowWindow(false);
  EndLaunch(VersionBelow(versionText, kKeepConnectionVersion), false);
  return true;
}

void CDiRIRUVDlg::EndLaunch(bool closeConnection, bool waitForUser) {
  DisposeRemoteObjects();
  if (closeConnection && theServer != nullptr) theServer->GetSocket()->Close();
  if (progressDialog != nullptr) {
    if (waitForUser) {
      while (progressDialog->Poll()) platform::CurrentClock().Sleep(1);
    }
    progressDialog->WriteLog(kLogFileName, systemName);
    DestroyProgressDialog();
  }
  launchBusy = false;
  ui::CurrentToolkit().SetWaitCursor(false);
}

void CDiRIRUVDlg::WatchChild() {
  int code = 0;
  if (platform::GetExitCode(childProcess, &code) && code == platform::kStillActive) return;
  ShowWindow(true);
  EnableItem(IDC_START, true);
  EnableItem(IDC_CONFIGURE, true);
  discovery_.OpenDiscoverySockets();
  PostStatus("Ready");
  EndLaunch(true, true);
  childProcess = platform::ChildProcess();
}
