#include "forge/scenario.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

namespace bex::forge {

bool buildSmallScenario(ScenarioOut& out, std::string& error);
bool buildOpenScenario(ScenarioOut& out, std::string& error);
bool buildUnloadScenario(ScenarioOut& out, std::string& error);
bool buildDictScenario(ScenarioOut& out, std::string& error);
bool buildDroppedScenario(ScenarioOut& out, std::string& error);
bool buildScanScenario(ScenarioOut& out, std::string& error);
bool buildScanWideScenario(ScenarioOut& out, std::string& error);
bool buildLobScenario(ScenarioOut& out, std::string& error);
bool buildCsvScenario(ScenarioOut& out, std::string& error);
bool buildGuessScenario(ScenarioOut& out, std::string& error);
bool buildDumpScenario(ScenarioOut& out, std::string& error);
bool buildAsmScenario(ScenarioOut& out, std::string& error);
bool buildAsmNormalScenario(ScenarioOut& out, std::string& error);
bool buildAsmHighScenario(ScenarioOut& out, std::string& error);
bool buildAsmVarScenario(ScenarioOut& out, std::string& error);
bool buildRmanScenario(ScenarioOut& out, std::string& error);
bool buildTruncScenario(ScenarioOut& out, std::string& error);

ScenarioOut::ScenarioOut(std::string outdir, std::string name, const ScenarioOptions& opts)
    : outdir_(std::move(outdir)), name_(std::move(name)), opts_(opts) {}

std::string ScenarioOut::path(const std::string& file) const {
  if (outdir_.empty() || outdir_ == ".") return file;
  return outdir_ + "/" + file;
}

FileSpec ScenarioOut::fileSpec(const std::string& file, uint16_t rfn) const {
  FileSpec s;
  s.name = path(file);
  s.rfn = rfn;
  s.blockSize = opts_.blockSize;
  s.order = opts_.order;
  s.headerSize = opts_.headerSize;
  return s;
}

bool ScenarioOut::add(ForgeFile& f, std::string& error, bool listed) {
  if (!f.write(f.layout().name, expect_, error)) return false;
  if (listed)
    configLine(f.layout().headerSize ? format("%s %u", f.layout().name.c_str(), f.layout().headerSize)
                                 : f.layout().name);
  return true;
}

static bool writeText(const std::string& path, const std::string& text, std::string& error) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f || std::fwrite(text.data(), 1, text.size(), f.get()) != text.size()) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool ScenarioOut::finish(std::string& error) {
  std::string expect = std::string(kExpectFormat) + "#\n# scenario " + name_ + "\n" + expect_;
  return writeText(path(name_ + ".cfg"), config_, error) &&
         writeText(path(name_ + ".expect"), expect, error);
}

const std::vector<Scenario>& scenarios() {
  static const std::vector<Scenario> kScenarios = {
      {"small", "one file with every block kind the dumps decode", buildSmallScenario},
      {"open", "several files for OPEN: same rfn twice, header size, missing file",
       buildOpenScenario},
      {"unload", "tables for UNLOAD: extents, chains, filters, clusters, IOT", buildUnloadScenario},
      {"dict", "a SYSTEM file with the bootstrap dictionary and the tables it describes", buildDictScenario},
      {"dropped", "the dict database after two tables were dropped with PURGE: their dictionary rows deleted but "
                  "intact, one COL$ row reused", buildDroppedScenario},
      {"scan", "four files of table, index, LOB, bitmap and header runs for SCAN", buildScanScenario},
      {"scanwide", "six files for SCAN PARALLELDB's worker order", buildScanWideScenario},
      {"lob", "a table with LOB locators of every kind, its LOB segments and dictionary; the LOB files UNLOAD writes",
       buildLobScenario},
      {"csv", "the schema APP: text that tries CSV, every scalar type, LOBs, partitions, a cluster; the CSV files "
              "UNLOAD writes and the rows a load gives",
       buildCsvScenario},
      {"guess", "tables of every scalar type class without their dictionary, an older dictionary to LOAD TABLE from",
       buildGuessScenario},
      {"dump", "chained, migrated, compressed, index-organised, wide, empty and broken tables with a dictionary; "
               "their export dumps",
       buildDumpScenario},
      {"asm", "dict and scan files in an EXTERNAL ASM group, a fine-striped file, aliases, a disk without header",
       buildAsmScenario},
      {"asmnormal", "the asm files in a NORMAL redundancy group, one disk missing", buildAsmNormalScenario},
      {"asmhigh", "the asm files in a HIGH redundancy group, one disk missing", buildAsmHighScenario},
      {"asmvar", "over 20000 variable-size extents, holes, a file directory through indirect extents",
       buildAsmVarScenario},
      {"rman", "backup pieces of the dict files and of every block type: level 0 and 1, multiplexed, split, in ASM, damaged",
       buildRmanScenario},
      {"truncated", "tables truncated with their first extent kept: old blocks kept, overwritten, given back; a "
                    "look-alike; the old incarnations' rows",
       buildTruncScenario},
  };
  return kScenarios;
}

std::string baseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool readWhole(const std::string& path, Bytes& out, std::string& error) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  out.resize(in ? static_cast<size_t>(in.tellg()) : 0);
  if (!in || !in.seekg(0) || !in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()))) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

bool forgeBeside(ScenarioOut& out, const char* name, bool (*build)(ScenarioOut&, std::string&),
                 std::vector<Original>& files, std::string& error) {
  ScenarioOut sub(out.outdir(), name, out.options());
  if (!build(sub, error) || !sub.finish(error)) return false;
  std::ifstream in(out.path(std::string(name) + ".cfg"));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    Original o;
    if (!(words >> o.path) || o.path[0] == '#') continue;
    words >> o.hsize;
    files.push_back(o);
  }
  return true;
}

bool runScenario(const std::string& name, const std::string& outdir, const ScenarioOptions& opts,
                 std::string& error) {
  if (!validBlockSize(opts.blockSize)) {
    error = format("block size %u is not a power of two from 2048 to 32768", opts.blockSize);
    return false;
  }
  for (const Scenario& s : scenarios()) {
    if (name != s.name) continue;
    ScenarioOut out(outdir, name, opts);
    return s.build(out, error) && out.finish(error);
  }
  error = "unknown scenario " + name;
  return false;
}

}  // namespace bex::forge
