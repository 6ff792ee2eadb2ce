// Events of an HttpResponseReader for tests, recorded in order as letters, with the body and
// its blocks; it can refuse a block. Also feeds bytes the way a socket delivers them.
#pragma once

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "net/http/http_response_reader.h"

class RecordingReplyEvents : public HttpResponseReader::Events {
 public:
  int refuse_block = 0;  // OnData returns false on this block (counted from 1); 0 never

  // H header block, D body block, S and the status, C complete; a failure as M malformed,
  // L header too long, T cut short, R receive failed.
  std::string events;
  std::vector<int> blocks;
  std::string body;

  bool OnHeaderBlock() override {
    events += 'H';
    return true;
  }
  bool OnData(const char* data, int length) override {
    events += 'D';
    blocks.push_back(length);
    if (length > 0) body.append(data, static_cast<std::size_t>(length));
    return refuse_block == 0 || static_cast<int>(blocks.size()) < refuse_block;
  }
  void OnStatus(int status) override { events += 'S' + std::to_string(status); }
  void OnComplete() override { events += 'C'; }
  void OnFailure(HttpResponseReader::Failure failure) override {
    events += "MLTR"[static_cast<int>(failure)];  // in the order the failures are declared
  }
};

// Feeds bytes as one send of a peer: in receives no larger than the reader asks for.
inline void FeedAsReceives(HttpResponseReader& reader, const char* bytes, std::size_t count,
                           HttpResponseReader::Events& events) {
  while (count > 0 && !reader.Finished()) {
    const int taken =
        reader.Feed(bytes, static_cast<int>(std::min<std::size_t>(count, INT_MAX)), events);
    bytes += taken;
    count -= static_cast<std::size_t>(taken);
  }
}
