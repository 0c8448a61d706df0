#include "remote/discovery_client.h"

#include "app/status_sink.h"
#include "protocol/message.h"
#include "protocol/message_codes.h"

namespace codes = message_codes;

CDiscoveryServiceClient* theDiscoveryClient = nullptr;

namespace {

void Report(CStatusSink* sink, const std::string& line) {
  if (sink != nullptr) sink->ShowStatus(line);
}

bool ReadLookupAnswer(CZkMSG& answer, SystemLocation* location, std::string* errorText) {
  uint8_t found = 0, unused = 0, open = 0, relay = 0;
  uint16_t port = 0;
  std::string address;
  answer.ReadByte(&found);
  answer.ReadByte(&unused);
  answer.ReadString(&address);
  answer.ReadShort(&port);
  answer.ReadByte(&open);
  answer.ReadByte(&relay);
  if (found == 0) {
    *errorText = "System not found";
    return false;
  }
  location->address = address;
  location->port = port;
  location->publicPortOpen = open;
  location->relayMode = relay;
  return true;
}

}  // namespace

bool ReadDiscoveryReply(const uint8_t* message, SystemLocation* location, std::string* errorText) {
  std::unique_ptr<CZkMSG> answer = CZkMSG::Wrap(message);
  if (!answer) {
    *errorText = "Communication to Discovery Service failed";
    return false;
  }
  switch (answer->GetCode()) {
    case codes::DiscoveryError:
      errorText->clear();
      answer->ReadString(errorText);
      return false;
    case codes::SystemLookupAnswer:
      return ReadLookupAnswer(*answer, location, errorText);
    default:
      *errorText = "Unrecognized response (" + std::to_string(static_cast<int16_t>(answer->GetCode())) + ")";
      return false;
  }
}

CDiscoveryServiceClient::CDiscoveryServiceClient(const uint8_t address[4], uint16_t port)
    : socket(std::make_unique<CSocketZk>(address, port, kDiscoveryTimeoutMs)) {
  if (socket->connectOk) {
    connected = true;
  } else {
    errorText_ = "Cannot connect to Discovery Service. " + socket->GetErrorText() + "\n";
  }
}

CDiscoveryServiceClient::~CDiscoveryServiceClient() { socket->Close("Destructor"); }

bool CDiscoveryServiceClient::LookupSystem(const std::string& systemName, const std::string& serviceName) {
  if (!socket->isOpen) {
    errorText_ = "Not connected to Discovery Service. " + socket->GetErrorText();
    return false;
  }
  std::unique_ptr<CZkMSG> request = CZkMSG::Create(0, codes::SystemLookupQuery, 0, true);
  if (!request || !request->WriteString(systemName) || !request->WriteString(serviceName) ||
      !socket->Send(request->GetWireSize(), request->GetWire(), request->GetQueueIfBlocked())) {
    errorText_ = "Send failed. " + socket->GetErrorText();
    return false;
  }
  if (!AwaitAnswer()) return false;
  SystemLocation location;
  if (!ReadDiscoveryReply(socket->messageBuffer.data(), &location, &errorText_)) return false;
  foundAddress = location.address;
  foundPort = location.port;
  publicPortOpen = location.publicPortOpen;
  relayMode = location.relayMode;
  return true;
}

// The first message of the service, whatever it is, lands in the socket's
// messageBuffer. The wait ends with it or with the connection: a silent service
// is given up by the socket's own inactivity time-out.
bool CDiscoveryServiceClient::AwaitAnswer() {
  while (!socket->ReceiveMessage()) {
    if (!socket->isOpen) {
      errorText_ = "Communication to Discovery Service failed";
      return false;
    }
    socket->Wait();
  }
  return true;
}

bool ConnectDiscoveryService(const uint8_t address[4], uint16_t port, CStatusSink* sink) {
  if (theDiscoveryClient != nullptr) {
    Report(sink, "Connected.");
    return true;
  }
  Report(sink, "Connecting to Discovery Service...");
  theDiscoveryClient = new CDiscoveryServiceClient(address, port);
  if (!theDiscoveryClient->connected) {
    Report(sink, "ERROR: " + theDiscoveryClient->GetErrorText());
    return false;
  }
  Report(sink, "Connected.");
  return true;
}

bool FindRemoteSystem(const std::string& systemName, const std::string& serviceName, const uint8_t address[4],
                      uint16_t port, CStatusSink* sink) {
  if (!ConnectDiscoveryService(address, port, sink)) return false;
  Report(sink, "Sending GATEWAY remote connection request...");
  if (!theDiscoveryClient->LookupSystem(systemName, serviceName)) {
    Report(sink, "ERROR: " + GetDiscoveryError());
    return false;
  }
  const CDiscoveryServiceClient& client = *theDiscoveryClient;
  Report(sink, "Remote connection authorized.");
  Report(sink, "Found system at " + client.foundAddress + ":" + std::to_string(client.foundPort) + ".");
  if (client.publicPortOpen == 0) Report(sink, "Public port closed.");
  if (client.relayMode != 0) Report(sink, "Relay mode is ON.");
  return true;
}

void DisposeDiscoveryClient() {
  delete theDiscoveryClient;
  theDiscoveryClient = nullptr;
}

std::string GetDiscoveryError() {
  return theDiscoveryClient != nullptr ? theDiscoveryClient->GetErrorText() : "No Instance created";
}

std::string GetFoundAddress() {
  return theDiscoveryClient != nullptr && theDiscoveryClient->connected ? theDiscoveryClient->foundAddress
                                                                         : std::string();
}
