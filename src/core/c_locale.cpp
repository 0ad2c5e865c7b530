#include "core/c_locale.h"

#include <locale.h>

#include <cstdio>
#include <cstdlib>

namespace mixora {

double StrtodC(const char* text, char** end) {
  // Made once and kept for the life of the process; newlocale is not cheap.
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return strtod_l(text, end, c);
}

std::string FormatDateTimeC(const std::tm& time) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int month = time.tm_mon >= 0 && time.tm_mon < 12 ? time.tm_mon : 0;
  char text[64];
  std::snprintf(text, sizeof text, "%s %02d, %d %02d:%02d:%02d", kMonths[month], time.tm_mday,
                time.tm_year + 1900, time.tm_hour, time.tm_min, time.tm_sec);
  return text;
}

}  // namespace mixora
