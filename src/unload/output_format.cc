#include "unload/output_format.h"

#include <cstdio>

namespace bex {

void removeOutputFile(const char* name) {
  if (*name) remove(name);
}

}  // namespace bex
