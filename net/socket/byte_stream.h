// What a transfer sends its request through and reads its reply from: the socket itself, or
// TLS over it.
#pragma once

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Sends every byte; false when a send fails.
  virtual bool SendAll(const char* bytes, int length) = 0;
  // Bytes received, 0 once the peer has closed, -1 on failure, time-out or abort.
  virtual int Receive(char* buffer, int capacity) = 0;
  // After Receive gave 0: whether the stream has its own way to say it is done (TLS's
  // close_notify) and ended without it, so that its last bytes may have been cut off by anyone
  // on the path. A plain connection has no such word: its close is its end.
  virtual bool EndedWithoutNotice() const { return false; }
  // Whether the stream is open with nothing received and unread (TLS receives whole records):
  // only such a stream may carry another request.
  virtual bool Idle() const { return true; }
  // The system's code for the last failed send or receive; 0 when none failed or the failure
  // has none.
  virtual long LastError() const = 0;
};
