// What outside text (URLs, server replies, file contents, names) becomes before it reaches the
// run's log: a log is read by people and tools, and is often sent on to others.
#pragma once

#include <string>

// The URL as the log shows it: the user name and password before the host ("user:pw@") and
// the query string ("?..." to the end) written as "***". The request itself is unchanged.
std::string RedactUrl(const std::string& url);

// A proxy setting (ProxyServer: "host:port" or "http=host:port;https=...", an entry possibly
// with a scheme and a user part) as the log shows it: each entry's user part written as "***".
std::string RedactProxySetting(const std::string& setting);

// text with every byte below 0x20 and 0x7F written as an escape (\r, \n, \t, else \x1b), and
// in UTF-8 the characters a viewer may take as a line break or a turn of the writing direction
// (the C1 controls U+0080 to U+009F with NEL, U+2028, U+2029, and the bidirectional marks,
// embeddings, overrides and isolates) as \u2028, so that no outside text can end a log line,
// forge one, show it reordered or send a terminal control sequence. Other bytes, those of
// letters outside ASCII among them, stay as they are.
std::string EscapeControlBytes(const std::string& text);

// The offset of local time from UTC as a log's time stamp ends: "+01:00", "-03:30", "+00:00".
std::string UtcOffsetText(long minutes);
