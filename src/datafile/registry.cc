#include "datafile/registry.h"

namespace bex {

void DataFileRegistry::clear() { count = 0; }

}  // namespace bex
