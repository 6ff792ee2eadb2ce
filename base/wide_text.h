// Text for the few calls that take only UTF-16 (WinHTTP, certificate names, case folding):
// a NUL-terminated buffer of wide characters, converted from and back to the program's
// narrow text (the active code page). A buffer rather than std::wstring: the program needs no
// wide string operations, and their library code is large.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

using WideText = std::vector<wchar_t>;

// text in the code page as a NUL-terminated wide buffer; just the NUL when it cannot be
// converted.
WideText Widen(const char* text, UINT code_page = CP_ACP);

// The wide NUL-terminated text in the code page; "" when it cannot be converted.
std::string Narrow(const wchar_t* text, UINT code_page = CP_ACP);
