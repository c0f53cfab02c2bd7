// Arbitrary bytes as the sorted LOB map file: lookups of the LOB ids the
// input itself names, and of a fixed one, must end cleanly whatever the
// lines hold. The position file is empty, so every bucket starts at
// offset 0 and each lookup reads the input from its start.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "lob/lob_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string dir = [] {
    char tmpl[] = "/tmp/bex-fuzz-lobmap.XXXXXX";
    std::string d = mkdtemp(tmpl);
    fclose(fopen((d + "/BEXLOBPOS.TXT").c_str(), "wb"));
    return d;
  }();
  static bex::DictDirectory place(dir);
  static bex::LobMap map(place);
  FILE* f = fopen((dir + "/BEXLOBMAP.TXT").c_str(), "wb");
  fwrite(data, 1, size, f);
  fclose(f);
  bex::OpenLobMap(map);
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t comma = text.find(',');
  if (comma != std::string::npos && text.size() - comma > 20) bex::LookupLobMap(map, text.substr(comma + 1, 20));
  bex::LookupLobMap(map, "00000001000000000ABC");
  bex::CloseLobMap(map);
  return 0;
}
