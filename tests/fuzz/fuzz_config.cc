// Arbitrary bytes as an OPEN configuration file: every line through the
// configuration parser, then the escape decoding of tags.
#include <cstdio>
#include <string>

#include "datafile/registry.h"
#include "base/limits.h"
#include "shell/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bex::DataFileRegistry reg;
  reg.clear();
  std::string input(reinterpret_cast<const char*>(data), size);
  FILE* f = fmemopen(input.data(), input.size() ? input.size() : 1, "r");
  if (!f) return 0;
  char line[bex::kInputLineMax + 1];
  while (fgets(line, sizeof line, f)) bex::parseConfigLine(reg, line);
  fclose(f);
  char tag[bex::kTagBufferSize];
  bex::decodeTag(input, tag);
  return 0;
}
