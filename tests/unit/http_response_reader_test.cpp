#include "net/http/http_response_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/unit/recording_reply_events.h"

namespace {
using Ending = HttpResponseReader::Ending;
constexpr Ending kClosed = Ending::PeerClosed;
constexpr Ending kFailed = Ending::ReceiveFailed;
constexpr Ending kNoNotice = Ending::PeerClosedWithoutNotice;

std::string Bytes(const char* text, std::size_t length) {
  return std::string(text, length);
}

std::string Ok(const std::string& lines) {
  return "HTTP/1.0 200 OK\r\n" + lines + "\r\n";
}

std::string WithLength(const std::string& value) {
  return Ok("Content-Length:" + value + "\r\n");
}

// An HTTP/1.1 reply whose body is the given chunk framing.
std::string Chunked(const std::string& framing, const std::string& lines = "") {
  return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n" + lines + "\r\n" + framing;
}

std::string Coded(const std::string& lines) {
  return "HTTP/1.1 200 OK\r\n" + lines + "\r\n5\r\nhello\r\n0\r\n\r\n";
}

std::string Repeated(const std::string& text, int times) {
  std::string repeated;
  for (int i = 0; i < times; ++i) repeated += text;
  return repeated;
}

// A header block of exactly size bytes, blank line included, announcing an empty body.
std::string HeaderOfSize(std::size_t size) {
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 0\r\nX-Pad: ";
  const std::string tail = "\r\n\r\n";
  return head + std::string(size - head.size() - tail.size(), 'p') + tail;
}

struct ReplyCase {
  const char* name;
  std::vector<std::string> receives;
  Ending end;
  // As RecordingReplyEvents writes them, with '|' where the stream ended.
  const char* events;
  std::string body;
  std::vector<int> blocks;  // checked when not empty
  bool head_only = false;
};

// clang-format off
const ReplyCase kCases[] = {
    // Well-formed replies; a reply with a length ends without waiting for the close.
    {"LengthInOneRead", {WithLength(" 5") + "hello"}, kClosed, "HDC|", "hello", {5}},
    {"SplitInsideBlankLine", {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r", "\nhello"}, kClosed,
     "HDC|", "hello", {5}},
    {"HeaderOverThreeReads", {"HTTP/1.0 2", "00 OK\r\nConte", "nt-Length: 5\r\n\r\nhel", "lo"},
     kClosed, "HDDC|", "hello", {3, 2}},
    {"ReadEndsAtHeaderEnd", {WithLength(" 4"), "body"}, kClosed, "HDDC|", "body", {0, 4}},
    {"LengthZero", {WithLength(" 0")}, kClosed, "HDC|", "", {0}},
    {"HeaderFillsTheBufferExactly", {HeaderOfSize(16383)}, kClosed, "HDC|", "", {0}},
    {"NoLengthReadsUntilClose", {Ok("Server: t\r\n"), "part1", "part2"}, kClosed, "HDDD|C",
     "part1part2", {0, 5, 5}},
    {"BodyWithNulBytes", {WithLength(" 6") + Bytes("a\0b\0\0c", 6)}, kClosed, "HDC|",
     Bytes("a\0b\0\0c", 6), {6}},
    // A reply to HEAD ends with its header block, whatever length it announces.
    {"HeadEndsWithItsHeaderBlock", {WithLength(" 1234")}, kClosed, "HDC|", "", {0}, true},
    {"HeadWithLengthZeroEndsAtOnce", {WithLength(" 0")}, kClosed, "HDC|", "", {0}, true},

    // Statuses other than 200 end the reply; their body and length do not matter.
    {"Status404", {"HTTP/1.0 404 Not Found\r\nContent-Length: x\r\n\r\nabc"}, kClosed, "HS404|",
     "", {}},
    {"HighestStatus", {"HTTP/1.1 999 X\r\n\r\n"}, kClosed, "HS999|", "", {}},

    // Interim replies come before the final one and are passed over, five at most; a 101 would
    // switch to another protocol.
    {"InterimRepliesPassedOver",
     {"HTTP/1.1 103 Early Hints\r\nLink: </s.css>\r\n\r\nHTTP/1.1 100 Continue\r\n\r\n" +
      WithLength(" 2") + "ok"},
     kClosed, "HDC|", "ok", {2}},
    {"FiveInterimReplies", {Repeated("HTTP/1.1 102 Processing\r\n\r\n", 5) + WithLength(" 2") + "ok"},
     kClosed, "HDC|", "ok", {2}},
    {"SixInterimReplies", {Repeated("HTTP/1.1 102 Processing\r\n\r\n", 6) + WithLength(" 2") + "ok"},
     kClosed, "M|", "", {}},
    {"SwitchingProtocols", {"HTTP/1.1 101 Switching Protocols\r\nUpgrade: h2c\r\n\r\n"}, kClosed,
     "M|", "", {}},
    {"ClosedAfterInterimReply", {"HTTP/1.1 100 Continue\r\n\r\n"}, kClosed, "|T", "", {}},
    {"NotHttpAfterInterimReply", {"HTTP/1.1 100 Continue\r\n\r\nraw bytes"}, kClosed, "M|", "",
     {}},

    // Replies that are not HTTP are body from the first byte.
    {"NotHttp", {"hello world", "more"}, kClosed, "HDD|C", "hello worldmore", {11, 4}},
    {"LowerCaseHttpIsNotHttp", {"http/1.0 200 OK\r\n\r\nbody"}, kClosed, "HD|C",
     "http/1.0 200 OK\r\n\r\nbody", {23}},
    {"FirstReadOnlyStartsLikeHttp", {"HT", "TP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"},
     kClosed, "HDC|", "ok", {2}},
    {"ShortReadThatCannotBecomeHttp", {"HTX"}, kClosed, "HD|C", "HTX", {3}},
    {"ShortReplyThatStartsLikeHttp", {"HTT"}, kClosed, "|HDC", "HTT", {3}},
    {"ShortStartLikeHttpThenFailure", {"HTT"}, kFailed, "|R", "", {}},

    // Cut short, stalled or too long.
    {"ClosedBeforeLength", {WithLength(" 10") + "abc"}, kClosed, "HD|T", "abc", {3}},
    {"ClosedBeforeLargestLength", {WithLength(" 4294967295") + "abc"}, kClosed, "HD|T", "abc",
     {3}},
    {"ClosedInsideHeader", {"HTTP/1.0 200 OK\r\nContent-Le"}, kClosed, "|T", "", {}},
    {"ClosedBeforeAnyByte", {}, kClosed, "|T", "", {}},
    {"StallBeforeLength", {WithLength(" 10") + "abc"}, kFailed, "HD|R", "abc", {3}},
    {"StallWithoutLength", {Ok("") + "abc"}, kFailed, "HD|R", "abc", {3}},
    {"StallInsideHeader", {"HTTP/1.0 200 OK\r\n"}, kFailed, "|R", "", {}},
    {"StallBeforeAnyByte", {}, kFailed, "|R", "", {}},
    {"StallInNonHttpReply", {"raw bytes"}, kFailed, "HD|R", "raw bytes", {9}},
    {"HeaderOneByteTooLong", {HeaderOfSize(16384)}, kClosed, "L|", "", {}},
    {"HeaderDoesNotFit", {Ok("X-Big: " + std::string(20000, 'a') + "\r\n")}, kClosed, "L|", "",
     {}},

    // A close without the stream's own end (TLS without close_notify): only a length can say
    // that the body is whole.
    {"NoLengthClosedWithoutNotice", {Ok("Server: t\r\n"), "part1"}, kNoNotice, "HDD|T", "part1",
     {0, 5}},
    {"NotHttpClosedWithoutNotice", {"raw bytes"}, kNoNotice, "HD|T", "raw bytes", {9}},
    {"ShortReplyClosedWithoutNotice", {"HTT"}, kNoNotice, "|HDT", "HTT", {3}},
    {"LengthArrivedBeforeCloseWithoutNotice", {WithLength(" 3") + "abc"}, kNoNotice, "HDC|",
     "abc", {3}},

    // Status lines without a usable number.
    {"StatusWithoutNumber", {"HTTP/1.0 OK\r\nContent-Length: 4\r\n\r\nbody"}, kClosed, "M|", "",
     {}},
    {"StatusMinusSix", {"HTTP/1.0 -6 X\r\n\r\n"}, kClosed, "M|", "", {}},
    {"StatusMinusTwo", {"HTTP/1.0 -2 X\r\n\r\n"}, kClosed, "M|", "", {}},
    {"StatusZero", {"HTTP/1.0 0 X\r\n\r\n"}, kClosed, "M|", "", {}},
    {"Status99", {"HTTP/1.0 99 X\r\n\r\n"}, kClosed, "M|", "", {}},
    {"Status1000", {"HTTP/1.0 1000 X\r\n\r\n"}, kClosed, "M|", "", {}},
    {"StatusWrapsTo200", {"HTTP/1.0 4294967496 X\r\n\r\nbody"}, kClosed, "M|", "", {}},

    // Content-Length: a plain decimal number below 2^32, blanks around it allowed.
    {"LengthNotANumber", {WithLength(" abc") + "xyz"}, kClosed, "M|", "", {}},
    {"LengthWithTrailingLetters", {WithLength(" 12abc") + "xyz"}, kClosed, "M|", "", {}},
    {"LengthNegative", {WithLength(" -5") + "xyz"}, kClosed, "M|", "", {}},
    {"LengthWithPlus", {WithLength(" +3") + "xyz"}, kClosed, "M|", "", {}},
    {"LengthTooLarge", {WithLength(" 99999999999") + "xyz"}, kClosed, "M|", "", {}},
    {"LengthWrapsToZero", {WithLength(" 4294967296") + "xyz"}, kClosed, "M|", "", {}},
    {"LengthEmpty", {WithLength("") + "xyz"}, kClosed, "M|", "", {}},
    {"LengthOnlyBlanks", {WithLength(" \t ") + "xyz"}, kClosed, "M|", "", {}},
    {"LengthTwoNumbers", {WithLength(" 1 2") + "xyz"}, kClosed, "M|", "", {}},
    {"LengthWithBlanksAround", {WithLength("\t 3 \t") + "xyz"}, kClosed, "HDC|", "xyz", {3}},
    {"LengthWithoutBlank", {WithLength("3") + "xyz"}, kClosed, "HDC|", "xyz", {3}},
    // A blank before a colon may be read either way along the path; a folded line continues the
    // field before it and is no field of its own.
    {"BlankBeforeColon", {Ok("Content-Length : 2\r\n") + "xyz"}, kClosed, "M|", "", {}},
    {"ChunkedWithBlankBeforeColon", {Coded("Transfer-Encoding : chunked\r\n")}, kClosed, "M|", "",
     {}},
    {"FoldedLengthIsNoLength", {Ok("X-Note: a\r\n Content-Length: 3\r\n") + "abcdef"}, kClosed,
     "HD|C", "abcdef", {6}},
    {"FoldedLengthValue", {Ok("Content-Length: 3\r\n 4\r\n") + "xyz"}, kClosed, "M|", "", {}},
    {"RepeatedEqualLengths", {Ok("Content-Length: 3\r\ncontent-length:3 \r\n") + "xyz"}, kClosed,
     "HDC|", "xyz", {3}},
    {"ConflictingLengths", {Ok("Content-Length: 3\r\nCONTENT-LENGTH: 2\r\n") + "xyz"}, kClosed,
     "M|", "", {}},
    {"ConflictingLengthsAlsoWhenLastIsRepeated",
     {Ok("Content-Length: 2\r\nContent-Length: 3\r\nContent-Length: 3\r\n") + "xyz"}, kClosed,
     "M|", "", {}},
    {"OneGoodOneBadLength", {Ok("Content-Length: 3\r\nContent-Length: x\r\n") + "xyz"}, kClosed,
     "M|", "", {}},

    // No byte past the announced length is passed on.
    {"BlockBeyondLengthIsCut", {WithLength(" 3") + "abcdef"}, kClosed, "HDC|", "abc", {3}},
    {"LaterBlockBeyondLengthIsCut", {WithLength(" 5") + "abc", "defgh"}, kClosed, "HDDC|",
     "abcde", {3, 2}},
    {"BytesAfterLengthZero", {WithLength(" 0") + "junk"}, kClosed, "HDC|", "", {0}},
    {"HeadBytesAfterHeaderBlockAreNoBody", {WithLength(" 2") + "abcd"}, kClosed, "HDC|", "", {0},
     true},

    // A chunked body arrives without its framing; the last chunk ends it, not the close.
    {"Chunked", {Chunked("5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n")}, kClosed, "HDC|",
     "hello world", {11}},
    {"ChunkSizesInHexOfAnyCase", {Chunked("0A\r\n0123456789\r\na\r\nabcdefghij\r\n000\r\n\r\n")},
     kClosed, "HDC|", "0123456789abcdefghij", {20}},
    {"ChunkExtensionsAndTrailersSkipped",
     {Chunked("5;n=\"a;b\"\r\nhello\r\n3 ; x\r\nabc\r\n0;last\r\nX-Sum: 1\r\nY: 2\r\n\r\n")},
     kClosed, "HDC|", "helloabc", {8}},
    {"ChunksOverThreeReads", {Chunked("5\r\nhel"), "lo\r\n0\r\n", "\r\n"}, kClosed, "HDDC|",
     "hello", {3, 2}},
    {"BytesAfterLastChunkDropped", {Chunked("2\r\nok\r\n0\r\n\r\njunk")}, kClosed, "HDC|", "ok",
     {2}},
    {"ChunkedCodingInAnyCase", {Coded("Transfer-Encoding:  CHUNKED ,\r\n")}, kClosed, "HDC|",
     "hello", {5}},
    {"ClosedBeforeLastChunk", {Chunked("5\r\nhello\r\n")}, kClosed, "HD|T", "hello", {5}},
    {"LastChunkWithoutItsEmptyLine", {Chunked("5\r\nhello\r\n0\r\n")}, kClosed, "HD|T", "hello",
     {5}},
    {"ClosedInsideTrailer", {Chunked("0\r\nX-Sum: 1\r\n")}, kClosed, "HD|T", "", {0}},
    {"ResetBeforeLastChunk", {Chunked("5\r\nhel")}, kFailed, "HD|R", "hel", {3}},
    {"LargestChunkSize", {Chunked("fFfFfFfF\r\nabc")}, kClosed, "HD|T", "abc", {3}},
    {"ChunkSizeBeyond4GiB", {Chunked("100000000\r\nabc")}, kClosed, "HDM|", "", {0}},
    {"ChunkSizesAddingUpBeyond4GiB", {Chunked("2\r\nab\r\nFFFFFFFE\r\n")}, kClosed, "HDM|", "ab",
     {2}},
    {"ChunkSizeNotHex", {Chunked("5\r\nhello\r\nx\r\n")}, kClosed, "HDM|", "hello", {5}},
    {"ChunkSizeMissing", {Chunked(";x\r\nhello\r\n0\r\n\r\n")}, kClosed, "HDM|", "", {0}},
    {"ChunkSizeWithSign", {Chunked("+5\r\nhello\r\n0\r\n\r\n")}, kClosed, "HDM|", "", {0}},
    {"ChunkSizeLineEndsInBareLf", {Chunked("5\nhello\r\n0\r\n\r\n")}, kClosed, "HDM|", "", {0}},
    {"ChunkDataWithoutCrLf", {Chunked("5\r\nhelloX\r\n0\r\n\r\n")}, kClosed, "HDM|", "hello", {5}},
    {"ChunkDataWithBareLf", {Chunked("5\r\nhello\n0\r\n\r\n")}, kClosed, "HDM|", "hello", {5}},
    {"TrailerLineEndsInBareLf", {Chunked("0\r\nX: 1\n\r\n")}, kClosed, "HDM|", "", {0}},
    {"ExtensionsBeyondTheLineLimit", {Chunked("1;" + std::string(5000, 'e') + "\r\nx\r\n")},
     kClosed, "HDM|", "", {0}},

    // Framing that cannot be trusted: nothing of the body is passed on.
    {"ChunkedBesideALength", {Coded("Transfer-Encoding: chunked\r\nContent-Length: 5\r\n")},
     kClosed, "M|", "", {}},
    {"OtherCoding", {Coded("Transfer-Encoding: gzip\r\n")}, kClosed, "M|", "", {}},
    {"ChunkedAfterOtherCoding", {Coded("Transfer-Encoding: gzip, chunked\r\n")}, kClosed, "M|",
     "", {}},
    {"ChunkedTwice", {Coded("Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n")},
     kClosed, "M|", "", {}},
    {"EmptyCoding", {Coded("Transfer-Encoding: \r\n")}, kClosed, "M|", "", {}},
    {"ChunkedInHttp10Reply", {"HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n"},
     kClosed, "M|", "", {}},
    {"CodingOfOtherStatusDoesNotMatter",
     {"HTTP/1.1 404 Not Found\r\nTransfer-Encoding: gzip\r\nContent-Length: 1\r\n\r\n"},
     kClosed, "HS404|", "", {}},

    // A NUL in the header block hides what follows it.
    {"NulInHeaderLine", {Ok(Bytes("X: a\0b\r\nContent-Length: 3\r\n", 27)) + "abc"}, kClosed,
     "M|", "", {}},
    {"NulInStatusLine", {Bytes("HTTP/1.0 200\0OK\r\n\r\nabc", 22)}, kClosed, "M|", "", {}},
    {"NulInHeaderOfOtherStatus", {Bytes("HTTP/1.0 404 \0\r\n\r\n", 18)}, kClosed, "M|", "", {}},
};
// clang-format on

void PrintTo(const ReplyCase& c, std::ostream* os) {
  *os << c.name;
}

struct Outcome {
  std::string events;
  std::string body;
  std::vector<int> blocks;
};

Outcome Read(const std::vector<std::string>& receives, Ending end, bool head_only) {
  HeaderMap headers;
  HttpResponseReader reader(headers, head_only);
  RecordingReplyEvents events;
  for (const std::string& receive : receives) {
    FeedAsReceives(reader, receive.data(), receive.size(), events);
  }
  events.events += '|';
  reader.End(end, events);
  return {events.events, events.body, events.blocks};
}

// The events with each run of body blocks counted once: what no split of the reply changes.
std::string WithoutBlockCount(std::string events) {
  events.erase(std::unique(events.begin(), events.end(),
                           [](char a, char b) { return a == 'D' && b == 'D'; }),
               events.end());
  return events;
}

class HttpResponseReading : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(HttpResponseReading, PassesOnBodyAndEnding) {
  const ReplyCase& c = GetParam();
  const Outcome outcome = Read(c.receives, c.end, c.head_only);
  EXPECT_EQ(outcome.events, c.events);
  EXPECT_TRUE(outcome.body == c.body) << outcome.body;
  if (!c.blocks.empty()) {
    EXPECT_EQ(outcome.blocks, c.blocks);
  }
}

std::string CaseName(const ::testing::TestParamInfo<ReplyCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Replies, HttpResponseReading, ::testing::ValuesIn(kCases), CaseName);

// Replies longer than the buffer are already split by the reader's own limit on a receive.
std::vector<ReplyCase> ShortCases() {
  std::vector<ReplyCase> cases;
  for (const ReplyCase& c : kCases) {
    std::size_t size = 0;
    for (const std::string& receive : c.receives) size += receive.size();
    if (size < 1024) cases.push_back(c);
  }
  return cases;
}

class HttpResponseSplits : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(HttpResponseSplits, EveryTwoWaySplitGivesTheSameReply) {
  const ReplyCase& c = GetParam();
  std::string whole;
  for (const std::string& receive : c.receives) whole += receive;
  for (std::size_t at = 1; at < whole.size(); ++at) {
    SCOPED_TRACE(at);
    const Outcome outcome = Read({whole.substr(0, at), whole.substr(at)}, c.end, c.head_only);
    EXPECT_EQ(WithoutBlockCount(outcome.events), WithoutBlockCount(c.events));
    EXPECT_TRUE(outcome.body == c.body) << outcome.body;
  }
}

INSTANTIATE_TEST_SUITE_P(Replies, HttpResponseSplits, ::testing::ValuesIn(ShortCases()), CaseName);

TEST(HttpResponseReader, WhereAnHttpReplyIsRequiredOtherBytesAreMalformed) {
  const struct {
    std::string reply;
    Ending end;
    const char* events;
  } cases[] = {
      {"<html>not a reply</html>", kClosed, "M|"},
      {"HTT", kClosed, "|M"},
      {"", kClosed, "|T"},
      {"HTT", kFailed, "|R"},
      {WithLength(" 2") + "ok", kClosed, "HDC|"},
  };
  for (const auto& c : cases) {
    HeaderMap headers;
    HttpResponseReader reader(headers, false);
    reader.RequireHttpReply();
    RecordingReplyEvents events;
    FeedAsReceives(reader, c.reply.data(), c.reply.size(), events);
    events.events += '|';
    reader.End(c.end, events);
    EXPECT_EQ(events.events, c.events) << c.reply;
  }
}

// Only a reply that ended where its own framing said, with nothing after it, in HTTP/1.1 without
// "Connection: close", leaves the connection for another request.
TEST(HttpResponseReader, LeavesTheConnectionOpenOnlyAfterAFramedHttp11Reply) {
  const std::string kLength2 = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n";
  const struct {
    std::string reply;
    bool head_only;
    bool open;
  } cases[] = {
      {kLength2 + "\r\nok", false, true},
      {Chunked("2\r\nok\r\n0\r\n\r\n"), false, true},
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, true},
      {kLength2 + "\r\n", true, true},
      {kLength2 + "Connection: keep-alive, Close\r\n\r\nok", false, false},
      {WithLength(" 2") + "ok", false, false},  // HTTP/1.0, whatever it says
      {kLength2 + "\r\nok+more", false, false},
      {Chunked("2\r\nok\r\n0\r\n\r\nX"), false, false},
      {"HTTP/1.1 200 OK\r\n\r\nread to the close", false, false},
      {kLength2 + "\r\no", false, false},
      {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", false, false},
  };
  for (const auto& c : cases) {
    HeaderMap headers;
    HttpResponseReader reader(headers, c.head_only);
    EXPECT_TRUE(reader.ReceivedNothing());
    RecordingReplyEvents events;
    reader.Feed(c.reply.data(), static_cast<int>(c.reply.size()), events);
    reader.End(kClosed, events);
    EXPECT_FALSE(reader.ReceivedNothing());
    EXPECT_EQ(reader.LeavesConnectionOpen(), c.open) << c.reply;
  }
}

TEST(HttpResponseReader, RefusedBlockEndsTheReading) {
  HeaderMap headers;
  HttpResponseReader reader(headers, false);
  RecordingReplyEvents events;
  events.refuse_block = 2;
  const std::string reply = WithLength(" 10") + "abc";
  FeedAsReceives(reader, reply.data(), reply.size(), events);
  EXPECT_FALSE(reader.Finished());
  reader.Feed("def", 3, events);
  EXPECT_TRUE(reader.Finished());
  EXPECT_EQ(reader.SpaceSize(), 0);
  EXPECT_EQ(reader.Feed("ghij", 4, events), 0);
  reader.End(kFailed, events);
  EXPECT_EQ(events.events, "HDD");
  EXPECT_EQ(events.body, "abcdef");
}

}  // namespace

namespace {

TEST(HttpResponseReader, HeaderRoomIsSmallBodyReceivesAreLarge) {
  HeaderMap headers;
  HttpResponseReader reader(headers, false);
  RecordingReplyEvents events;
  EXPECT_EQ(reader.SpaceSize(), HttpResponseReader::kBufferSize - 1);
  reader.Feed("HTTP/1.0 200 OK\r\n", 17, events);
  EXPECT_EQ(reader.SpaceSize(), HttpResponseReader::kBufferSize - 1 - 17);
  reader.Feed("\r\n", 2, events);
  EXPECT_EQ(reader.SpaceSize(), HttpResponseReader::kBodyReceiveSize);
  const std::string block(HttpResponseReader::kBodyReceiveSize, 'b');
  EXPECT_EQ(reader.Feed(block.data(), static_cast<int>(block.size()), events),
            HttpResponseReader::kBodyReceiveSize);
  EXPECT_EQ(events.body.size(), block.size());
}

}  // namespace

namespace {

// A body without a length is counted in 64 bits and ends where a Content-Length would have to.
TEST(HttpResponseReader, BodyWithoutLengthBeyond4GiBIsMalformed) {
  class Counting : public RecordingReplyEvents {
   public:
    std::uint64_t bytes = 0;
    bool OnData(const char*, int length) override {
      bytes += static_cast<std::uint64_t>(length);
      return true;
    }
  } events;
  HeaderMap headers;
  HttpResponseReader reader(headers, false);
  FeedAsReceives(reader, "HTTP/1.0 200 OK\r\n\r\n", 19, events);
  while (!reader.Finished() && events.bytes <= HttpResponseReader::kLongestBody) {
    reader.Received(reader.SpaceSize(), events);  // the bytes' values do not matter
  }
  reader.End(kClosed, events);
  EXPECT_EQ(events.events, "HM");
  EXPECT_LE(events.bytes, HttpResponseReader::kLongestBody);
  EXPECT_GT(events.bytes, HttpResponseReader::kLongestBody - HttpResponseReader::kBodyReceiveSize);
}

}  // namespace
