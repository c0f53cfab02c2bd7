// Arbitrary bytes as the sorted LOB map file: lookups of the LOB ids the
// input itself names, and of a fixed one, must end cleanly whatever the
// lines hold. Every bucket starts at offset 0 (the map's offsets are zero
// until a position file is read), so each lookup reads the whole input.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "lob/lob_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string dir = [] {
    char tmpl[] = "/tmp/bex-fuzz-lobmap.XXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  static bex::LobMap map;
  map.dir = dir;
  FILE* f = fopen((dir + "/BEXLOBMAP.TXT").c_str(), "wb");
  fwrite(data, 1, size, f);
  fclose(f);
  map.map = fopen((dir + "/BEXLOBMAP.TXT").c_str(), "rb");
  map.pos = fopen((dir + "/BEXLOBMAP.TXT").c_str(), "rb");  // only needs to be open
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t comma = text.find(',');
  if (comma != std::string::npos && text.size() - comma > 20) bex::LookupLobMap(map, text.substr(comma + 1, 20));
  bex::LookupLobMap(map, "00000001000000000ABC");
  bex::CloseLobMap(map);
  return 0;
}
