#include "app/adapter_ip_config.h"

#include "app/config_brick_dialog.h"
#include "app/connect_dialog.h"
#include "app/dialog_templates.h"
#include "app/main_dialog.h"
#include "discovery/datagrams.h"
#include "discovery/local_addresses.h"
#include "discovery/local_system_entry.h"
#include "platform/clock.h"
#include "platform/network_tables.h"

namespace {

// 255.255.255.255: the same in either byte order.
constexpr uint32_t kLimitedBroadcast = 0xFFFFFFFFu;

// The selected line's address, network order; false when no line with an entry is
// selected. The address is kept rather than the entry: the line may age out of the
// list while the user sits at the dialog.
bool SelectedTarget(CDiRIRUVDlg& dialog, uint32_t* target) {
  const int selected = dialog.ListGetCurSel(IDC_LOCAL_SYSTEMS);
  if (selected < 0) return false;
  const auto* entry = static_cast<const LocalSystemEntry*>(dialog.ListGetItemData(IDC_LOCAL_SYSTEMS, selected));
  if (entry == nullptr) return false;
  *target = entry->address;
  return true;
}

void OpenProgressDialog(CDiRIRUVDlg& dialog) {
  dialog.progressDialog = new CConnectDlg(&dialog);
  dialog.progressDialog->Create();
  dialog.progressDialog->ShowWindow(true);
}

// Asks from every row of the address table, ten times a row, until the target answers.
bool QueryAdapter(uint32_t target, AdapterIpRecord* record, platform::SocketAddress* source,
                  const StatusPoster& post) {
  const int rows = GetLocalAddressCount();
  for (int row = 0; row < rows; ++row) {
    uint32_t mask = 0;
    uint32_t address = 0;
    if (!GetLocalAddress(row, &mask, &address)) continue;
    for (int attempt = 0; attempt < kConfigQueryAttempts; ++attempt) {
      post("Sending Config Query...");
      CPingSocket socket(HostOrderFromNetwork(address));
      socket.SendConfigQuery();
      if (AwaitTargetAnswer(socket, target, platform::CurrentClock().TickMs(), record, source, post)) return true;
    }
  }
  return false;
}

// Sends are not checked and nothing is awaited: the adapter may take its new
// address at once and never answer from the old one.
void SendConfigSet(const AdapterIpRecord& record, uint32_t adapter, const StatusPoster& post) {
  uint8_t set[kConfigSetSize];
  BuildConfigSet(record, set);
  const platform::SocketAddress toAdapter = platform::MakeSocketAddress(adapter, kDiscoveryPort);
  const platform::SocketAddress toEveryone = platform::MakeSocketAddress(kLimitedBroadcast, kDiscoveryPort);
  CPingSocket socket(HostOrderFromNetwork(adapter));
  for (int i = 0; i < kConfigSetSends; ++i) {
    socket.SendDatagram(i < kConfigSetSendsToTarget ? toAdapter : toEveryone, set, sizeof set);
    post("IP Config Sent...");
    platform::CurrentClock().Sleep(kConfigSetPauseMs);
  }
}

void EndOperation(CDiRIRUVDlg& dialog) {
  dialog.DestroyProgressDialog();
  dialog.Discovery().OpenDiscoverySockets();
}

}  // namespace

bool AwaitTargetAnswer(CPingSocket& socket, uint32_t target, uint32_t queryTick, AdapterIpRecord* record,
                       platform::SocketAddress* source, const StatusPoster& post) {
  while (ElapsedMs(queryTick) < kConfigAnswerWaitMs) {
    const int result = socket.ReceiveConfigAnswer(record->bytes, source);
    if (result == kNothingReceived) {
      platform::CurrentClock().Sleep(kConfigPollPauseMs);
      continue;
    }
    if (result != kAnswerReceived) continue;
    post("Response From " + FormatIPv4(source->address));
    if (source->address == target) return true;
  }
  return false;
}

void ConfigureAdapterIp(CDiRIRUVDlg& dialog) {
  // The window toolkit leaves the main dialog usable under a modal dialog: a second
  // click while our editor is open must not start another operation inside this one.
  if (dialog.progressDialog != nullptr) return;
  uint32_t target = 0;
  if (!SelectedTarget(dialog, &target)) return;
  const StatusPoster post = [&dialog](const std::string& line) { dialog.PostStatus(line); };
  OpenProgressDialog(dialog);
  post("Retrieving IP Configuration...");
  AdapterIpRecord record;
  platform::SocketAddress source;
  dialog.Discovery().CloseDiscoverySockets();
  if (!QueryAdapter(target, &record, &source, post)) {
    post("No Response from Target System. Old Version?");
    platform::CurrentClock().Sleep(kNoResponseShownMs);
    EndOperation(dialog);
    return;
  }
  CConfigBrickDlg editor(&record, &dialog);
  if (editor.DoModal() == ui::kIdOk) SendConfigSet(record, source.address, post);
  dialog.EnableItem(IDC_START, false);
  dialog.EnableItem(IDC_CONFIGURE, false);
  dialog.EnableItem(IDC_CONFIGURE_IP, false);
  EndOperation(dialog);
}
