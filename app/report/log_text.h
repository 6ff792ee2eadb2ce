// What outside text (URLs, server replies, file contents, names) becomes before it reaches the
// run's log: a log is read by people and tools, and is often sent on to others.
#pragma once

#include <string>

// The URL as the log shows it: the user name and password before the host ("user:pw@") and
// the query string ("?..." to the end) written as "***". The request itself is unchanged.
std::string RedactUrl(const std::string& url);

// text with every byte below 0x20 and 0x7F written as an escape (\r, \n, \t, else \x1b), so
// that no outside text can end a log line, forge one or send a terminal control sequence.
// Other bytes, those of letters outside ASCII among them, stay as they are.
std::string EscapeControlBytes(const std::string& text);
