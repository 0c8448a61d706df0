// The remote path of the launch: reaching a system by its name through the
// discovery service and its gateway, directly or through the relay.
#pragma once

#include <cstdint>
#include <string>

class CDiRIRUVDlg;

// Posts its progress lines to the dialog. True when the connection manager's
// socket engine holds the logged-in connection and *versionText is set.
bool ConnectRemote(CDiRIRUVDlg& dialog, int32_t connectionType, std::string* versionText, int32_t* versionValue);

// Deletes whatever remote objects a connect left behind (the gateway manager
// without closing its socket).
void DisposeRemoteObjects();
