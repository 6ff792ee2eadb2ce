// The bytes of a TLS connection between the socket and the decryption: ciphertext as it
// arrives, cut into whole records, and the plaintext of the record just decrypted in place,
// handed out in pieces of whatever size the reader asks for. It knows nothing of the system's
// TLS library, so that its bookkeeping is tested without a network.
//
// Layout of the storage: [taken records][plaintext not yet read][ciphertext][free room].
// The plaintext lies inside the record it was decrypted from; ciphertext after that record
// stays where it is until the plaintext is read, then moves to the front to make room.
#pragma once

#include <cstddef>
#include <vector>

// What the record loops need from outside: the connection and the TLS library.
class TlsRecordPeer {
 public:
  enum class Step { kIncomplete, kContinue, kDone, kFailed };
  // kRenegotiate: the peer asks for a new handshake, which this client takes no part in.
  // kPostHandshake: the record held a message that goes back to the handshake (TLS 1.3's
  // session tickets and key updates), which then takes the records after it.
  enum class Decrypted { kData, kClosed, kRenegotiate, kPostHandshake, kFailed };

  // One receive from the connection: bytes received, 0 when the peer closed, -1 on failure.
  virtual int ReceiveCiphertext(char* buffer, int capacity) = 0;
  // One handshake step on the size bytes at input, sending whatever the step produces.
  // kIncomplete: the input holds too little to go on (nothing consumed). kContinue and kDone:
  // the last *extra bytes of the input were left unread.
  virtual Step HandshakeStep(char* input, std::size_t size, std::size_t* extra) = 0;
  // Decrypts one whole record of size bytes in place; with kData its plaintext lies at
  // [*offset, *offset + *length) of the record. kClosed: the peer's close_notify.
  virtual Decrypted DecryptRecord(char* record, std::size_t size, std::size_t* offset,
                                  std::size_t* length) = 0;

 protected:
  ~TlsRecordPeer() = default;
};

class TlsRecordBuffer {
 public:
  static constexpr std::size_t kHeaderSize = 5;
  // The longest fragment a record may carry: 2^14 bytes of plaintext plus the 2048 bytes
  // TLS 1.2 allows for protection (TLS 1.3 allows less).
  static constexpr std::size_t kMaxFragment = 16384 + 2048;
  static constexpr std::size_t kMaxRecord = kHeaderSize + kMaxFragment;
  // A handshake step may need more than one record before it can go on.
  static constexpr std::size_t kCapacity = 2 * kMaxRecord;

  TlsRecordBuffer();

  // Runs handshake steps until one completes: false when a step fails, the peer closes, a
  // receive fails or the handshake needs more than kCapacity bytes at once. With read_first,
  // receives before the first step. Bytes that follow the handshake stay for Read.
  bool Negotiate(TlsRecordPeer& peer, bool read_first);
  // Up to capacity bytes of plaintext: bytes copied, 0 once the stream has ended (the peer's
  // close_notify; or, without it, a close between records or a renegotiation request), -1 on
  // failure (a failed receive or decryption, a malformed record, a close inside a record, a
  // post-handshake message the handshake fails on, or capacity below 1). Both ends are final.
  // A post-handshake message goes back to the handshake, and the reading goes on.
  int Read(TlsRecordPeer& peer, char* out, int capacity);
  // Whether the stream ended without the peer's close_notify: what came may not be all the
  // peer sent, since anyone on the path can close a connection.
  bool EndedWithoutNotice() const { return state_ == State::kEndedWithoutNotice; }
  // Whether the stream is open and holds nothing, ciphertext or plaintext, not yet read.
  bool Idle() const {
    return state_ == State::kOpen && PlaintextSize() == 0 && CiphertextSize() == 0;
  }

 private:
  enum class Framing { kIncomplete, kComplete, kMalformed };
  enum class State { kOpen, kClosed, kEndedWithoutNotice, kFailed };

  // The ciphertext received and not yet taken.
  char* Ciphertext() { return storage_.data() + cipher_begin_; }
  std::size_t CiphertextSize() const { return cipher_end_ - cipher_begin_; }
  std::size_t PlaintextSize() const { return plain_end_ - plain_begin_; }

  // One receive into the free room (made first); false when it brings no byte.
  bool ReceiveMore(TlsRecordPeer& peer, int* received);
  // Moves the ciphertext down as far as the held plaintext allows; returns the free room.
  std::size_t MakeRoom();
  // Drops all of the ciphertext but its last `extra` bytes; false when there are fewer.
  bool KeepLast(std::size_t extra);
  // Whether the ciphertext begins with a whole record, and its size (header included). A
  // header no TLS peer sends (unknown content type, a version other than 3.x, a fragment
  // longer than kMaxFragment) is malformed.
  Framing FirstRecord(std::size_t* size) const;
  // The first `size` bytes of ciphertext, one record decrypted in place, leave the ciphertext;
  // the plaintext at [offset, offset + length) of them is held for reading. False, and nothing
  // changed, when the ranges do not fit.
  bool TakeDecrypted(std::size_t size, std::size_t offset, std::size_t length);
  std::size_t ReadPlaintext(char* out, std::size_t capacity);

  std::vector<char> storage_;
  State state_ = State::kOpen;
  std::size_t plain_begin_ = 0;
  std::size_t plain_end_ = 0;
  std::size_t cipher_begin_ = 0;
  std::size_t cipher_end_ = 0;
};
