// Where a URI reference leads from the URL it was given for (a redirect's Location, relative or
// absolute): the resolution of RFC 3986, section 5.2, with its removal of "." and ".."
// segments. Text in, text out: nothing is decoded, validated or changed in letter case.
#pragma once

#include <string>

// The target of reference, resolved against base (an absolute URL), fragment included.
std::string ResolveReference(const std::string& base, const std::string& reference);

// The scheme of an absolute URL ("https" of "https://a/b", as written), "" when it has none.
std::string SchemeOf(const std::string& url);
// The authority of a URL (what follows "//" up to the path, "host:port"); false when it has
// none.
bool AuthorityOf(const std::string& url, std::string* authority);
// url without its fragment ("#..." to the end).
std::string WithoutFragment(const std::string& url);
