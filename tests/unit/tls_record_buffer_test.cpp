#include "net/tls/tls_record_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {
std::string Record(int type, const std::string& payload) {
  std::string record{static_cast<char>(type), 3, 3, static_cast<char>(payload.size() >> 8),
                     static_cast<char>(payload.size() & 0xFF)};
  return record + payload;
}

// Application data as the fake cipher below "encrypts" it: the plaintext and a two-byte tag.
std::string Data(const std::string& text) {
  return Record(23, text + "##");
}

// A peer whose wire is a fixed byte string received in chunks of a fixed size, then closed
// (or failed), and whose "TLS library" handles records by their content type: application
// data yields its payload without the tag; an alert is the close_notify; a handshake record
// whose payload is "done" completes the handshake, and after it one whose payload is "hr"
// is a renegotiation request, one whose payload is "ticket" a post-handshake message that the
// handshake takes at once ("badticket": one it fails on).
class FakePeer : public TlsRecordPeer {
 public:
  FakePeer(std::string wire, std::size_t chunk, bool fail_at_end)
      : wire_(std::move(wire)), chunk_(chunk), fail_at_end_(fail_at_end) {}

  int ReceiveCiphertext(char* buffer, int capacity) override {
    if (sent_ == wire_.size()) return fail_at_end_ ? -1 : 0;
    const std::size_t count =
        std::min({chunk_, wire_.size() - sent_, static_cast<std::size_t>(capacity)});
    wire_.copy(buffer, count, sent_);
    sent_ += count;
    return static_cast<int>(count);
  }

  // One handshake record per step, as a step may leave whole records for the next one. After a
  // post-handshake message a step takes nothing of what follows.
  Step HandshakeStep(char* input, std::size_t size, std::size_t* extra) override {
    if (after_ticket_) {
      after_ticket_ = false;
      *extra = size;
      return ticket_fails_ ? Step::kFailed : Step::kDone;
    }
    if (size < 5) return Step::kIncomplete;
    const std::size_t record =
        5 + (static_cast<unsigned char>(input[3]) << 8 | static_cast<unsigned char>(input[4]));
    if (size < record) return Step::kIncomplete;
    if (input[0] != 22) return Step::kFailed;
    *extra = size - record;
    return std::string(input + 5, record - 5) == "done" ? Step::kDone : Step::kContinue;
  }

  Decrypted DecryptRecord(char* record, std::size_t size, std::size_t* offset,
                          std::size_t* length) override {
    switch (record[0]) {
      case 21:
        return Decrypted::kClosed;
      case 23:
        if (size < 7) return Decrypted::kFailed;
        *offset = 5;
        *length = size - 7;
        return Decrypted::kData;
      case 20:  // plaintext claimed beyond the record
        *offset = 5;
        *length = size;
        return Decrypted::kData;
      case 22: {
        const std::string message(record + 5, size - 5);
        if (message == "hr") return Decrypted::kRenegotiate;
        after_ticket_ = message == "ticket" || message == "badticket";
        ticket_fails_ = message == "badticket";
        return after_ticket_ ? Decrypted::kPostHandshake : Decrypted::kFailed;
      }
      default:
        return Decrypted::kFailed;
    }
  }

 private:
  std::string wire_;
  std::size_t chunk_;
  bool fail_at_end_;
  std::size_t sent_ = 0;
  bool after_ticket_ = false;
  bool ticket_fails_ = false;
};

// How a stream ended: the peer's close_notify, an end without it, a failure.
enum End { kNotified, kNoNotice, kFailed };

// Reads until the stream ends; returns the plaintext and sets *end to how it ended, after
// checking that the end is final.
std::string ReadAll(TlsRecordBuffer& buffer, FakePeer& peer, int capacity, End* end) {
  std::string text;
  std::string piece(static_cast<std::size_t>(capacity), '\0');
  int result;
  while ((result = buffer.Read(peer, &piece[0], capacity)) > 0) {
    EXPECT_LE(result, capacity);
    text.append(piece, 0, static_cast<std::size_t>(result));
  }
  EXPECT_EQ(buffer.Read(peer, &piece[0], capacity), result) << "the end is final";
  *end = result < 0 ? kFailed : buffer.EndedWithoutNotice() ? kNoNotice : kNotified;
  return text;
}

struct ReadCase {
  const char* name;
  std::string wire;
  std::size_t chunk;  // bytes per receive
  int capacity;       // bytes per Read
  bool fail_at_end;   // the connection fails rather than closes after the wire
  std::string text;   // plaintext expected
  End end;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
  *os << c.name;
}

const std::string kLargest(TlsRecordBuffer::kMaxFragment - 2, 'x');

