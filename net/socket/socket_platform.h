// The one place where Winsock and BSD sockets differ: handle type, start-up, closing, errors,
// blocking and non-blocking connects and the wait for them, waiting on a handle with a time
// limit. Everything above this file is written once for both.
#pragma once

#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
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

// Starts the socket layer; returns 0 on success, as WSAStartup does. Version 2.2: name lookup
// of both families (getaddrinfo) and IPv6 sockets are Winsock 2's.
inline int SocketStartup(SocketStartupData* data) {
#ifdef _WIN32
  return WSAStartup(0x0202, data);
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

inline SocketHandle OpenTcpHandle(int family = AF_INET) {
  return socket(family, SOCK_STREAM, 0);
}

// Shuts down both directions.
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

// Whether the error ends a connect because the system gave up waiting for the peer.
inline bool IsConnectTimeout(long error) {
#ifdef _WIN32
  return error == WSAETIMEDOUT;
#else
  return error == ETIMEDOUT;
#endif
}

inline bool SetBlocking(SocketHandle handle, bool blocking) {
#ifdef _WIN32
  u_long non_blocking = blocking ? 0 : 1;
  return ioctlsocket(handle, FIONBIO, &non_blocking) == 0;
#else
  const int flags = fcntl(handle, F_GETFL, 0);
  if (flags < 0) return false;
  return fcntl(handle, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
#endif
}

enum class ConnectStart { Connected, InProgress, Failed };

// Begins a connect on a non-blocking handle; error: the system's code when it failed at once.
inline ConnectStart BeginConnect(SocketHandle handle, const sockaddr* address, int size,
                                 long* error) {
#ifdef _WIN32
  if (connect(handle, address, size) == 0) return ConnectStart::Connected;
  *error = WSAGetLastError();
  return *error == WSAEWOULDBLOCK ? ConnectStart::InProgress : ConnectStart::Failed;
#else
  if (connect(handle, address, static_cast<socklen_t>(size)) == 0) return ConnectStart::Connected;
  *error = errno;
  // A connect that a signal interrupts goes on in the background, as one in progress does.
  return *error == EINPROGRESS || *error == EINTR ? ConnectStart::InProgress : ConnectStart::Failed;
#endif
}

// The most connects one wait watches.
constexpr int kMostConnectsAtOnce = 16;

// Waits up to timeout_ms for connects in progress (at most kMostConnectsAtOnce) to end, either
// way; done[i] tells which did. Returns how many did, 0 when none did in time, -1 when the wait
// itself failed. Winsock's select tells a failed connect in its exception set; poll tells it as
// writable.
inline int WaitForConnects(const SocketHandle* handles, int count, int timeout_ms, bool* done) {
  if (count > kMostConnectsAtOnce) count = kMostConnectsAtOnce;
  for (int i = 0; i < count; ++i) done[i] = false;
#ifdef _WIN32
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  for (int i = 0; i < count; ++i) {
    FD_SET(handles[i], &writable);
    FD_SET(handles[i], &failed);
  }
  timeval timeout;
  timeout.tv_sec = timeout_ms / 1000;
  timeout.tv_usec = (timeout_ms % 1000) * 1000;
  const int ready = select(0, nullptr, &writable, &failed, &timeout);
  if (ready <= 0) return ready < 0 ? -1 : 0;
  int ended = 0;
  for (int i = 0; i < count; ++i) {
    done[i] = FD_ISSET(handles[i], &writable) || FD_ISSET(handles[i], &failed);
    if (done[i]) ++ended;
  }
  return ended;
#else
  // poll rather than select: a handle's number may lie beyond what an fd_set holds.
  pollfd entries[kMostConnectsAtOnce];
  for (int i = 0; i < count; ++i) entries[i] = pollfd{handles[i], POLLOUT, 0};
  const int ready = poll(entries, static_cast<nfds_t>(count), timeout_ms);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  int ended = 0;
  for (int i = 0; i < count; ++i) {
    done[i] = entries[i].revents != 0;
    if (done[i]) ++ended;
  }
  return ended;
#endif
}

// How a connect that WaitForConnects reported as ended came out: 0 connected, else the
// system's code.
inline long ConnectOutcome(SocketHandle handle) {
  int error = 0;
  SocketLength length = sizeof error;
  if (getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
    return LastSocketError();
  }
  return error;
}
