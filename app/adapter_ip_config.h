// Reading and setting the IP configuration of the protocol adapter of the system
// selected in the Local Systems list ("Configure IP Info..." of the main dialog).
//
// Every reachable adapter is asked with a ConfigQuery, from each row of the local
// address table in turn, up to ten times a row with a second's wait each; the
// answer that comes from the selected system's address is shown in "Configure IP
// Information", and on OK the edited record goes back to the adapter as a ConfigSet
// four times (twice to its address, twice to 255.255.255.255), with nothing awaited.
// Discovery is paused for the whole operation and resumes at its end in every case.
//
// All of it runs on the dialog's thread. The query phase pumps no events (it can
// last ten seconds per address row); the progress dialog shows each line at once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/adapter_ip_record.h"
#include "discovery/ping_socket.h"
#include "platform/socket.h"

class CDiRIRUVDlg;

constexpr int kConfigQueryAttempts = 10;
constexpr uint32_t kConfigAnswerWaitMs = 1000;
constexpr uint32_t kConfigPollPauseMs = 25;
// How long "No Response from Target System. Old Version?" stays on the screen.
constexpr uint32_t kNoResponseShownMs = 2000;
constexpr int kConfigSetSends = 4;
constexpr int kConfigSetSendsToTarget = 2;  // the rest go to 255.255.255.255
constexpr uint32_t kConfigSetPauseMs = 250;

using StatusPoster = std::function<void(const std::string& line)>;

// The whole operation for the selected line; nothing when no line is selected.
void ConfigureAdapterIp(CDiRIRUVDlg& dialog);

// Reads the answers reaching `socket` until the one from `target` (network order)
// has arrived, or until kConfigAnswerWaitMs have passed since `queryTick`. Every
// 100-byte answer overwrites *record and is reported as "Response From A.B.C.D";
// datagrams of other lengths are dropped silently. True when the target answered:
// *record is its answer and *source its sender.
bool AwaitTargetAnswer(CPingSocket& socket, uint32_t target, uint32_t queryTick, AdapterIpRecord* record,
                       platform::SocketAddress* source, const StatusPoster& post);
