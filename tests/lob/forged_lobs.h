// The lob scenario forged into a scratch directory that is also the working
// directory (BEXDICT beside the data files), a RunContext that runs SET,
// OPEN, SCAN and UNLOAD statements on it as the prompt does, and the forge's
// account of every LOB column value (expect/cases.txt, expect/lob_pages.txt).
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../unload/unload_test_util.h"
#include "commands/scan/scan_commands.h"

namespace bex::testing {

// One LOB column value as the forge describes it.
struct ForgedCell {
  std::string id;       // "ROW.COLUMN", e.g. "5.B"
  std::string type;     // CLOB, BLOB or NCLOB
  std::string locator;  // the stored locator's bytes; empty for NULL, empty and missing columns
  uint32_t rfn = 0, block = 0, offset = 0;  // where the locator lies (rfn 0: nowhere)
  uint32_t errors = 0;                      // LOB errors a correct reader counts for it
};

// A run of LOB blocks holding one page.
struct ForgedPage {
  uint32_t rfn = 0, first = 0, count = 0;
};

inline size_t occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}

inline std::string hexUpper(const std::string& bytes) {
  std::string h;
  for (const char c : bytes) {
    char d[3];
    snprintf(d, sizeof d, "%02X", static_cast<uint8_t>(c));
    h += d;
  }
  return h;
}

inline std::string unhex(const std::string& h) {
  std::string b;
  for (size_t i = 0; i + 1 < h.size(); i += 2) b += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
  return b;
}

// "key=value" out of a line of words.
inline std::string wordValue(const std::string& line, const std::string& key) {
  const size_t at = line.find(" " + key + "=");
  if (at == std::string::npos) return "";
  const size_t from = at + key.size() + 2;
  return line.substr(from, line.find(' ', from) - from);
}

