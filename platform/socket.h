// Sockets: thin, IPv4-only calls over BSD sockets. Each call records the Windows
// Sockets code of its failure as the thread's last socket error (LastSocketErrorCode),
// which is how the layers above report "Error #10061 in connect(): ..." lines.
// Every socket is created close-on-exec; waits use poll() and the current clock, so
// a movable clock turns a time-out into a few milliseconds of real time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

using SocketHandle = int;
constexpr SocketHandle kInvalidSocket = -1;

// An IPv4 socket address: both values in network byte order, as on the wire.
struct SocketAddress {
  uint32_t address = 0;
  uint16_t port = 0;
};

SocketAddress MakeSocketAddress(uint32_t networkOrderAddress, uint16_t hostOrderPort);
uint16_t HostPort(const SocketAddress& address);
// 127.0.0.1 style text to a network-order address; false when not four numbers.
bool ParseDottedQuad(const std::string& text, uint32_t* networkOrderAddress);

// The Windows Sockets code of the last failed socket call on this thread.
int LastSocketErrorCode();
void SetLastSocketErrorCode(int code);

SocketHandle CreateTcpSocket();
SocketHandle CreateUdpSocket();
// Never shuts the connection down: a socket handed to a client shares it.
void CloseSocket(SocketHandle socket);
// Only for connections nobody else holds.
bool ShutdownReceive(SocketHandle socket);

bool SetNonBlocking(SocketHandle socket, bool nonBlocking);
bool SetNoDelay(SocketHandle socket, bool on);
bool SetBroadcast(SocketHandle socket, bool on);
bool SetReuseAddress(SocketHandle socket, bool on);

// Starts or makes a connect. True also means "in progress": on a non-blocking
// socket, or when a signal interrupted the wait (wait for writability then).
bool Connect(SocketHandle socket, const SocketAddress& address);
// A connect that blocks at most boundMs on the current clock, whatever the socket's
// mode, which it leaves as it found it. Past the bound the last error is 10060
// (connection timed out), as a plain blocking connect reports when the system
// gives up.
bool ConnectWithin(SocketHandle socket, const SocketAddress& address, int boundMs);
// The pending error of a connect that has finished (SO_ERROR; reading clears it),
// as a Windows Sockets code; 0 when it succeeded.
int PendingConnectError(SocketHandle socket);

enum class WaitResult { kReady, kTimedOut, kFailed };
// Waits until the socket is readable (or has an error or hang-up to report).
WaitResult WaitReadable(SocketHandle socket, int timeoutMs);
// Waits until the socket is writable; a failed connect also counts as writable.
WaitResult WaitWritable(SocketHandle socket, int timeoutMs);

// One send or receive call. Result: bytes moved, 0 for a closed peer on receive,
// -1 on failure (LastSocketErrorCode says why; 10035 when it would block).
// Sends never raise SIGPIPE.
long SendSome(SocketHandle socket, const void* bytes, size_t n);
long ReceiveSome(SocketHandle socket, void* buffer, size_t n);
// Bytes waiting to be read on a stream socket; -1 on failure.
long BytesWaiting(SocketHandle socket);

// A listening TCP socket bound to the address (port 0: any). *bound gets the
// address really bound.
SocketHandle ListenTcp(const SocketAddress& address, int backlog, SocketAddress* bound);
SocketHandle Accept(SocketHandle listener, SocketAddress* peer);
bool BindUdp(SocketHandle socket, const SocketAddress& address);
bool LocalAddress(SocketHandle socket, SocketAddress* address);
// True when the descriptor is a stream socket with a peer: what a client checks
// before it trusts a handle number it was given.
bool IsConnectedStream(SocketHandle socket);

// Datagrams. ReceiveDatagram takes exactly one datagram, also an empty one.
long SendDatagram(SocketHandle socket, const void* bytes, size_t n, const SocketAddress& to);
long ReceiveDatagram(SocketHandle socket, void* buffer, size_t n, SocketAddress* from);
// True when a datagram (possibly empty) is waiting; never blocks.
bool DatagramWaiting(SocketHandle socket);
// The same for many sockets in one look: waiting[i] tells about sockets[i]
// (invalid handles never wait). Never blocks.
void DatagramsWaiting(const std::vector<SocketHandle>& sockets, std::vector<bool>* waiting);

// Two connected local stream sockets (for feeding a reader in tests and harnesses).
bool CreateStreamPair(SocketHandle* first, SocketHandle* second);
// Sends bytes on a local stream socket with a descriptor attached. A reader's
// receive stops after such bytes, so it returns fewer than BytesWaiting announced:
// how tests make the short read that TCP on this system never shows.
long SendWithDescriptor(SocketHandle socket, const void* bytes, size_t n, int descriptor);

// Name to IPv4 address; false with the last socket error set (11001 and friends).
bool ResolveHost(const std::string& name, uint32_t* networkOrderAddress);

}  // namespace platform
