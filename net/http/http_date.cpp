#include "net/http/http_date.h"

#include <cstring>

#include "base/ascii.h"

namespace {

// The number of the two digits at text, or -1.
int TwoDigits(const char* text) {
  if (!IsAsciiDigit(text[0]) || !IsAsciiDigit(text[1])) return -1;
  return (text[0] - '0') * 10 + (text[1] - '0');
}

// Where the three letters at text stand in names (a run of three-letter names), or -1.
int NameIndex(const char* text, const char* names) {
  for (int i = 0; names[i * 3] != '\0'; ++i) {
    if (std::strncmp(text, names + i * 3, 3) == 0) return i;
  }
  return -1;
}

// Days from 1970-01-01 to the date (proleptic Gregorian calendar, years 0 to 9999).
int DaysSinceEpoch(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int era = year / 400;
  const int year_of_era = year - era * 400;
  const int day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  return era * 146097 + year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year -
         719468;
}

}  // namespace

std::optional<std::int64_t> ParseHttpDate(const std::string& value) {
  const std::size_t begin = value.find_first_not_of(" \t");
  const std::size_t end = value.find_last_not_of(" \t");
  if (begin == std::string::npos || end - begin + 1 != 29) return std::nullopt;
  // "Sun, 06 Nov 1994 08:49:37 GMT"
  const char* t = value.c_str() + begin;
  if (NameIndex(t, "MonTueWedThuFriSatSun") < 0 || std::strncmp(t + 3, ", ", 2) != 0 ||
      t[7] != ' ' || t[11] != ' ' || t[16] != ' ' || t[19] != ':' || t[22] != ':' ||
      std::strncmp(t + 25, " GMT", 4) != 0) {
    return std::nullopt;
  }
  const int day = TwoDigits(t + 5);
  const int month = NameIndex(t + 8, "JanFebMarAprMayJunJulAugSepOctNovDec") + 1;
  const int century = TwoDigits(t + 12);
  const int year_in_century = TwoDigits(t + 14);
  const int hour = TwoDigits(t + 17);
  const int minute = TwoDigits(t + 20);
  const int second = TwoDigits(t + 23);
  if (day < 1 || month < 1 || century < 0 || year_in_century < 0 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 60) {
    return std::nullopt;
  }
  const int year = century * 100 + year_in_century;
  static const int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (day > kDaysInMonth[month - 1] + (month == 2 && leap ? 1 : 0)) return std::nullopt;
  return std::int64_t{DaysSinceEpoch(year, month, day)} * 86400 + hour * 3600 + minute * 60 +
         second;
}
