// Names that come from outside (partner.dat, the server's URLs) and become one folder or one
// file inside a folder of ours. Anything Windows would read as a path, a device or another
// name is refused, so that no write, start or removal can reach outside that folder.
#pragma once

#include "base/code_page.h"

// True for a name that stays itself, one entry inside its parent: not empty; free of control
// characters and of \ / : < > " | ? *; not made of dots and spaces alone (Windows trims
// those, so ".. " would mean ".."); not ending in a dot or a space (Windows drops those, so
// "acme." would name "acme"); and not a device name such as CON, NUL, COM1 or LPT1 (a superscript
// digit counts as a digit there).
// In UTF-8 (utf8) it must be well-formed, and the control characters include U+0080 to
// U+009F; letters of any alphabet are accepted. Otherwise it is in the ANSI code page and
// only its ASCII bytes are looked at.
bool IsPlainName(const char* name, bool utf8 = ProgramTextIsUtf8());

// Why name is not plain, in words for a log ("it ends in a dot"); null when it is.
const char* PlainNameProblem(const char* name, bool utf8 = ProgramTextIsUtf8());
