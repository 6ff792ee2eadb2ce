// The reading of a reply, in memory: a fuzzed reply is fed to the response reader in pieces
// cut at fuzzed points (each piece in receives no larger than the reader asks for), and the
// stream ends by a close or a failed receive. Nothing may crash, the events must come in a
// legal order, the body passed on must be the reply's body in order, a complete reply with
// a valid Content-Length must pass on exactly the announced number of bytes, and a complete
// chunked reply exactly its decoded body. Interim (1xx) replies are passed over, five at most.
// Where an HTTP reply is required, other bytes are never a body.
//
// Input: byte 0 chooses HEAD (bit 0), a refusal of the 1st to 3rd block (bits 1-2, 0 = never),
// a failed receive (bit 3) or a close without notice (bit 4) rather than a close at the end,
// and a required HTTP reply (bit 5); byte 1 gives the number of cut points (0-7), the next
// bytes the cut points; the rest is the reply.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "net/http/http_response_reader.h"
#include "tests/unit/recording_reply_events.h"

namespace {
constexpr std::size_t kHeaderRoom = HttpResponseReader::kBufferSize - 1;
constexpr char kHttpPrefix[] = "HTTP/";
constexpr std::size_t kHttpPrefixLength = 5;

// Says which property broke before stopping, so that a failure explains itself.
[[noreturn]] void Fail(const std::string& what, const std::string& events) {
  std::fprintf(stderr, "fuzz_http_run: %s (events %s)\n", what.c_str(), events.c_str());
  std::abort();
}

bool IsTerminal(char c) {
  return c == 'C' || c == 'M' || c == 'L' || c == 'T' || c == 'R';
}

// Whether the events (the end mark taken out) are legal: either one failure or completion
// alone, or H then a status, or H then blocks and at most one ending; nothing after a refused
// block or an ending. Only a coded (chunked) body can turn out malformed after its blocks.
bool LegalOrder(const std::string& events, bool refused, bool coded) {
  if (events.empty()) return false;
  if (events[0] != 'H') return events.size() == 1 && IsTerminal(events[0]);
  if (events.size() > 1 && events[1] == 'S') {
    return events.size() > 2 && events.find_first_not_of("0123456789", 2) == std::string::npos;
  }
  const std::size_t blocks_end = events.find_first_not_of('D', 1);
  if (blocks_end == std::string::npos) return refused;  // no ending: only after a refusal
  return !refused && blocks_end == events.size() - 1 && IsTerminal(events.back()) &&
         (events.back() != 'M' || coded) && events.back() != 'L';
}

// Notes whether the header block has a Transfer-Encoding line, as the reader reads the lines.
struct CodingSeen : HeaderMap::LineObserver {
  bool seen = false;
  void OnHeaderLine(const std::string& name, const char*, const char*) override {
    seen = seen || HeaderMap::SameName(name, "Transfer-Encoding");
  }
};

// A chunked body decoded the plain way, all at once: every line up to its CR LF, the size its
// leading hexadecimal digits; none when the framing does not end.
std::optional<std::string> Dechunked(std::string_view body) {
  std::string decoded;
  std::size_t at = 0;
  for (;;) {
    const std::size_t line_end = body.find("\r\n", at);
    if (line_end == std::string_view::npos) return std::nullopt;
    std::uint64_t size = 0;
    for (std::size_t digit = at; digit < line_end && size < 0x100000000u; ++digit) {
      const int lower = body[digit] | 0x20;
      const int value = body[digit] >= '0' && body[digit] <= '9' ? body[digit] - '0'
                        : lower >= 'a' && lower <= 'f'           ? lower - 'a' + 10
                                                                 : -1;
      if (value < 0) break;
      size = size * 16 + static_cast<std::uint64_t>(value);
    }
    at = line_end + 2;
    if (size == 0) break;
    if (size > body.size() - at || body.substr(at + size, 2) != "\r\n") return std::nullopt;
    decoded.append(body.substr(at, size));
    at += size + 2;
  }
  for (;;) {  // the trailer lines, up to the empty one
    const std::size_t line_end = body.find("\r\n", at);
    if (line_end == std::string_view::npos) return std::nullopt;
    if (line_end == at) return decoded;
    at = line_end + 2;
  }
}

// The announced length as a careful reader takes it: digits worth less than 2^32, with only
// spaces or tabs around them.
bool PlainLength(const std::string& value, std::uint64_t* length) {
  const std::size_t first = value.find_first_not_of(" \t");
  if (first == std::string::npos) return false;
  const std::size_t last = value.find_last_not_of(" \t");
  const std::string digits = value.substr(first, last - first + 1);
  if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
  *length = std::strtoull(digits.c_str(), nullptr, 10);  // saturates far above 2^32
  return *length <= 0xFFFFFFFFu;
}

constexpr std::size_t kMaxCuts = 7;

struct Input {
  bool head_only;
  bool require_http;
  int refuse_block;
  HttpResponseReader::Ending ending;
  std::size_t cuts[kMaxCuts + 1];  // where each piece ends, the reply's end last
  std::size_t cut_count;
  std::string_view reply;
};

Input Decode(const std::uint8_t* data, std::size_t size) {
  Input input;
  input.head_only = (data[0] & 1) != 0;
  input.require_http = (data[0] & 32) != 0;
  input.refuse_block = (data[0] >> 1) & 3;
  input.ending = (data[0] & 8) != 0    ? HttpResponseReader::Ending::ReceiveFailed
                 : (data[0] & 16) != 0 ? HttpResponseReader::Ending::PeerClosedWithoutNotice
                                       : HttpResponseReader::Ending::PeerClosed;
  const std::size_t cut_count = std::min<std::size_t>(data[1] % (kMaxCuts + 1), size - 2);
  const std::uint8_t* cut_bytes = data + 2;
  input.reply =
      std::string_view(reinterpret_cast<const char*>(cut_bytes + cut_count), size - 2 - cut_count);
  for (std::size_t i = 0; i < cut_count; ++i) {
    input.cuts[i] = cut_bytes[i] * input.reply.size() / 256;
  }
  std::sort(input.cuts, input.cuts + cut_count);
  input.cuts[cut_count] = input.reply.size();
  input.cut_count = cut_count + 1;
  return input;
}

// Checks what came of a reply that begins with "HTTP/" and whose header block fits.
void CheckHttpReply(const Input& input, HeaderMap& headers, const RecordingReplyEvents& events,
                    bool refused, bool coded, std::size_t body_offset) {
  const std::string& order = events.events;
  if (order == "M") return;
  if (order[0] != 'H')
    Fail("a whole header block was neither read nor refused as malformed", order);
  if (order[1] == 'S') {
    const int status = headers.StatusCode;
    if (status == 200 || status < 100 || status > 999 || order.substr(2) != std::to_string(status))
      Fail("a status that ends the reply must be valid and not 200", order);
    return;
  }
  if (headers.StatusCode != 200) Fail("a body passed on for a status other than 200", order);
  if (input.head_only) {
    // A reply to HEAD ends with its header block, whatever it announces: no byte is body.
    if (!events.body.empty() || (!refused && order.back() != 'C'))
      Fail("a reply to HEAD did not end with its header block", order);
    return;
  }
  const std::size_t available = input.reply.size() - body_offset;
  const bool failed = input.ending == HttpResponseReader::Ending::ReceiveFailed;
  if (coded) {
    // Chunked: only the last chunk completes it, and then with its decoded body exactly.
    if (order.back() != 'C') return;
    const std::optional<std::string> decoded = Dechunked(input.reply.substr(body_offset));
    if (!decoded || *decoded != events.body)
      Fail("a complete chunked reply did not pass on its decoded body", order);
    return;
  }
  const std::string value = headers.Lookup("Content-Length");
  if (value.empty()) {
    if (!refused && !failed && events.body.size() != available)
      Fail("a reply without a length, read to its close, arrived incomplete", order);
    // Only the stream's own end makes such a body whole.
    const bool no_notice = input.ending == HttpResponseReader::Ending::PeerClosedWithoutNotice;
    if (!refused && no_notice && order.back() != 'T')
      Fail("a body without a length, ended without notice, was not cut short", order);
    return;
  }
  std::uint64_t length = 0;
  if (!PlainLength(value, &length)) Fail("a Content-Length that is no plain number passed", order);
  if (events.body.size() > length) Fail("more bytes passed on than announced", order);
  if (refused) return;
  if (available >= length) {
    if (events.body.size() != length || order.back() != 'C')
      Fail("a complete reply did not pass on exactly its announced length", order);
    return;
  }
  if (events.body.size() != available) Fail("a body short of its length was not passed on", order);
  const char ending = failed ? 'R' : 'T';
  if (order.back() != ending) Fail("a reply short of its length ended wrongly", order);
}
}  // namespace

