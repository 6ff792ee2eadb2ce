#include "net/http/http_response_reader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/ascii.h"

namespace {
constexpr char kHttpPrefix[] = "HTTP/";
constexpr int kHttpPrefixLength = 5;
constexpr char kBlankLine[] = "\r\n\r\n";
constexpr int kBlankLineLength = 4;

// Whether the bytes held could still grow into "HTTP/" with more bytes.
bool CouldBecomeHttpPrefix(const char* bytes, int count) {
  return count < kHttpPrefixLength && std::memcmp(bytes, kHttpPrefix, count) == 0;
}

// Compares only the bytes that are there: fewer than five never begin with "HTTP/".
bool BeginsWithHttpPrefix(const char* bytes, int count) {
  return count >= kHttpPrefixLength && std::memcmp(bytes, kHttpPrefix, kHttpPrefixLength) == 0;
}

bool IsSpaceOrTab(char c) {
  return c == ' ' || c == '\t';
}

// A Content-Length value: decimal digits worth less than 2^32, with optional spaces or tabs
// around them and nothing else. An empty value announces nothing that could be trusted.
bool ParseLength(const char* text, const char* end, std::uint32_t* length) {
  while (text < end && IsSpaceOrTab(*text)) ++text;
  std::uint32_t value = 0;
  if (!ReadDecimal32(&text, end, &value)) return false;
  while (text < end && IsSpaceOrTab(*text)) ++text;
  if (text != end) return false;
  *length = value;
  return true;
}
}  // namespace

// Gathers every Content-Length line of a header block: one bad or two different values make
// the length unusable.
class HttpResponseReader::LengthCollector : public HeaderMap::LineObserver {
 public:
  explicit LengthCollector(HeaderMap::LineObserver* also_told) : also_told_(also_told) {}

  void OnHeaderLine(const std::string& name, const char* value, const char* value_end) override {
    if (also_told_ != nullptr) also_told_->OnHeaderLine(name, value, value_end);
    if (!HeaderMap::SameName(name, "Content-Length")) return;
    std::uint32_t parsed = 0;
    if (!ParseLength(value, value_end, &parsed) || (seen && parsed != length)) {
      valid = false;
      return;
    }
    seen = true;
    length = parsed;
  }

  bool seen = false;
  bool valid = true;
  std::uint32_t length = 0;

 private:
  HeaderMap::LineObserver* also_told_;
};

HttpResponseReader::HttpResponseReader(HeaderMap& headers, bool head_only,
                                       HeaderMap::LineObserver* also_told)
    : headers_(headers),
      head_only_(head_only),
      also_told_(also_told),
      buffer_(new char[std::max(kBufferSize, kBodyReceiveSize)]) {}

int HttpResponseReader::Feed(const char* bytes, int count, Events& events) {
  const int taken = std::min(count, SpaceSize());
  if (taken <= 0) return 0;
  std::memcpy(Space(), bytes, static_cast<std::size_t>(taken));
  Received(taken, events);
  return taken;
}

void HttpResponseReader::Received(int count, Events& events) {
  count = std::min(count, SpaceSize());
  if (count <= 0) return;
  if (header_done_) {
    PassBody(buffer_.get(), count, events);
    return;
  }
  held_ += count;
  buffer_[held_] = '\0';
  ReadHeaderBlock(events);
}

void HttpResponseReader::ReadHeaderBlock(Events& events) {
  char* const data = buffer_.get();
  const int held = held_;
  if (CouldBecomeHttpPrefix(data, held)) return;  // too few bytes to tell yet
  if (!BeginsWithHttpPrefix(data, held)) {
    // Not an HTTP reply: every byte, from the first, is body.
    if (StartBody(events)) PassBody(data, held, events);
    return;
  }

  const int from = std::max(0, searched_ - (kBlankLineLength - 1));
  const char* blank =
      std::search(data + from, data + held, kBlankLine, kBlankLine + kBlankLineLength);
  if (blank == data + held) {
    searched_ = held;
    if (held >= kBufferSize - 1) Fail(Failure::HeaderTooLong, events);
    return;  // the next receive is appended to what is held
  }

  const int blank_offset = static_cast<int>(blank - data);
  // The header block is read as text: a NUL inside would hide the lines after it.
  if (std::memchr(data, '\0', static_cast<std::size_t>(blank_offset)) != nullptr) {
    Fail(Failure::Malformed, events);
    return;
  }
  data[blank_offset] = '\0';
  LengthCollector lengths(also_told_);
  headers_.Parse(data, &lengths);
  const int status = headers_.StatusCode;
  const bool has_body = status == 200 || (status == 206 && accept_partial_);
  // No status number, or one that no server sends; for a body, a length that cannot be
  // trusted. The length of another status does not matter: its body is never read.
  if (status < 100 || status > 999 || (has_body && !lengths.valid)) {
    Fail(Failure::Malformed, events);
    return;
  }
  length_known_ = has_body && lengths.seen;
  content_length_ = length_known_ ? lengths.length : 0;
  if (!StartBody(events)) return;
  if (!has_body) {
    finished_ = true;
    events.OnStatus(status);
    return;
  }
  const int body_offset = blank_offset + kBlankLineLength;
  PassBody(data + body_offset, held - body_offset, events);
}

bool HttpResponseReader::StartBody(Events& events) {
  header_done_ = true;
  held_ = 0;  // from here on every receive starts at the front of the buffer
  if (events.OnHeaderBlock()) return true;
  finished_ = true;
  return false;
}

void HttpResponseReader::Fail(Failure failure, Events& events) {
  finished_ = true;
  events.OnFailure(failure);
}

void HttpResponseReader::PassBody(const char* data, int length, Events& events) {
  bool complete = false;
  if (length_known_) {
    const std::uint32_t missing = content_length_ - body_bytes_;
    if (static_cast<std::uint32_t>(length) >= missing) {
      length = static_cast<int>(missing);
      complete = true;
    }
  }
  if (!events.OnData(data, length)) {
    finished_ = true;
    return;
  }
  body_bytes_ += static_cast<std::uint32_t>(length);
  if (complete) {
    finished_ = true;
    events.OnComplete();
  }
}

void HttpResponseReader::End(Ending ending, Events& events) {
  if (finished_) return;
  const bool closed = ending != Ending::ReceiveFailed;
  if (!header_done_) {
    const int held = held_;
    if (closed && held == 0) {
      // A server that closes without a byte sent nothing: no reply, not an empty file.
      Fail(Failure::CutShort, events);
    } else if (closed && CouldBecomeHttpPrefix(buffer_.get(), held)) {
      // A reply of a few bytes that only looked like the start of "HTTP/": all body.
      if (StartBody(events)) PassBody(buffer_.get(), held, events);
      if (!finished_) End(ending, events);
    } else {
      // The header block never ended, or nothing came before a failure.
      Fail(closed ? Failure::CutShort : Failure::ReceiveFailed, events);
    }
  } else if (!closed) {
    Fail(Failure::ReceiveFailed, events);  // whatever was still to come is lost
  } else if (length_known_ && body_bytes_ < content_length_ && !head_only_) {
    Fail(Failure::CutShort, events);  // closed before the announced length arrived
  } else if (!length_known_ && !head_only_ && ending == Ending::PeerClosedWithoutNotice) {
    Fail(Failure::CutShort, events);  // nothing says the body was whole
  } else {
    finished_ = true;
    events.OnComplete();
  }
}
