#include "base/clock.h"

#include <ctime>

namespace bex {

LocalTime localNow() {
  time_t t = time(nullptr);
  struct tm tmv;
  localtime_r(&t, &tmv);
  return {tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec};
}

void printDateLine(Sink& out) {
  LocalTime n = localNow();
  out.printf("%04d-%02d-%02d %02d:%02d:%02d\n", n.year, n.month, n.day, n.hour, n.minute, n.second);
}

}  // namespace bex
