// A scratch directory under /tmp, removed with everything in it when the
// test ends.
#pragma once
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace bex::testing {

struct ScratchDir {
  std::string path = make();

  ~ScratchDir() { (void)system(("rm -rf '" + path + "'").c_str()); }
  std::string file(const std::string& name) const { return path + "/" + name; }
  std::string read(const std::string& name) const {
    std::ifstream f(file(name), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(file(name), std::ios::binary) << text;
  }

 private:
  static std::string make() {
    char tmpl[] = "/tmp/bex-test.XXXXXX";
    const char* made = mkdtemp(tmpl);
    return made ? made : "";
  }
};

}  // namespace bex::testing