class ForgedLobs {
 public:
  explicit ForgedLobs(bool big = false, uint32_t blockSize = 8192) : big_(big), blockSize_(blockSize) {
    ok_ = forgeScenario("lob", dir_.path, big, blockSize) && chdir(dir_.path.c_str()) == 0 &&
          mkdir("BEXDICT", 0755) == 0;
    EXPECT_TRUE(ok_) << "cannot forge the lob scenario into " << dir_.path;
    std::istringstream in(read("expect/cases.txt"));
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("case ", 0) != 0) continue;
      std::istringstream words(line);
      std::string kind, row, column;
      ForgedCell c;
      words >> kind >> row >> column >> c.type;
      c.id = row + "." + column;
      const std::string locator = wordValue(line, "locator");
      if (locator.find_first_not_of("0123456789abcdef") == std::string::npos) c.locator = unhex(locator);
      c.errors = static_cast<uint32_t>(std::stoul(wordValue(line, "errors")));
      const std::string at = wordValue(line, "at");
      if (!at.empty()) sscanf(at.c_str(), "%u/%u+%u", &c.rfn, &c.block, &c.offset);
      cells_.push_back(c);
    }
    EXPECT_EQ(cells_.size(), 27u);
  }
  ~ForgedLobs() { [[maybe_unused]] int rc = chdir("/"); }
  ForgedLobs(const ForgedLobs&) = delete;
  ForgedLobs& operator=(const ForgedLobs&) = delete;

  bool ok() const { return ok_; }
  uint32_t blockSize() const { return blockSize_; }
  RunContext& rc() { return shell_.rc; }
  const std::vector<ForgedCell>& cells() const { return cells_; }
  const ForgedCell& cell(const std::string& id) const {
    for (const ForgedCell& c : cells_)
      if (c.id == id) return c;
    ADD_FAILURE() << "no cell " << id;
    return cells_.front();
  }
  std::string read(const std::string& name) const { return readWhole(dir_.file(name)); }
  // The console since the last statement or call.
  std::string printed() { return shell_.fresh(); }

  // One statement, dispatched on its first word; what it printed.
  std::string run(const std::string& statement) {
    shell_.rc.resetStatement();
    shell_.rc.cmd.set(statement);
    shell_.rc.cmd.nextToken();
    if (keywordMatch(shell_.rc.cmd.token(), "SCAN")) {
      cmdScan(shell_.rc);
      return shell_.fresh();
    }
    return shell_.statement(statement);
  }
  // The road up to the first UNLOAD: settings, OPEN and SCAN DATABASE.
  std::string openAndScan() {
    std::string out;
    if (big_) out += run("SET BYTE_ORDER BIG");
    if (blockSize_ != 8192) out += run("SET BLOCK_SIZE " + std::to_string(blockSize_));
    out += run("SET ICONV_CLOB UTF-16BE UTF-8");
    out += run("SET ICONV_NCLOB UTF-16BE UTF-8");
    out += run("OPEN lob.cfg");
    return out + run("SCAN DATABASE");
  }

  // The LOB id a cell's locator names, as the listings print it.
  std::string lobId(const std::string& id) const { return hexUpper(cell(id).locator.substr(10, 10)); }
  // The page run the forge lists for a cell's LOB id.
  ForgedPage page(const std::string& id, uint32_t page) const {
    std::istringstream in(read("expect/lob_pages.txt"));
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("page " + lobId(id) + " " + std::to_string(page) + " ", 0) != 0) continue;
      return {static_cast<uint32_t>(std::stoul(wordValue(line, "rfn"))),
              static_cast<uint32_t>(std::stoul(wordValue(line, "first"))),
              static_cast<uint32_t>(std::stoul(wordValue(line, "count")))};
    }
    ADD_FAILURE() << "no page " << page << " of " << id;
    return {};
  }

  // Damage: a data file's block zeroed, or bytes written into a cell's
  // locator (from its byte `at`) or into any block, the block's checksum
  // then made to agree again so that only the parsers can tell.
  static std::string fileOf(uint32_t rfn) {
    char name[32];
    snprintf(name, sizeof name, "lob_users%02u.dbf", rfn);
    return name;
  }
  void zeroBlock(uint32_t rfn, uint32_t block) { writeBlock(rfn, block, std::string(blockSize_, '\0')); }
  void patchLocator(const std::string& id, size_t at, const std::string& bytes) {
    const ForgedCell& c = cell(id);
    ASSERT_NE(c.rfn, 0u) << id;
    ASSERT_LE(at + bytes.size(), c.locator.size()) << id;
    patchBlock(c.rfn, c.block, c.offset + at, bytes);
  }
  // Bytes written into a block from its byte `at`, the checksum made to agree.
  void patchBlock(uint32_t rfn, uint32_t blockNo, size_t at, const std::string& bytes) {
    std::string block = read(fileOf(rfn)).substr(uint64_t{blockNo} * blockSize_, blockSize_);
    ASSERT_EQ(block.size(), blockSize_);
    ASSERT_LE(at + bytes.size(), block.size());
    block.replace(at, bytes.size(), bytes);
    block[16] = block[17] = 0;  // every 16-bit word of a sound block XORs to zero
    char x[2] = {0, 0};
    for (size_t i = 0; i < block.size(); i++) x[i % 2] ^= block[i];
    block[16] = x[0], block[17] = x[1];
    writeBlock(rfn, blockNo, block);
  }

 private:
  void writeBlock(uint32_t rfn, uint32_t block, const std::string& bytes) {
    FILE* f = fopen(dir_.file(fileOf(rfn)).c_str(), "r+b");
    ASSERT_NE(f, nullptr) << fileOf(rfn);
    ASSERT_EQ(fseeko(f, static_cast<off_t>(uint64_t{block} * blockSize_), SEEK_SET), 0);
    EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    fclose(f);
  }

  ScratchDir dir_;
  UnloadShell shell_;
  bool big_;
  uint32_t blockSize_;
  bool ok_ = false;
  std::vector<ForgedCell> cells_;
};

}  // namespace bex::testing
