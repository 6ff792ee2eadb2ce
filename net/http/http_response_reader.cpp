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

// Calls element(first, last) for each element of a comma-separated list, blanks around it taken
// off; empty elements are passed over.
template <typename Element>
void ForEachListElement(const char* value, const char* end, Element element) {
  for (;;) {
    const char* comma = std::find(value, end, ',');
    const char* first = value;
    const char* last = comma;
    while (first < last && IsSpaceOrTab(*first)) ++first;
    while (last > first && IsSpaceOrTab(last[-1])) --last;
    if (first < last) element(first, last);
    if (comma == end) return;
    value = comma + 1;
  }
}

bool IsToken(const char* first, const char* last, const char* token) {
  const std::size_t length = std::strlen(token);
  return static_cast<std::size_t>(last - first) == length &&
         EqualsIgnoringAsciiCase(first, token, length);
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

// Gathers what frames the body: every Content-Length line (one bad or two different values make
// the length unusable) and the transfer codings of every Transfer-Encoding line.
class HttpResponseReader::FramingCollector : public HeaderMap::LineObserver {
 public:
  explicit FramingCollector(HeaderMap::LineObserver* also_told) : also_told_(also_told) {}

  void OnHeaderLine(const std::string& name, const char* value, const char* value_end) override {
    if (also_told_ != nullptr) also_told_->OnHeaderLine(name, value, value_end);
    if (HeaderMap::SameName(name, "Transfer-Encoding")) {
      AddCodings(value, value_end);
      return;
    }
    if (HeaderMap::SameName(name, "Connection")) {
      ForEachListElement(value, value_end, [this](const char* first, const char* last) {
        if (IsToken(first, last, "close")) closes = true;
      });
      return;
    }
    if (!HeaderMap::SameName(name, "Content-Length")) return;
    length_line = true;
    std::uint32_t parsed = 0;
    if (!ParseLength(value, value_end, &parsed) || (seen && parsed != length)) {
      valid = false;
      return;
    }
    seen = true;
    length = parsed;
  }

  // Whether the codings are chunked alone, the one coding this program takes off.
  bool OnlyChunked() const { return codings == 1 && other_codings == 0; }

  bool seen = false;
  bool valid = true;
  std::uint32_t length = 0;
  bool length_line = false;  // any Content-Length line, usable or not
  bool encoded = false;      // any Transfer-Encoding line
  int codings = 0;           // transfer codings named
  int other_codings = 0;     // of those, the ones other than chunked
  bool closes = false;       // a Connection line names "close"

 private:
  void AddCodings(const char* value, const char* end) {
    encoded = true;
    ForEachListElement(value, end, [this](const char* first, const char* last) {
      ++codings;
      if (!IsToken(first, last, "chunked")) ++other_codings;
    });
  }

  HeaderMap::LineObserver* also_told_;
};

HttpResponseReader::ChunkDecoder::Result HttpResponseReader::ChunkDecoder::Decode(
    char* data, int count, std::uint64_t room, int* decoded) {
  // A size line with its extensions, and the trailer lines together, stay far below these.
  constexpr int kLongestSizeLine = 4096;
  constexpr int kLongestTrailer = kBufferSize;
  int& out = *decoded;  // also what was decoded before a break in the framing
  out = 0;
  int at = 0;
  while (at < count && state_ != State::Done) {
    if (state_ == State::Data) {
      const int run = static_cast<int>(std::min<std::uint64_t>(left_, count - at));
      std::memmove(data + out, data + at, static_cast<std::size_t>(run));
      out += run;
      at += run;
      left_ -= static_cast<std::uint64_t>(run);
      if (left_ == 0) state_ = State::DataCr;
      continue;
    }
    const char c = data[at++];
    if (++line_bytes_ > (state_ >= State::TrailerLine ? kLongestTrailer : kLongestSizeLine)) {
      return Result::Broken;
    }
    switch (state_) {
      case State::Size:
        if (AsciiHexValue(c) >= 0) {
          left_ = left_ * 16 + static_cast<std::uint64_t>(AsciiHexValue(c));
          ++digits_;
          if (left_ > room - static_cast<std::uint64_t>(out)) return Result::Broken;
          break;
        }
        if (digits_ == 0) return Result::Broken;
        state_ = State::AfterSize;
        [[fallthrough]];
      case State::AfterSize:
        if (c == ';') {
          state_ = State::Extension;
        } else if (c == '\r') {
          state_ = State::SizeLf;
        } else if (!IsSpaceOrTab(c)) {
          return Result::Broken;
        }
        break;
      case State::Extension:
        if (c == '\n') return Result::Broken;
        if (c == '\r') state_ = State::SizeLf;
        break;
      case State::SizeLf:
        if (c != '\n') return Result::Broken;
        state_ = left_ == 0 ? State::TrailerLine : State::Data;
        digits_ = 0;
        line_bytes_ = 0;
        break;
      case State::DataCr:
        if (c != '\r') return Result::Broken;
        state_ = State::DataLf;
        break;
      case State::DataLf:
        if (c != '\n') return Result::Broken;
        state_ = State::Size;
        break;
      case State::TrailerLine:
        if (c == '\r') {
          state_ = State::EndLf;
          break;
        }
        state_ = State::TrailerText;
        [[fallthrough]];
      case State::TrailerText:
        if (c == '\n') return Result::Broken;
        if (c == '\r') state_ = State::TrailerLf;
        break;
      case State::TrailerLf:
        if (c != '\n') return Result::Broken;
        state_ = State::TrailerLine;
        break;
      case State::EndLf:
        if (c != '\n') return Result::Broken;
        state_ = State::Done;
        break;
      case State::Data:
      case State::Done:
        break;
    }
  }
  if (state_ != State::Done) return Result::More;
  if (at < count) bytes_after_end_ = true;
  return Result::Done;
}

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
  received_any_ = true;
  if (header_done_) {
    if (chunked_) {
      PassChunked(buffer_.get(), count, false, events);
    } else {
      PassBody(buffer_.get(), count, events);
    }
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
    if (require_http_) {
      Fail(Failure::Malformed, events);
      return;
    }
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
  FramingCollector framing(also_told_);
  if (!headers_.Parse(data, &framing)) {
    Fail(Failure::Malformed, events);
    return;
  }
  const int status = headers_.StatusCode;
  // An interim reply (103 Early Hints, say) comes before the final one, and is passed over. A
  // 101 would switch the connection to another protocol, which no request here asks for.
  if (status >= 100 && status <= 199) {
    if (status == 101 || ++interim_replies_ > kMostInterimReplies) {
      Fail(Failure::Malformed, events);
      return;
    }
    const int next = blank_offset + kBlankLineLength;
    std::memmove(data, data + next, static_cast<std::size_t>(held - next));
    held_ = held - next;
    data[held_] = '\0';
    searched_ = 0;
    require_http_ = true;  // what follows must be the final reply
    ReadHeaderBlock(events);
    return;
  }
  const bool has_body = status == 200 || (status == 206 && accept_partial_);
  // Chunked alone, in a reply of HTTP/1.1 or later, with no length beside it to contradict it:
  // any other transfer coding would be stored as the file, and a length beside one could be
  // read either way along the path.
  constexpr std::uint32_t kHttp11 = 0x10001;
  const bool chunked = framing.encoded && framing.OnlyChunked() && !framing.length_line &&
                       headers_.HttpVersion >= kHttp11;
  // No status number, or one that no server sends; for a body, framing that cannot be
  // trusted. The framing of another status does not matter: its body is never read.
  if (status < 100 || status > 999 ||
      (has_body && (!framing.valid || (framing.encoded && !chunked)))) {
    Fail(Failure::Malformed, events);
    return;
  }
  length_known_ = has_body && framing.seen;
  content_length_ = length_known_ ? framing.length : 0;
  // A reply to HEAD has no body, chunked or not.
  chunked_ = has_body && chunked && !head_only_;
  // HTTP/1.1 keeps the connection unless the server says it will close it; HTTP/1.0 does not.
  persistent_ = headers_.HttpVersion >= kHttp11 && !framing.closes;
  if (!StartBody(events)) return;
  if (!has_body) {
    finished_ = true;
    events.OnStatus(status);
    return;
  }
  const int body_offset = blank_offset + kBlankLineLength;
  if (head_only_) {
    // Whatever length it announces, a reply to HEAD ends with its header block.
    if (events.OnData(data + body_offset, 0)) {
      EndAtFraming(held > body_offset, events);
    } else {
      finished_ = true;
    }
    return;
  }
  if (chunked_) {
    PassChunked(data + body_offset, held - body_offset, true, events);
  } else {
    PassBody(data + body_offset, held - body_offset, events);
  }
}

bool HttpResponseReader::StartBody(Events& events) {
  header_done_ = true;
  held_ = 0;  // from here on every receive starts at the front of the buffer
  if (events.OnHeaderBlock()) return true;
  finished_ = true;
  return false;
}

void HttpResponseReader::EndAtFraming(bool bytes_after_end, Events& events) {
  finished_ = true;
  ended_at_framing_ = true;
  bytes_after_end_ = bytes_after_end;
  events.OnComplete();
}

void HttpResponseReader::Fail(Failure failure, Events& events) {
  finished_ = true;
  events.OnFailure(failure);
}

void HttpResponseReader::PassBody(const char* data, int length, Events& events) {
  bool complete = false;
  bool beyond = false;  // bytes after the announced length
  if (length_known_) {
    const std::uint64_t missing = content_length_ - body_bytes_;
    if (static_cast<std::uint64_t>(length) >= missing) {
      beyond = static_cast<std::uint64_t>(length) > missing;
      length = static_cast<int>(missing);
      complete = true;
    }
  } else if (static_cast<std::uint64_t>(length) > kLongestBody - body_bytes_) {
    // A body without a length may not outgrow one that a Content-Length could announce.
    Fail(Failure::Malformed, events);
    return;
  }
  if (!events.OnData(data, length)) {
    finished_ = true;
    return;
  }
  body_bytes_ += static_cast<std::uint64_t>(length);
  if (complete) EndAtFraming(beyond, events);
}

void HttpResponseReader::PassChunked(char* data, int length, bool first, Events& events) {
  int decoded = 0;
  const ChunkDecoder::Result result =
      chunks_.Decode(data, length, kLongestBody - body_bytes_, &decoded);
  // What was decoded before broken framing is passed on like a body cut short, so that no split
  // of the reply changes what the events say.
  if (decoded > 0 || first) {
    if (!events.OnData(data, decoded)) {
      finished_ = true;
      return;
    }
    body_bytes_ += static_cast<std::uint64_t>(decoded);
  }
  if (result == ChunkDecoder::Result::Broken) {
    Fail(Failure::Malformed, events);
  } else if (result == ChunkDecoder::Result::Done) {
    EndAtFraming(chunks_.BytesAfterEnd(), events);
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
    } else if (closed && CouldBecomeHttpPrefix(buffer_.get(), held) && !require_http_) {
      // A reply of a few bytes that only looked like the start of "HTTP/": all body.
      if (StartBody(events)) PassBody(buffer_.get(), held, events);
      if (!finished_) End(ending, events);
    } else if (closed && CouldBecomeHttpPrefix(buffer_.get(), held)) {
      Fail(Failure::Malformed, events);  // a few bytes where an HTTP reply was required
    } else {
      // The header block never ended, or nothing came before a failure.
      Fail(closed ? Failure::CutShort : Failure::ReceiveFailed, events);
    }
  } else if (!closed) {
    Fail(Failure::ReceiveFailed, events);  // whatever was still to come is lost
  } else if (chunked_) {
    Fail(Failure::CutShort, events);  // closed before the last chunk
  } else if (length_known_ && body_bytes_ < content_length_ && !head_only_) {
    Fail(Failure::CutShort, events);  // closed before the announced length arrived
  } else if (!length_known_ && !head_only_ && ending == Ending::PeerClosedWithoutNotice) {
    Fail(Failure::CutShort, events);  // nothing says the body was whole
  } else {
    finished_ = true;
    events.OnComplete();
  }
}
