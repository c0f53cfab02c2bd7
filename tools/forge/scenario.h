// Named built-in scenarios: each writes its data files, an OPEN configuration
// file <name>.cfg and an expectations file <name>.expect (format in expect.h)
// into an output directory.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "forge/forge_file.h"

namespace bex::forge {

struct ScenarioOptions {
  ByteOrder order = ByteOrder::Little;
  uint32_t blockSize = 8192;
  uint32_t headerSize = 0;  // bytes before block 0 (scenarios may pick their own)
  bool headerSizeGiven = false;
  uint32_t auSize = 0;  // ASM groups: AU size in bytes, 0 = the scenario's own
  uint32_t disks = 0;   // ASM groups: disk count, 0 = the scenario's own
  // The dictionary scenario: the character-set ids COL$ names for columns
  // of the database and national sets, 0 = its own (the values stay as written).
  uint32_t charset = 0, nlsCharset = 0;
};

// Collects a scenario's files, configuration lines and expectations.
class ScenarioOut {
 public:
  ScenarioOut(std::string outdir, std::string name, const ScenarioOptions& opts);

  const ScenarioOptions& options() const { return opts_; }
  const std::string& outdir() const { return outdir_; }
  const std::string& name() const { return name_; }
  // The path a file has for BEX started in the output directory's parent
  // ("." keeps bare names).
  std::string path(const std::string& file) const;
  // A FileSpec carrying the scenario's block size, byte order and header size.
  FileSpec fileSpec(const std::string& file, uint16_t rfn) const;

  // Writes the data file and, when listed, adds its line to the configuration.
  bool add(ForgeFile& f, std::string& error, bool listed = true);
  void configLine(const std::string& line) { config_ += line + "\n"; }
  void note(const std::string& line) { expect_ += "# " + line + "\n"; }
  void fact(const std::string& line) { expect_ += line + "\n"; }
  bool finish(std::string& error);

 private:
  std::string outdir_, name_;
  ScenarioOptions opts_;
  std::string config_, expect_;
};

struct Scenario {
  const char* name;
  const char* summary;
  bool (*build)(ScenarioOut& out, std::string& error);
};

const std::vector<Scenario>& scenarios();

// A data file another scenario forged, as its configuration names it.
struct Original {
  std::string path;
  uint32_t hsize = 0;
};

std::string baseName(const std::string& path);
bool readWhole(const std::string& path, Bytes& out, std::string& error);
// Forges another scenario into the same directory and returns the files its
// configuration names.
bool forgeBeside(ScenarioOut& out, const char* name, bool (*build)(ScenarioOut&, std::string&),
                 std::vector<Original>& files, std::string& error);
bool runScenario(const std::string& name, const std::string& outdir, const ScenarioOptions& opts,
                 std::string& error);

}  // namespace bex::forge
