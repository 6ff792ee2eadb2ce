// The one place where Winsock 1.1 and BSD sockets differ: handle type, start-up, closing,
// errors, waiting on a handle with a time limit and the first IPv4 address of a host name.
// Everything above this file is written once for both.
#pragma once

#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <winsock.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <cerrno>
#endif

#ifdef _WIN32
using SocketHandle = SOCKET;
using SocketStartupData = WSADATA;
using SocketLength = int;
constexpr SocketHandle kInvalidSocket = INVALID_SOCKET;
#else
using SocketHandle = int;
struct SocketStartupData {};
using SocketLength = socklen_t;
constexpr SocketHandle kInvalidSocket = -1;
#endif

// Starts the socket layer (Winsock 1.1); returns 0 on success, as WSAStartup does.
inline int SocketStartup(SocketStartupData* data) {
#ifdef _WIN32
  return WSAStartup(0x0101, data);
#else
  (void)data;
  return 0;
#endif
}

inline void SocketCleanup() {
#ifdef _WIN32
  WSACleanup();
#endif
}

inline SocketHandle OpenTcpHandle() {
  return socket(AF_INET, SOCK_STREAM, 0);
}

// Shuts down both directions (SD_BOTH, which winsock.h of Winsock 1.1 does not name).
inline void ShutdownBoth(SocketHandle handle) {
#ifdef _WIN32
  shutdown(handle, 2);
#else
  shutdown(handle, SHUT_RDWR);
#endif
}

inline int CloseHandleOfSocket(SocketHandle handle) {
#ifdef _WIN32
  return closesocket(handle);
#else
  return close(handle);
#endif
}

// How another thread breaks a call that is blocked on a handle. Winsock cancels it when the
// handle is closed. Elsewhere a close from another thread neither reliably wakes the call nor
// is safe (the number is handed out again at once), so a shutdown wakes it and the thread that
// uses the handle closes it.
#ifdef _WIN32
constexpr bool kAbortByClosing = true;
#else
constexpr bool kAbortByClosing = false;
#endif

inline int LastSocketError() {
#ifdef _WIN32
  return WSAGetLastError();
#else
  return errno;
#endif
}

// The code of a connect or receive that gave up on its peer within the program's time limit.
#ifdef _WIN32
constexpr int kTimedOutError = WSAETIMEDOUT;
#else
constexpr int kTimedOutError = ETIMEDOUT;
#endif

// Whether a connect or receive failed because a time limit passed.
inline bool IsTimeoutError(long error) {
#ifdef _WIN32
  return error == WSAETIMEDOUT;
#else
  return error == ETIMEDOUT || error == EAGAIN || error == EWOULDBLOCK;
#endif
}

// A non-blocking handle makes connect return at once, so that its wait can have a limit.
inline bool SetBlocking(SocketHandle handle, bool blocking) {
#ifdef _WIN32
  u_long non_blocking = blocking ? 0 : 1;
  return ioctlsocket(handle, FIONBIO, &non_blocking) == 0;
#else
  const int flags = fcntl(handle, F_GETFL, 0);
  return flags != -1 &&
         fcntl(handle, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
#endif
}

// Begins a connect on a non-blocking handle: 1 connected, 0 under way, -1 failed.
inline int BeginConnect(SocketHandle handle, const sockaddr* address, int size) {
#ifdef _WIN32
  if (connect(handle, address, size) == 0) return 1;
  return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
#else
  if (connect(handle, address, static_cast<socklen_t>(size)) == 0) return 1;
  // A connect that a signal interrupts goes on in the background.
  return errno == EINPROGRESS || errno == EINTR ? 0 : -1;
#endif
}

// Waits at most ms for the handle to have bytes (or an end) to read, or with for_connect for
// its connect to end: 1 when it has, 0 when not yet (a signal counts as not yet), -1 on failure.
inline int WaitForHandle(SocketHandle handle, bool for_connect, int ms) {
#ifdef _WIN32
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(handle, &ready);
  fd_set failed;  // where a failed connect shows
  FD_ZERO(&failed);
  FD_SET(handle, &failed);
  timeval wait = {ms / 1000, (ms % 1000) * 1000};
  const int count = select(0, for_connect ? nullptr : &ready, for_connect ? &ready : nullptr,
                           for_connect ? &failed : nullptr, &wait);
  return count > 0 ? 1 : count;
#else
  pollfd entry{handle, static_cast<short>(for_connect ? POLLOUT : POLLIN), 0};
  const int count = poll(&entry, 1, ms);
  if (count < 0) return errno == EINTR ? 0 : -1;
  return count > 0 ? 1 : 0;
#endif
}

// How a connect that WaitForHandle saw end turned out: 0 connected, else the system's code.
inline int ConnectOutcome(SocketHandle handle) {
  int error = 0;
  SocketLength length = sizeof error;
  if (getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
    return LastSocketError();
  }
  return error;
}

// One send; never raises SIGPIPE when the peer has gone. A POSIX call that a signal
// interrupts before any byte moved is made again: an interruption is no network failure.
inline int SendOnce(SocketHandle handle, const char* bytes, int length) {
#ifdef _WIN32
  return send(handle, bytes, length, 0);
#else
#ifdef MSG_NOSIGNAL
  const int flags = MSG_NOSIGNAL;
#else
  const int flags = 0;
#endif
  ssize_t sent;
  do {
    sent = send(handle, bytes, static_cast<size_t>(length), flags);
  } while (sent < 0 && errno == EINTR);
  return static_cast<int>(sent);
#endif
}

inline int ReceiveOnce(SocketHandle handle, char* buffer, int capacity) {
#ifdef _WIN32
  return recv(handle, buffer, capacity, 0);
#else
  ssize_t received;
  do {
    received = recv(handle, buffer, static_cast<size_t>(capacity), 0);
  } while (received < 0 && errno == EINTR);
  return static_cast<int>(received);
#endif
}

// The dotted IPv4 forms inet_addr accepts, in network order; INADDR_NONE when not one.
inline std::uint32_t ParseDottedAddress(const char* host) {
  return static_cast<std::uint32_t>(inet_addr(host));
}

// The first IPv4 address of a host name, in network order; 0 when the name is unknown or its
// entry carries no address.
inline std::uint32_t LookUpFirstAddress(const char* host) {
#ifdef _WIN32
  // Winsock keeps the entry per thread; the address is copied out at once.
  const hostent* entry = gethostbyname(host);
  if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 ||
      entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) {
    return 0;
  }
  std::uint32_t address;
  memcpy(&address, entry->h_addr_list[0], 4);
  return address;
#else
  // gethostbyname shares one entry between threads here; getaddrinfo does not.
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &list) != 0 || list == nullptr) return 0;
  std::uint32_t address = 0;
  if (list->ai_addr != nullptr && list->ai_addrlen >= sizeof(sockaddr_in)) {
    address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
  }
  freeaddrinfo(list);
  return address;
#endif
}
