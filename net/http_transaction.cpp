// The HTTP/1.0 exchange itself: the request text and the reading of the reply.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "net/http_request.h"

namespace {
constexpr std::uint32_t kLengthUnknown = 0xFFFFFFFFu;
constexpr char kHttpPrefix[] = "HTTP/";
constexpr int kHttpPrefixLength = 5;
constexpr char kBlankLine[] = "\r\n\r\n";

// Whether the first count bytes could still grow into "HTTP/" with more bytes.
bool CouldBecomeHttpPrefix(const char* bytes, int count) {
  return count < kHttpPrefixLength && std::memcmp(bytes, kHttpPrefix, count) == 0;
}

// The announced length as atol reads it, taken as an unsigned 32-bit number.
std::uint32_t ParseContentLength(const std::string& value) {
  return static_cast<std::uint32_t>(std::strtoll(value.c_str(), nullptr, 10));
}
}  // namespace

std::string HttpRequest::FormatRequest() {
  // LF line ends and a Host line without the port, as the package servers have always seen.
  std::string request = HeadOnly ? "HEAD" : "GET";
  request += ' ';
  request += url.Directory;
  request += url.FileName;
  request += " HTTP/1.0\nHost: ";
  request += url.Host;
  request += "\n\n";
  return request;
}

void HttpRequest::Run() {
  std::uint32_t content_length = kLengthUnknown;

  SocketAddress address(url.Host.c_str(), url.Port);
  if (StopRequested) {
    socket.Close();  // a name lookup cannot be broken; a connect after it is not begun
    return;
  }
  if (address.Address() == 0) {
    socket.Close();
    ReportError(ErrorResolve);
    return;
  }
  if (!socket.Connect(address)) {
    socket.Close();
    ReportError(ErrorConnect);
    return;
  }
  const std::string request = FormatRequest();
  if (!socket.SendAll(request.data(), static_cast<int>(request.size()))) {
    socket.Close();
    ReportError(ErrorSend);
    return;
  }

  std::unique_ptr<char[]> buffer(new char[kReceiveBufferSize]);
  char* const data = buffer.get();
  int fill = 0;
  int searched = 0;  // bytes of a growing header block already searched for the blank line
  BytesReceived = 0;

  // How the reading ended: with the reply complete (or refused by OnData or stopped), or cut
  // short.
  bool cut_short = false;
  bool receive_failed = false;
  bool ended_by_peer = false;

  while (!StopRequested) {
    int received = socket.Receive(data + fill, kReceiveBufferSize - 1 - fill);
    if (received <= 0) {
      ended_by_peer = true;
      receive_failed = received < 0;
      break;
    }
    fill += received;
    data[fill] = '\0';
    if (StopRequested) break;

    int block_offset = 0;
    if (!HeadersDone) {
      if (CouldBecomeHttpPrefix(data, fill)) continue;  // too few bytes to tell yet
      if (std::memcmp(data, kHttpPrefix, kHttpPrefixLength) != 0) {
        // Not an HTTP reply: every byte, from the first, is body.
        HeadersDone = true;
      } else {
        const int from = std::max(0, searched - 3);
        const char* blank = std::search(data + from, data + fill, kBlankLine, kBlankLine + 4);
        if (blank == data + fill) {
          searched = fill;
          if (fill >= kReceiveBufferSize - 1) {
            cut_short = true;  // the header block does not fit in the buffer
            break;
          }
          continue;
        }
        const int blank_offset = static_cast<int>(blank - data);
        data[blank_offset] = '\0';
        headers.Parse(data);
        HeadersDone = true;
        const int status = headers.StatusCode;
        if (status == 0) {
          cut_short = true;  // a status line without a number is no answer at all
          break;
        }
        if (status != 200) {
          ReportError(status);
          break;
        }
        const std::string length = headers.Lookup("Content-Length");
        if (!length.empty()) content_length = ParseContentLength(length);
        block_offset = blank_offset + 4;
      }
    }

    const int block_length = fill - block_offset;
    if (!OnData(data + block_offset, block_length)) break;
    BytesReceived += static_cast<std::uint32_t>(block_length);
    if (BytesReceived >= content_length) break;
    fill = 0;
    searched = 0;
  }

  if (ended_by_peer && !StopRequested) {
    if (!HeadersDone) {
      if (fill > 0 && !receive_failed && CouldBecomeHttpPrefix(data, fill)) {
        // A reply of a few bytes that only looked like the start of "HTTP/": all body.
        HeadersDone = true;
        if (OnData(data, fill)) BytesReceived += static_cast<std::uint32_t>(fill);
      } else if (fill > 0 || receive_failed) {
        cut_short = true;  // the header block never ended, or nothing came before a failure
      }
    } else if (receive_failed) {
      cut_short = true;  // a broken or stalled connection loses whatever was still to come
    } else if (!HeadOnly && content_length != kLengthUnknown && BytesReceived < content_length) {
      cut_short = true;  // closed before the announced length arrived
    }
  }

  socket.Close();
  if (cut_short) ReportError(ErrorReceive);
}
