// The reading of one HTTP reply, apart from any socket: the bytes of each receive go in,
// and the reader tells what they mean: the header block (parsed into a HeaderMap; interim 1xx
// replies before it passed over), the status when it is not 200, the body block by block, and
// how the reply ended. A body an HTTP/1.1 server sends chunked is passed on without its framing.
//
// Each receive goes straight into the reader's own buffer (Space, then Received), so that a
// body block is handed on in place; Feed does the same for bytes held elsewhere. A body block
// is the part of one receive that belongs to the body: the receive that completes the header
// block hands on the rest of itself, possibly nothing, as the first block. A chunked body is
// decoded in place, so each block is still one receive's worth, without the framing.
#pragma once

#include <cstdint>
#include <memory>

#include "net/http/header_map.h"

class HttpResponseReader {
 public:
  // The header block must end within the first kBufferSize - 1 bytes (one byte is kept for
  // the NUL that ends its text); receives are that small until it has.
  static constexpr int kBufferSize = 16384;
  // The body is received in larger pieces: each receive costs far more than its bytes.
  static constexpr int kBodyReceiveSize = 256 * 1024;
  // The longest body taken, with a length or without: what a Content-Length can announce.
  static constexpr std::uint64_t kLongestBody = 0xFFFFFFFFu;
  // Interim (1xx) replies passed over before the final one; one more is malformed.
  static constexpr int kMostInterimReplies = 5;

  enum class Failure {
    Malformed,  // no status number, or a status outside 100..999, a NUL in the header block, a
                // blank before a field's colon, a 101 or more than kMostInterimReplies interim
                // replies; a Content-Length that is no plain number or contradicts another; a
                // Transfer-Encoding other than chunked alone in an HTTP/1.1 reply, or one beside
                // a Content-Length; broken chunk framing or a body beyond kLongestBody bytes;
                // bytes that are no HTTP reply where one is required
    HeaderTooLong,  // the header block does not end within the buffer
    CutShort,       // the peer closed before the first byte, inside the header block or before
                    // the announced length, or ended a body without length without notice
    ReceiveFailed,  // a receive failed or timed out: what was still to come is lost
  };

  enum class Ending {
    PeerClosed,
    // The connection closed, but the stream had its own end to send first (TLS's close_notify)
    // and did not: a body that only the close could end is cut short.
    PeerClosedWithoutNotice,
    ReceiveFailed,
  };

  // Each call is made on the thread that feeds the reader. After OnStatus, OnComplete,
  // OnFailure, or an OnHeaderBlock or OnData that returns false the reader is finished and calls
  // nothing more.
  class Events {
   public:
    // The header block has been read into the HeaderMap, or the reply turned out to have none.
    // False: the body is not wanted, and the reading ends.
    virtual bool OnHeaderBlock() = 0;
    // A body block; data is valid only during the call; false ends the reading.
    virtual bool OnData(const char* data, int length) = 0;
    // A status other than 200: the body is not read.
    virtual void OnStatus(int status) = 0;
    // The announced length has been passed on, or the peer closed where that is no loss.
    virtual void OnComplete() = 0;
    virtual void OnFailure(Failure failure) = 0;

   protected:
    ~Events() = default;
  };

  // head_only: the reply answers a HEAD request; its Content-Length describes a body that
  // never comes, so a close before that length is no loss.
  // also_told: is told of every header line as well (a caller's own collector), may be null.
  HttpResponseReader(HeaderMap& headers, bool head_only,
                     HeaderMap::LineObserver* also_told = nullptr);
  HttpResponseReader(const HttpResponseReader&) = delete;
  HttpResponseReader& operator=(const HttpResponseReader&) = delete;

  // The request asked for part of a file (Range): a 206 carries a body like a 200. Set
  // before the first receive.
  void AcceptPartial() { accept_partial_ = true; }
  // Only an HTTP reply will do: bytes that do not begin with "HTTP/" are malformed rather than
  // a body (the answer to a request for part of a file, or to a retry of a file whose first
  // reply had a length). Set before the first receive.
  void RequireHttpReply() { require_http_ = true; }

  // Where the next receive goes, and how many bytes it may bring (at least 1 until finished).
  char* Space() { return buffer_.get() + held_; }
  int SpaceSize() const {
    if (finished_) return 0;
    return (header_done_ ? kBodyReceiveSize : kBufferSize - 1) - held_;
  }
  // count (1..SpaceSize()) bytes have been written at Space().
  void Received(int count, Events& events);
  // Copies up to SpaceSize() of the bytes into Space() and takes them as one receive; returns
  // how many it took.
  int Feed(const char* bytes, int count, Events& events);
  // No more bytes come; ends the reply with OnComplete or OnFailure unless it is finished.
  void End(Ending ending, Events& events);