// One execution frees far less than this; the default quarantine of 256 MiB only makes every
// allocation land on a fresh page, which costs a third of the run in page faults.
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=16";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > 256 * 1024) return 0;
  const Input input = Decode(data, size);

  HeaderMap headers;
  CodingSeen coding;
  HttpResponseReader reader(headers, input.head_only, &coding);
  if (input.require_http) reader.RequireHttpReply();
  RecordingReplyEvents events;
  events.refuse_block = input.refuse_block;
  events.body.reserve(input.reply.size());
  std::size_t from = 0;
  for (std::size_t i = 0; i < input.cut_count; ++i) {
    FeedAsReceives(reader, input.reply.data() + from, input.cuts[i] - from, events);
    from = input.cuts[i];
  }
  reader.End(input.ending, events);
  reader.End(input.ending, events);  // a second end changes nothing

  const std::string& order = events.events;
  const bool refused =
      input.refuse_block != 0 && static_cast<int>(events.blocks.size()) == input.refuse_block;
  const bool coded = coding.seen;
  if (!LegalOrder(order, refused, coded)) Fail("events out of order", order);
  if (!reader.Finished()) Fail("the reader is not finished after the end", order);
  // Only a reply that ended at its own framing may leave its connection for another request.
  if (reader.LeavesConnectionOpen() && (order.empty() || order.back() != 'C'))
    Fail("a connection left open after a reply that did not end at its framing", order);
  std::size_t total = 0;
  for (int length : events.blocks) {
    if (length < 0 || length > static_cast<int>(kHeaderRoom))
      Fail("block length out of range", order);
    total += static_cast<std::size_t>(length);
  }
  if (total != events.body.size()) Fail("blocks and body differ", order);

  const std::string_view reply = input.reply;
  const std::string_view body(events.body);
  const bool failed = input.ending == HttpResponseReader::Ending::ReceiveFailed;
  if (reply.substr(0, kHttpPrefixLength) != kHttpPrefix) {
    if (input.require_http) {
      if (!body.empty() || order.find('D') != std::string::npos)
        Fail("bytes that are no HTTP reply were passed on where one was required", order);
      return 0;
    }
    // Not HTTP, or a few bytes that only began like it: all body, unless it never got its turn.
    const bool short_prefix = reply.size() < kHttpPrefixLength &&
                              std::string_view(kHttpPrefix).substr(0, reply.size()) == reply;
    const std::string_view expected = short_prefix && failed ? std::string_view() : reply;
    if (expected.substr(0, body.size()) != body || (!refused && body != expected)) {
      Fail("a reply that is not HTTP was not passed on whole", order);
    }
    return 0;
  }
  // Interim (1xx) replies before the final one are passed over, five at most, and what follows
  // one must be an HTTP reply too.
  std::size_t start = 0;
  for (int interim = 0;; ++interim) {
    const std::size_t end = reply.find("\r\n\r\n", start);
    if (reply.substr(start, kHttpPrefixLength) != kHttpPrefix || end == std::string_view::npos ||
        end + 4 - start > kHeaderRoom) {
      break;
    }
    const std::string block(reply.substr(start, end - start));
    HeaderMap interim_headers;
    if (block.find('\0') != std::string::npos || !interim_headers.Parse(block.c_str())) break;
    const int status = interim_headers.StatusCode;
    if (status < 100 || status > 199) break;
    if (status == 101 || interim == HttpResponseReader::kMostInterimReplies) {
      if (order != "M") Fail("a 101 or one interim reply too many was taken", order);
      return 0;
    }
    start = end + 4;
  }
  const std::string_view final_reply = reply.substr(start);
  if (start > 0 && final_reply.substr(0, kHttpPrefixLength) != kHttpPrefix) {
    const bool short_prefix = std::string_view(kHttpPrefix).substr(0, final_reply.size()) ==
                              final_reply.substr(0, kHttpPrefixLength);
    const char* expected = !short_prefix ? "M" : failed ? "R" : final_reply.empty() ? "T" : "M";
    if (order != expected) Fail("what followed an interim reply was taken", order);
    return 0;
  }
  const std::size_t blank = final_reply.find("\r\n\r\n");
  if (blank == std::string_view::npos || blank + 4 > kHeaderRoom) {
    const char* expected = final_reply.size() >= kHeaderRoom ? "L" : failed ? "R" : "T";
    if (order != expected) Fail("a header block without its end was not refused", order);
    return 0;
  }
  // Whether the final reply is chunked, as its own header block says.
  CodingSeen final_coding;
  HeaderMap final_headers;
  final_headers.Parse(std::string(final_reply.substr(0, blank)).c_str(), &final_coding);
  const bool coded_reply = final_coding.seen;
  if (!coded_reply && (final_reply.substr(blank + 4, body.size()) != body ||
                       blank + 4 + body.size() > final_reply.size())) {
    Fail("the body passed on is not the start of the reply's body", order);
  }
  CheckHttpReply(input, headers, events, refused, coded_reply, start + blank + 4);
  return 0;
}
