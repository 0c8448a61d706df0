// Socket error numbers as the program reports them: the Windows Sockets codes, so
// a line such as "Error #10061 in connect(): Connection refused." reads the same on
// every platform. errno values and resolver failures are mapped here and only here.
#pragma once

namespace platform {

constexpr int kWsaWouldBlock = 10035;
constexpr int kWsaTimedOut = 10060;
constexpr int kWsaConnectionRefused = 10061;
constexpr int kWsaHostNotFound = 11001;

// The Windows Sockets code for an errno value. An errno without a counterpart
// keeps its own number, which SocketErrorText reports as "Unknown.".
int WsaErrorFromErrno(int errnoValue);

// The Windows Sockets code for a getaddrinfo result (EAI_*); `errnoValue` is read
// for EAI_SYSTEM.
int WsaErrorFromResolver(int resolverError, int errnoValue);

}  // namespace platform

// The short English text of a Windows Sockets error code; "Unknown." for others.
const char* SocketErrorText(int code);
