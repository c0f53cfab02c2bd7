// Test-side readers for forged files: plain byte reads and the expectation
// lines, independent of the forge's writers.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "forge/scenario.h"

namespace forge_test {

using Bytes = std::vector<uint8_t>;

inline Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  Bytes b(in ? static_cast<size_t>(in.tellg()) : 0);
  if (in && in.seekg(0)) in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()));
  return b;
}

inline uint16_t rd16(const uint8_t* p, bool big) {
  return big ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}
inline uint32_t rd32(const uint8_t* p, bool big) {
  return big ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
             : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
}

inline uint16_t xorWords(const uint8_t* p, size_t n) {
  uint16_t x = 0;
  for (size_t i = 0; i + 1 < n; i += 2) x ^= static_cast<uint16_t>(p[i] << 8 | p[i + 1]);
  return x;
}

inline Bytes unhex(const std::string& h) {
  Bytes b;
  for (size_t i = 0; i + 1 < h.size(); i += 2) b.push_back(static_cast<uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
  return b;
}

// One expectation line: kind, address ("rfn/block", empty for "file") and
// its key=value fields.
struct ExpectLine {
  std::string kind, addr;
  std::map<std::string, std::string> kv;
  uint32_t block() const { return static_cast<uint32_t>(std::stoul(addr.substr(addr.find('/') + 1))); }
  uint32_t num(const std::string& k) const { return static_cast<uint32_t>(std::stoul(kv.at(k), nullptr, 0)); }
};

inline std::vector<ExpectLine> readExpect(const std::string& path) {
  std::vector<ExpectLine> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    ExpectLine e;
    ss >> e.kind;
    std::string word;
    while (ss >> word) {
      size_t eq = word.find('=');
      if (eq == std::string::npos) e.addr = word;
      else e.kv[word.substr(0, eq)] = word.substr(eq + 1);
    }
    out.push_back(std::move(e));
  }
  return out;
}

// A fresh directory holding one scenario's output.
struct ScenarioDir {
  std::filesystem::path dir;
  ScenarioDir(const std::string& name, const bex::forge::ScenarioOptions& opts, std::string tag = "") {
    dir = std::filesystem::temp_directory_path() /
          ("bexforge-" + name + tag + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string error;
    ok = bex::forge::runScenario(name, dir.string(), opts, error);
    this->error = error;
  }
  ~ScenarioDir() { std::filesystem::remove_all(dir); }
  std::vector<ExpectLine> expect(const std::string& name) const { return readExpect((dir / (name + ".expect")).string()); }
  bool ok = false;
  std::string error;
};

}  // namespace forge_test
