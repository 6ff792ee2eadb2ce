// TlsRecordBuffer on any byte stream, received in pieces of any size and read in pieces of any
// size, optionally after a handshake. Its peer believes what the records say: a record's first
// payload bytes choose where it claims its plaintext lies, in range or not. The buffer must
// never touch memory outside its storage, hand out more than was asked or more plaintext
// than ciphertext arrived, or change its mind once the stream has ended.
//
// Input: one byte of flags (bit 0: handshake first), one byte for the receive size, one for
// the read size, then the bytes on the wire.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "net/tls/tls_record_buffer.h"

namespace {
class WirePeer : public TlsRecordPeer {
 public:
  WirePeer(const std::uint8_t* wire, std::size_t size, std::size_t chunk)
      : wire_(wire), size_(size), chunk_(chunk) {}

  int ReceiveCiphertext(char* buffer, int capacity) override {
    if (capacity < 1) std::abort();
    std::size_t count = size_ - sent_;
    if (count > chunk_) count = chunk_;
    if (count > static_cast<std::size_t>(capacity)) count = static_cast<std::size_t>(capacity);
    for (std::size_t i = 0; i < count; ++i) buffer[i] = static_cast<char>(wire_[sent_ + i]);
    sent_ += count;
    return static_cast<int>(count);
  }

  // Handshake records (type 22) are consumed one a step; one whose first payload byte is 0
  // completes the handshake. Anything else fails it.
  Step HandshakeStep(char* input, std::size_t size, std::size_t* extra) override {
    if (size < 6) return Step::kIncomplete;
    const std::size_t record =
        5 + (static_cast<std::uint8_t>(input[3]) << 8 | static_cast<std::uint8_t>(input[4]));
    if (size < record) return Step::kIncomplete;
    if (input[0] != 22) return Step::kFailed;
    *extra = size - record;
    return input[5] == 0 ? Step::kDone : Step::kContinue;
  }

  Decrypted DecryptRecord(char* record, std::size_t size, std::size_t* offset,
                          std::size_t* length) override {
    if (size < 5) std::abort();
    record[0] = static_cast<char>(record[0] ^ 0x5A);  // decrypting writes the whole record
    record[size - 1] = static_cast<char>(record[size - 1] ^ 0x5A);
    if (size == 5) return Decrypted::kClosed;
    if (size == 6) return record[5] & 1 ? Decrypted::kFailed : Decrypted::kRenegotiate;
    *offset = static_cast<std::uint8_t>(record[5]);
    *length = static_cast<std::size_t>(static_cast<std::uint8_t>(record[6])) * 64;
    return Decrypted::kData;
  }

 private:
  const std::uint8_t* wire_;
  std::size_t size_;
  std::size_t chunk_;
  std::size_t sent_ = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const bool handshake = data[0] & 1;
  const std::size_t chunk = 1 + static_cast<std::size_t>(data[1]) * 97;
  const int capacity = 1 + data[2] * 67;
  WirePeer peer(data + 3, size - 3, chunk);
  TlsRecordBuffer buffer;
  if (handshake && !buffer.Negotiate(peer, true)) return 0;

  std::vector<char> out(static_cast<std::size_t>(capacity));
  std::size_t total = 0;
  int result;
  while ((result = buffer.Read(peer, out.data(), capacity)) > 0) {
    if (result > capacity) std::abort();
    total += static_cast<std::size_t>(result);
    if (total > size) std::abort();
  }
  if (result != 0 && result != -1) std::abort();
  if (buffer.Read(peer, out.data(), capacity) != result) std::abort();
  return 0;
}
