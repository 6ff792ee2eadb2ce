// printf-style text into a std::string. On Windows it goes through the system's C runtime
// (msvcrt's _vsnprintf): MinGW's own formatter, which the C++ runtime would otherwise pick,
// adds about 18 KB to the program. So formats keep to what every msvcrt takes: no %ll, %z,
// %j or %hh (pass such numbers through std::to_string as %s).
#pragma once

#include <cstdarg>
#include <string>

std::string FormatText(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string FormatTextV(const char* format, va_list arguments);
