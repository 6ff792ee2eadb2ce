// The URL of a partner's index file.
#pragma once

#include <string>

// base, with one "/" appended when it does not end in one, then partner_id and "/urls.cb".
std::string BuildIndexUrl(std::string base, const char* partner_id);