// A close between records ends the stream, but without notice: anyone on the path can close a
// connection. Only a close_notify ends it with one.
const ReadCase kReadCases[] = {
    {"one record", Data("hello"), 1000, 100, false, "hello", kNoNotice},
    {"every byte its own receive", Data("hello") + Data("world"), 1, 3, false, "helloworld",
     kNoNotice},
    {"records after a record in one receive", Data("ab") + Data("cd") + Data("e"), 64, 1, false,
     "abcde", kNoNotice},
    {"largest records back to back", Data(kLargest) + Data(kLargest), 5000, 16383, false,
     kLargest + kLargest, kNoNotice},
    {"a record without plaintext is skipped", Data("") + Data("x"), 4, 8, false, "x", kNoNotice},
    {"close inside a record", Data("hello") + Data("world").substr(0, 7), 9, 100, false, "hello",
     kFailed},
    {"close inside a header", Data("hello") + Data("world").substr(0, 3), 100, 100, false, "hello",
     kFailed},
    {"failed receive", Data("hello"), 100, 100, true, "hello", kFailed},
    {"close_notify ends the stream; what follows is ignored",
     Data("a") + Record(21, "cn") + Data("b"), 100, 100, true, "a", kNotified},
    {"renegotiation request ends the stream at once", Data("a") + Record(22, "hr") + Data("b"), 100,
     100, true, "a", kNoNotice},
    {"post-handshake message goes back to the handshake and the reading goes on",
     Data("a") + Record(22, "ticket") + Data("b"), 100, 100, false, "ab", kNoNotice},
    {"post-handshake message with nothing after it yet",
     Data("a") + Record(22, "ticket") + Data("b"), 1, 100, false, "ab", kNoNotice},
    {"post-handshake message the handshake fails on",
     Data("a") + Record(22, "badticket") + Data("b"), 100, 100, false, "a", kFailed},
    {"unknown content type", Data("a") + Record(24, "xx"), 100, 100, false, "a", kFailed},
    {"not TLS at all", "HTTP/1.0 400 Bad Request\r\n\r\n", 100, 100, false, "", kFailed},
    {"fragment longer than TLS allows", std::string("\x17\x03\x03\x48\x01", 5), 100, 100, false, "",
     kFailed},
    {"failed decryption", Data("a") + Record(22, "hs") + Data("b"), 100, 100, false, "a", kFailed},
    {"plaintext claimed outside its record", Record(20, "xyz"), 100, 100, false, "", kFailed},
};

class TlsRecordRead : public testing::TestWithParam<ReadCase> {};

TEST_P(TlsRecordRead, HandsOutThePlaintextAndEndsAsTheStreamDid) {
  const ReadCase& c = GetParam();
  TlsRecordBuffer buffer;
  FakePeer peer(c.wire, c.chunk, c.fail_at_end);
  End end = kFailed;
  EXPECT_EQ(ReadAll(buffer, peer, c.capacity, &end), c.text);
  EXPECT_EQ(end, c.end);
}

INSTANTIATE_TEST_SUITE_P(Table, TlsRecordRead, testing::ValuesIn(kReadCases));

TEST(TlsRecordReadArguments, NoRoomForPlaintextIsAFailure) {
  TlsRecordBuffer buffer;
  FakePeer peer(Data("a"), 100, false);
  char byte;
  EXPECT_EQ(buffer.Read(peer, &byte, 0), -1);
}

struct HandshakeCase {
  const char* name;
  std::string wire;
  std::size_t chunk;
  bool read_first;
  bool negotiated;
  std::string text;  // what Read yields afterwards, when negotiated
};

void PrintTo(const HandshakeCase& c, std::ostream* os) {
  *os << c.name;
}

const std::string kFlight = Record(22, "server hello") + Record(22, "certificate");

const HandshakeCase kHandshakeCases[] = {
    {"data in the receive that ends the handshake", kFlight + Record(22, "done") + Data("body"),
     1000, true, true, "body"},
    {"every byte its own receive", kFlight + Record(22, "done") + Data("body"), 1, true, true,
     "body"},
    {"first step before any receive", kFlight + Record(22, "done"), 7, false, true, ""},
    {"closed during the handshake", kFlight, 5, true, false, ""},
    {"step fails", kFlight + Data("early"), 1000, true, false, ""},
    {"more than the buffer holds at once", Record(22, std::string(TlsRecordBuffer::kCapacity, 'h')),
     4096, true, false, ""},
};

class TlsRecordHandshake : public testing::TestWithParam<HandshakeCase> {};

TEST_P(TlsRecordHandshake, KeepsWhatFollowsTheHandshake) {
  const HandshakeCase& c = GetParam();
  TlsRecordBuffer buffer;
  FakePeer peer(c.wire, c.chunk, false);
  ASSERT_EQ(buffer.Negotiate(peer, c.read_first), c.negotiated);
  if (!c.negotiated) return;
  End end = kFailed;
  EXPECT_EQ(ReadAll(buffer, peer, 64, &end), c.text);
  EXPECT_EQ(end, kNoNotice);
}

INSTANTIATE_TEST_SUITE_P(Table, TlsRecordHandshake, testing::ValuesIn(kHandshakeCases));
}  // namespace
