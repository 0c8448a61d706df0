// The remote path of a launch as one call: find the discovery service, ask it
// where the named system is, connect to the system's gateway (directly or through
// the relay), log in, read the version, and give the logged-in connection to the
// local connection manager (theServer), so that the rest of the launch and the
// hand-over to the client work exactly as for a local system.
#pragma once

#include <cstdint>
#include <string>

class CStatusSink;

// Every step is a status line on `sink` (the open progress dialog). True when
// theServer's socket engine holds the logged-in connection; *versionText and
// *versionValue are then the system's. On false nothing is connected and no
// remote object is left behind.
bool ConnectRemote(CStatusSink* sink, const std::string& systemName, const std::string& password,
                   int32_t connectionType, std::string* versionText, int32_t* versionValue);

// Deletes whatever remote objects are left (the gateway manager without closing
// its connection): the clean-up at the end of every launch attempt.
void DisposeRemoteObjects();
