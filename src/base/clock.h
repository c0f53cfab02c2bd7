// Local date and time lines printed before and after long-running commands
// and in unload-log records.
#pragma once
#include "base/sink.h"

namespace bex {

struct LocalTime {
  int year, month, day, hour, minute, second;
};

LocalTime localNow();
// "%04d-%02d-%02d %02d:%02d:%02d\n"
void printDateLine(Sink& out);

}  // namespace bex
