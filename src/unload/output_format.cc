#include "unload/output_format.h"

#include <cstdio>

namespace bex {

bool keepsFiles(const OutputEnv& env) { return env.emptyFiles || env.bc.counters->RowCount > 0; }

void removeOutputFile(const char* name) {
  if (*name) remove(name);
}

}  // namespace bex
