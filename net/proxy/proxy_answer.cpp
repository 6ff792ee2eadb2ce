#include "net/proxy/proxy_answer.h"

#include <cstring>

#include "base/ascii.h"

void ProxyAuthSchemes::OnHeaderLine(const std::string& name, const char* value,
                                    const char* value_end) {
  if (!HeaderMap::SameName(name, "Proxy-Authenticate")) return;
  while (value < value_end && IsAsciiSpace(*value)) ++value;
  const char* end = value;
  while (end < value_end && !IsAsciiSpace(*end) && *end != ',') ++end;
  if (end == value) return;
  if (!text_.empty()) text_ += ", ";
  text_.append(value, end);
}

std::size_t ConnectAnswer::Feed(const char* data, std::size_t size) {
  std::size_t taken = 0;
  while (taken < size && state_ == State::Incomplete) {
    block_ += data[taken++];
    if (data[taken - 1] == '\0' || block_.size() > kLongest) {
      state_ = State::Malformed;
    } else if (block_.size() >= 4 && block_.compare(block_.size() - 4, 4, "\r\n\r\n") == 0) {
      Finish();
    }
  }
  return taken;
}

void ConnectAnswer::Finish() {
  state_ = State::Malformed;
  if (block_.compare(0, 5, "HTTP/") != 0) return;
  block_.resize(block_.size() - 4);  // HeaderMap reads the block without its blank line
  HeaderMap headers;
  ProxyAuthSchemes schemes;
  if (!headers.Parse(block_.c_str(), &schemes)) return;
  if (headers.StatusCode < 100 || headers.StatusCode > 999) return;
  status_ = headers.StatusCode;
  schemes_ = schemes.Text();
  state_ = State::Complete;
}
