#include "net/tls/tls_record_buffer.h"

#include <cstring>

namespace {
// Content types of TLS records: change_cipher_spec, alert, handshake, application_data.
bool IsKnownContentType(unsigned char type) {
  return type >= 20 && type <= 23;
}
}  // namespace

TlsRecordBuffer::TlsRecordBuffer() : storage_(kCapacity) {}

std::size_t TlsRecordBuffer::MakeRoom() {
  // Ciphertext moves down to the first byte nobody needs any more: the end of the held
  // plaintext, or the start of the storage when none is held.
  const std::size_t floor = PlaintextSize() > 0 ? plain_end_ : 0;
  if (PlaintextSize() == 0) plain_begin_ = plain_end_ = 0;
  if (cipher_begin_ > floor) {
    const std::size_t size = CiphertextSize();
    std::memmove(storage_.data() + floor, storage_.data() + cipher_begin_, size);
    cipher_begin_ = floor;
    cipher_end_ = floor + size;
  }
  return storage_.size() - cipher_end_;
}

bool TlsRecordBuffer::KeepLast(std::size_t extra) {
  if (extra > CiphertextSize()) return false;
  cipher_begin_ = cipher_end_ - extra;
  return true;
}

TlsRecordBuffer::Framing TlsRecordBuffer::FirstRecord(std::size_t* size) const {
  if (CiphertextSize() < kHeaderSize) return Framing::kIncomplete;
  const auto* header = reinterpret_cast<const unsigned char*>(storage_.data() + cipher_begin_);
  const std::size_t fragment = static_cast<std::size_t>(header[3]) << 8 | header[4];
  if (!IsKnownContentType(header[0]) || header[1] != 3 || fragment > kMaxFragment) {
    return Framing::kMalformed;
  }
  if (CiphertextSize() < kHeaderSize + fragment) return Framing::kIncomplete;
  *size = kHeaderSize + fragment;
  return Framing::kComplete;
}

bool TlsRecordBuffer::TakeDecrypted(std::size_t size, std::size_t offset, std::size_t length) {
  if (PlaintextSize() > 0 || size > CiphertextSize() || offset > size || length > size - offset) {
    return false;
  }
  plain_begin_ = cipher_begin_ + offset;
  plain_end_ = plain_begin_ + length;
  cipher_begin_ += size;
  return true;
}

std::size_t TlsRecordBuffer::ReadPlaintext(char* out, std::size_t capacity) {
  const std::size_t count = capacity < PlaintextSize() ? capacity : PlaintextSize();
  if (count == 0) return 0;
  std::memcpy(out, storage_.data() + plain_begin_, count);
  plain_begin_ += count;
  return count;
}

bool TlsRecordBuffer::ReceiveMore(TlsRecordPeer& peer, int* received) {
  const std::size_t room = MakeRoom();
  *received = room == 0
                  ? -1
                  : peer.ReceiveCiphertext(storage_.data() + cipher_end_, static_cast<int>(room));
  if (*received <= 0) return false;
  // A peer that claims more than the room it was given is not believed beyond it.
  const auto count = static_cast<std::size_t>(*received);
  cipher_end_ += count < room ? count : room;
  return true;
}

bool TlsRecordBuffer::Negotiate(TlsRecordPeer& peer, bool read_first) {
  bool receive = read_first;
  for (;;) {
    int received;
    if (receive && !ReceiveMore(peer, &received)) return false;
    const std::size_t size = CiphertextSize();
    std::size_t extra = 0;
    const TlsRecordPeer::Step step = peer.HandshakeStep(Ciphertext(), size, &extra);
    if (step == TlsRecordPeer::Step::kIncomplete) {
      receive = true;
      continue;
    }
    if (step == TlsRecordPeer::Step::kFailed || !KeepLast(extra)) return false;
    if (step == TlsRecordPeer::Step::kDone) return true;
    // What the step left unread goes into the next step before anything new is received,
    // unless the step took nothing of it.
    receive = extra == 0 || extra == size;
  }
}

int TlsRecordBuffer::Read(TlsRecordPeer& peer, char* out, int capacity) {
  if (capacity < 1) return -1;
  for (;;) {
    if (PlaintextSize() > 0) {
      return static_cast<int>(ReadPlaintext(out, static_cast<std::size_t>(capacity)));
    }
    if (state_ != State::kOpen) return state_ == State::kFailed ? -1 : 0;
    std::size_t size = 0;
    switch (FirstRecord(&size)) {
      case Framing::kMalformed:
        state_ = State::kFailed;
        break;
      case Framing::kIncomplete: {
        int received;
        if (!ReceiveMore(peer, &received)) {
          // A close between records ends the stream, though without the peer's word that it
          // is done; inside a record it cuts one short.
          state_ =
              received == 0 && CiphertextSize() == 0 ? State::kEndedWithoutNotice : State::kFailed;
        }
        break;
      }
      case Framing::kComplete: {
        std::size_t offset = 0;
        std::size_t length = 0;
        const TlsRecordPeer::Decrypted result =
            peer.DecryptRecord(Ciphertext(), size, &offset, &length);
        if (result == TlsRecordPeer::Decrypted::kClosed) {
          state_ = State::kClosed;
        } else if (result == TlsRecordPeer::Decrypted::kRenegotiate) {
          // Nothing more comes unless the client renegotiates, which it does not.
          state_ = State::kEndedWithoutNotice;
        } else if (result == TlsRecordPeer::Decrypted::kPostHandshake) {
          // The decryption took the message; the handshake takes what follows it, if anything,
          // and leaves the rest for reading.
          cipher_begin_ += size;
          if (!Negotiate(peer, false)) state_ = State::kFailed;
        } else if (result != TlsRecordPeer::Decrypted::kData ||
                   !TakeDecrypted(size, offset, length)) {
          state_ = State::kFailed;
        }
        break;
      }
    }
  }
}