  bool Finished() const { return finished_; }
  // Whether a 200 (or accepted 206) reply announced its length, and that length: known from
  // OnHeaderBlock on. A chunked reply announces none.
  bool LengthKnown() const { return length_known_; }
  std::uint32_t ContentLength() const { return content_length_; }
  // Body bytes handed on and taken so far (decoded, for a chunked body); never beyond
  // kLongestBody.
  std::uint32_t BodyBytes() const { return static_cast<std::uint32_t>(body_bytes_); }
  // Whether no byte of the reply has come yet.
  bool ReceivedNothing() const { return !received_any_; }
  // Whether the connection may carry another request: the reply ended where its own framing
  // (its length, its last chunk) said, with nothing after it, in HTTP/1.1 without "Connection:
  // close". A reply read to the connection's close, a status whose body was not read, or an
  // HTTP/1.0 one leaves a connection that is closed.
  bool LeavesConnectionOpen() const {
    return ended_at_framing_ && !bytes_after_end_ && persistent_;
  }

 private:
  class FramingCollector;

  // Takes the chunked framing (RFC 9112, 7.1) off a body: hexadecimal sizes, extensions and
  // trailer lines skipped, every line end a CR LF; the body ends with the last chunk's empty
  // line.
  class ChunkDecoder {
   public:
    enum class Result { More, Done, Broken };
    // Decodes count bytes at data in place; *decoded: how many body bytes now begin at data.
    // room: how many body bytes may still come in all; a chunk size beyond it is Broken.
    Result Decode(char* data, int count, std::uint64_t room, int* decoded);
    // Whether bytes followed the body's end in the decode that found it.
    bool BytesAfterEnd() const { return bytes_after_end_; }

   private:
    enum class State : std::uint8_t {
      Size,       // hexadecimal digits of a chunk size
      AfterSize,  // blanks, then a ';' and an extension, or the CR
      Extension,  // up to the CR
      SizeLf,     // the LF that ends the size line
      Data,       // the chunk's bytes
      DataCr,     // the CR LF after them
      DataLf,
      TrailerLine,  // at the start of a trailer line, or the CR of the empty line
      TrailerText,  // inside a trailer line, up to its CR
      TrailerLf,
      EndLf,  // the LF of the empty line that ends the body
      Done,
    };
    State state_ = State::Size;
    std::uint64_t left_ = 0;  // the chunk size being read, then its bytes still to come
    int digits_ = 0;
    int line_bytes_ = 0;  // of the size line, or of the trailer section
    bool bytes_after_end_ = false;
  };

  void ReadHeaderBlock(Events& events);
  // False when the body is not wanted.
  bool StartBody(Events& events);
  // The reply ended where its framing said; bytes_after_end: more came than it held.
  void EndAtFraming(bool bytes_after_end, Events& events);
  void Fail(Failure failure, Events& events);
  // Hands on the block within the announced length; whatever lies beyond is dropped.
  void PassBody(const char* data, int length, Events& events);
  // The same for a chunked body, decoded in place; first: the block that follows the header
  // block, handed on even when empty (later empty blocks are not).
  void PassChunked(char* data, int length, bool first, Events& events);

  HeaderMap& headers_;
  const bool head_only_;
  bool accept_partial_ = false;
  bool require_http_ = false;
  HeaderMap::LineObserver* const also_told_;
  // One allocation per reply, for the largest receive.
  std::unique_ptr<char[]> buffer_;
  int held_ = 0;      // bytes of the reply's start, until the header block has been dealt with
  int searched_ = 0;  // of those, already searched for the blank line
  bool header_done_ = false;
  bool finished_ = false;
  bool length_known_ = false;  // without a length the body runs to the close
  bool chunked_ = false;       // the body ends with its last chunk
  ChunkDecoder chunks_;
  std::uint32_t content_length_ = 0;
  std::uint64_t body_bytes_ = 0;  // handed on and taken so far
  int interim_replies_ = 0;
  bool received_any_ = false;
  bool persistent_ = false;  // the final reply's version and Connection line keep the connection
  bool ended_at_framing_ = false;
  bool bytes_after_end_ = false;
};
