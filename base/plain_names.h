// Names that come from outside (partner.dat, the server's URLs) and become one folder or one
// file inside a folder of ours. Anything Windows would read as a path, a device or another
// name is refused, so that no write, start or removal can reach outside that folder.
#pragma once

// True for a name that stays itself, one entry inside its parent: not empty; free of control
// characters and of \ / : < > " | ? *; not made of dots and spaces alone (Windows trims
// those, so ".. " would mean ".."); not ending in a dot or a space (Windows drops those, so
// "acme." would name "acme"); and not a device name such as CON, NUL, COM1 or LPT1.
bool IsPlainName(const char* name);
