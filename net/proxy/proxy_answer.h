// What a proxy answers: the reply to a CONNECT, read byte by byte up to its blank line (the
// bytes after it belong to the tunnel and are never taken), and the authentication schemes a
// 407 offers in its Proxy-Authenticate lines. Bytes in, result out.
#pragma once

#include <cstddef>
#include <string>

#include "net/http/header_map.h"

// Collects the scheme (the first word) of every Proxy-Authenticate line: "NTLM, Negotiate".
class ProxyAuthSchemes : public HeaderMap::LineObserver {
 public:
  void OnHeaderLine(const std::string& name, const char* value, const char* value_end) override;
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

class ConnectAnswer {
 public:
  // A proxy's answer has a short header block; a longer one is refused.
  static constexpr std::size_t kLongest = 8192;

  enum class State {
    Incomplete,  // the blank line has not come yet
    Complete,    // status() and schemes() are known
    Malformed,   // no "HTTP/" status line with a number 100..999, a NUL, a malformed header
                 // line, or too long
  };

  // Takes bytes up to the end of the header block and no further; returns how many it took.
  std::size_t Feed(const char* data, std::size_t size);
  State CurrentState() const { return state_; }
  int Status() const { return status_; }
  // The schemes of Proxy-Authenticate, as ProxyAuthSchemes gives them.
  const std::string& Schemes() const { return schemes_; }
  bool Accepted() const { return state_ == State::Complete && status_ >= 200 && status_ < 300; }

 private:
  void Finish();

  std::string block_;
  State state_ = State::Incomplete;
  int status_ = 0;
  std::string schemes_;
};
