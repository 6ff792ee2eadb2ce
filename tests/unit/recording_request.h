// An HttpRequest for tests that records every hook call in order, keeps the body, and can
// refuse to start or cancel after a number of blocks.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "net/request/http_request.h"

class RecordingRequest : public HttpRequest {
 public:
  explicit RecordingRequest(const char* url) : HttpRequest(url) {}
  explicit RecordingRequest(const std::string& url) : HttpRequest(url.c_str()) {}
  // The hooks use this object's members, so the thread is stopped before they go.
  ~RecordingRequest() override { Stop(); }

  // Test controls, set before Start.
  bool start_result = true;
  int cancel_after_blocks = -1;            // OnData returns false on this block (counted from 1)
  std::atomic<bool>* data_seen = nullptr;  // set on the first OnData

  // What happened, read after Wait.
  // One letter per hook: S start, D data, E error, F finish; K on a kept connection, G that
  // connection gave out.
  std::string events;
  std::vector<int> blocks;
  std::vector<TransferError> errors;
  std::string body;
  std::string length_seen_in_data;

  using HttpRequest::FormatRequest;

 protected:
  bool OnStart() override {
    events += 'S';
    return start_result;
  }
  void OnFinish() override { events += 'F'; }
  void OnKeptConnection(bool gave_out) override { events += gave_out ? 'G' : 'K'; }
  void OnError(const TransferResult& result) override {
    events += 'E';
    errors.push_back(result.error);
  }
  bool OnData(const char* data, int length) override {
    events += 'D';
    blocks.push_back(length);
    body.append(data, static_cast<std::size_t>(length));
    if (blocks.size() == 1) length_seen_in_data = ReplyHeaders().Lookup("content-length");
    if (data_seen != nullptr) *data_seen = true;
    return cancel_after_blocks < 0 || static_cast<int>(blocks.size()) < cancel_after_blocks;
  }
};
