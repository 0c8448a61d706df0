#include "remote/remote_connect.h"

#include "app/status_sink.h"
#include "local/zk_server.h"
#include "protocol/login.h"
#include "remote/discovery_client.h"
#include "remote/discovery_server_address.h"
#include "remote/dotted_address.h"
#include "remote/gateway_manager.h"

namespace {

// Where the discovery service says the system is.
struct FoundSystem {
  std::string address;
  uint16_t port = 0xFFFF;
  int32_t relayMode = 0;
};

FoundSystem TakeFoundSystem() {
  FoundSystem found;
  found.address = GetFoundAddress();
  if (theDiscoveryClient != nullptr && theDiscoveryClient->connected) {
    found.port = theDiscoveryClient->foundPort;
    found.relayMode = theDiscoveryClient->relayMode;
  }
  return found;
}

// The local engine takes over the gateway connection; the manager goes, the
// connection stays.
bool HandToLocalEngine() {
  if (theServer == nullptr) return false;
  CZkSocket* engine = theServer->GetSocket();
  if (engine->IsOpen()) engine->Close();
  engine->Adopt(theGatewayManager->socket->handle);
  DisposeGatewayManager(false);
  return true;
}

}  // namespace

bool ConnectRemote(CStatusSink* sink, const std::string& systemName, const std::string& password,
                   int32_t connectionType, std::string* versionText, int32_t* versionValue) {
  std::string serviceAddress;
  uint16_t servicePort = 0;
  if (!GetDiscoveryServer(&serviceAddress, &servicePort)) return false;
  if (sink != nullptr) sink->ShowStatus("Discovery Service: " + serviceAddress + ":" + std::to_string(servicePort));
  uint8_t address[4] = {};
  if (!ParseDottedAddress(serviceAddress, "", &address[0], &address[1], &address[2], &address[3], nullptr)) {
    return false;
  }
  const std::string serviceName = connectionType == kConfiguratorConnection ? kConfiguratorServiceName : systemName;
  if (!FindRemoteSystem(systemName, serviceName, address, servicePort, sink)) {
    DisposeDiscoveryClient();
    return false;
  }
  const FoundSystem found = TakeFoundSystem();
  DisposeDiscoveryClient();

  if (!ConnectToGateway(systemName, password, found.address, found.port, found.relayMode, connectionType, sink)) {
    DisposeGatewayManager(true);
    return false;
  }
  *versionText = GetRemoteVersionText();
  *versionValue = theGatewayManager->connected ? theGatewayManager->versionValue : -1;
  if (!HandToLocalEngine()) {
    DisposeGatewayManager(true);
    return false;
  }
  return true;
}

void DisposeRemoteObjects() {
  DisposeDiscoveryClient();
  DisposeGatewayManager(false);
}
