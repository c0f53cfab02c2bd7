// A scratch BEXDICT-like directory with a LOB map working in it, for the
// LOB map tests.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "lob/lob_map.h"

namespace bex::testing {

// The LOB id of number n, as a listing line spells it.
inline std::string lobId(unsigned n) {
  char id[32];
  snprintf(id, sizeof id, "0000000100%010X", n);
  return id;
}

struct MapDir {
  std::string dir = makeDir();
  DictDirectory place{dir};
  LobMap map{place};

  static std::string makeDir() {
    char tmpl[] = "/tmp/bex-lobmap.XXXXXX";
    return mkdtemp(tmpl);
  }
  ~MapDir() { (void)system(("rm -rf " + dir).c_str()); }
  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir + "/" + name, std::ios::binary) << text;
  }
  void listing(const std::string& text) { write("BEXLOB.TXT", text); }
  std::string read(const std::string& name) {
    std::ifstream f(dir + "/" + name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  void build() {
    BuildLobMap(map);
    OpenLobMap(map);
  }
};

}  // namespace bex::testing
