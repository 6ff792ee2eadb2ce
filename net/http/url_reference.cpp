#include "net/http/url_reference.h"

UriParts SplitUri(const std::string& text) {
  UriParts parts;
  std::size_t at = 0;
  const std::size_t colon = text.find_first_of(":/?#");
  if (colon != std::string::npos && colon > 0 && text[colon] == ':') {
    parts.has_scheme = true;
    parts.scheme = text.substr(0, colon);
    at = colon + 1;
  }
  if (text.compare(at, 2, "//") == 0) {
    const std::size_t end = std::min(text.find_first_of("/?#", at + 2), text.size());
    parts.has_authority = true;
    parts.authority = text.substr(at + 2, end - at - 2);
    at = end;
  }
  const std::size_t path_end = std::min(text.find_first_of("?#", at), text.size());
  parts.path = text.substr(at, path_end - at);
  at = path_end;
  if (at < text.size() && text[at] == '?') {
    const std::size_t end = std::min(text.find('#', at), text.size());
    parts.has_query = true;
    parts.query = text.substr(at + 1, end - at - 1);
    at = end;
  }
  if (at < text.size() && text[at] == '#') {
    parts.has_fragment = true;
    parts.fragment = text.substr(at + 1);
  }
  return parts;
}

namespace {

// The path without its "." and ".." segments (section 5.2.4).
std::string RemoveDotSegments(std::string input) {
  std::string output;
  while (!input.empty()) {
    if (input.compare(0, 3, "../") == 0) {
      input.erase(0, 3);
    } else if (input.compare(0, 2, "./") == 0) {
      input.erase(0, 2);
    } else if (input.compare(0, 3, "/./") == 0) {
      input.erase(0, 2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.compare(0, 4, "/../") == 0 || input == "/..") {
      input = input.size() == 3 ? "/" : input.substr(3);
      const std::size_t last = output.rfind('/');
      output.erase(last == std::string::npos ? 0 : last);
    } else if (input == "." || input == "..") {
      input.clear();
    } else {
      const std::size_t end = input.find('/', 1);
      const std::size_t length = end == std::string::npos ? input.size() : end;
      output += input.substr(0, length);
      input.erase(0, length);
    }
  }
  return output;
}

// A relative path against the base's (section 5.2.3).
std::string Merge(const UriParts& base, const std::string& path) {
  if (base.has_authority && base.path.empty()) return "/" + path;
  const std::size_t last = base.path.rfind('/');
  return last == std::string::npos ? path : base.path.substr(0, last + 1) + path;
}

}  // namespace

std::string ResolveReference(const std::string& base_text, const std::string& reference) {
  const UriParts base = SplitUri(base_text);
  const UriParts r = SplitUri(reference);
  UriParts t;
  if (r.has_scheme) {
    t = r;
    t.path = RemoveDotSegments(r.path);
  } else {
    if (r.has_authority) {
      t.has_authority = true;
      t.authority = r.authority;
      t.path = RemoveDotSegments(r.path);
      t.has_query = r.has_query;
      t.query = r.query;
    } else {
      if (r.path.empty()) {
        t.path = base.path;
        t.has_query = r.has_query || base.has_query;
        t.query = r.has_query ? r.query : base.query;
      } else {
        t.path = RemoveDotSegments(r.path[0] == '/' ? r.path : Merge(base, r.path));
        t.has_query = r.has_query;
        t.query = r.query;
      }
      t.has_authority = base.has_authority;
      t.authority = base.authority;
    }
    t.has_scheme = base.has_scheme;
    t.scheme = base.scheme;
  }
  t.has_fragment = r.has_fragment;
  t.fragment = r.fragment;

  // Recomposed as section 5.3 says.
  std::string text;
  if (t.has_scheme) text += t.scheme + ":";
  if (t.has_authority) text += "//" + t.authority;
  text += t.path;
  if (t.has_query) text += "?" + t.query;
  if (t.has_fragment) text += "#" + t.fragment;
  return text;
}

std::string SchemeOf(const std::string& url) {
  const UriParts parts = SplitUri(url);
  return parts.has_scheme ? parts.scheme : std::string();
}

std::string WithoutFragment(const std::string& url) {
  return url.substr(0, url.find('#'));
}
