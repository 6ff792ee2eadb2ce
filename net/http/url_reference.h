// URI references as RFC 3986 reads them: the split into their five components (appendix B),
// which the URL of every request comes from, and where a reference leads from the URL it was
// given for (a redirect's Location, relative or absolute): the resolution of section 5.2, with
// its removal of "." and ".." segments. Text in, text out: nothing is decoded, validated or
// changed in letter case.
#pragma once

#include <string>

// The five components of a reference, each with whether it is there: an empty query differs
// from none.
struct UriParts {
  bool has_scheme = false;
  std::string scheme;
  bool has_authority = false;
  std::string authority;  // what follows "//" up to the path, query or fragment
  std::string path;
  bool has_query = false;
  std::string query;
  bool has_fragment = false;
  std::string fragment;
};

UriParts SplitUri(const std::string& text);

// The target of reference, resolved against base (an absolute URL), fragment included.
std::string ResolveReference(const std::string& base, const std::string& reference);

// The scheme of an absolute URL ("https" of "https://a/b", as written), "" when it has none.
std::string SchemeOf(const std::string& url);
// url without its fragment ("#..." to the end).
std::string WithoutFragment(const std::string& url);
