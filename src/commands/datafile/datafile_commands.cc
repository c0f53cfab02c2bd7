#include "commands/datafile/datafile_commands.h"

#include <cstring>

#include "commands/datafile/open_layout.h"
#include "datafile/block_reader.h"
#include "run/run_context.h"

namespace bex {

namespace {

constexpr size_t kListLineMax = 62;  // characters per read of a LOAD file

void loadConfiguration(RunContext& rc, FILE* config) {
  DataFileRegistry& reg = rc.registry;
  reg.clear();
  char line[kInputLineMax + 1];
  while (reg.count < kMaxDataFiles && fgets(line, sizeof line, config)) parseConfigLine(reg, line);
  openSlots(reg, rc.sources, rc.out);
  learnFileLayout(rc);
  listDataFiles(rc.bc, rc.out);
}

struct ListTexts {
  const char* heading;
  const char* usage[5];
};

const ListTexts kCorruptTexts = {" Corrupted Blocks List:\n",
                                 {"  CORRUPT CLEAR \n", "  CORRUPT LIST \n", "  CORRUPT RDBA     rdba \n",
                                  "  CORRUPT FILE rfn BLOCK blockid \n", "  CORRUPT LOAD     file \n"}};
const ListTexts kSkipTexts = {" Skipped Blocks List:\n",
                              {"  SKIP  CLEAR \n", "  SKIP  LIST \n", "  SKIP  RDBA     rdba \n",
                               "  SKIP  FILE rfn BLOCK blockid \n", "  SKIP  LOAD file \n"}};

// False when the file cannot be opened.
bool loadListFile(BlockList& list, const char* name) {
  FILE* f = fopen(name, "r");
  if (!f) return false;
  char line[kListLineMax + 1];
  while (fgets(line, sizeof line, f)) {
    uint64_t v = tokenNumberHex({line, strcspn(line, " \t\r\n")});
    if (static_cast<uint32_t>(v) != 0) list.add(static_cast<uint32_t>(v));
  }
  fclose(f);
  return true;
}

// CORRUPT and SKIP share their grammar; they differ in list and texts.
void blockListCommand(RunContext& rc, BlockList& list, const ListTexts& texts) {
  enum Pending { kNone, kRdba, kFile, kBlock, kClear, kList, kLoad } pending = kNone;
  static const char* const kWords[] = {"RDBA", "FILE", "BLOCK", "CLEAR", "LIST", "LOAD"};
  uint64_t rdba = 0, file = 0, block = 0;
  char loadName[kFileNameMax + 1] = "";
  rc.caches[0].empty();
  CommandLine& cl = rc.cmd;
  while (cl.nextToken()) {
    int word = -1;
    for (int i = 0; i < 6; i++)
      if (keywordMatch(cl.token(), kWords[i])) word = i;
    if (word >= 0) {
      pending = static_cast<Pending>(word + 1);
      continue;
    }
    if (pending == kRdba) rdba = tokenNumberHex(cl.token());
    if (pending == kFile) file = static_cast<uint64_t>(tokenNumber(cl.token()));
    if (pending == kBlock) block = static_cast<uint64_t>(tokenNumber(cl.token()));
    if (pending == kLoad) copyToken(cl.token(), loadName, kFileNameMax);
    pending = kNone;
  }
  uint32_t rdba32 = static_cast<uint32_t>(rdba);
  if (pending == kClear) {
    list.clear();
  } else if (pending == kList) {
    rc.out.write(texts.heading);
    for (uint16_t i = 0; i < list.count; i++)
      rc.out.printf("  RDBA = %u , FILE = %u , BLOCK = %u\n", list.rdba[i], rdbaFile(list.rdba[i]),
                    rdbaBlock(list.rdba[i]));
    rc.out.flush();
  } else if (rdba32 != 0) {
    list.add(rdba32);
  } else if (static_cast<uint32_t>(file) != 0 && static_cast<uint32_t>(block) != 0) {
    list.add(makeRdba(static_cast<uint32_t>(file), static_cast<uint32_t>(block)));
  } else if (loadName[0]) {
    if (!loadListFile(list, loadName)) rc.out.noteError();
  } else {
    rc.out.noteError();
    for (const char* line : texts.usage) rc.out.write(line);
  }
}

}  // namespace

void cmdOpen(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  if (!cl.nextToken()) return;
  char name[kFileNameMax + 1];
  copyToken(cl.fromToken(), name, kFileNameMax);
  FILE* config = fopen(name, "r");
  if (!config) return rc.out.noteError();
  loadConfiguration(rc, config);
  fclose(config);
  rc.emptyReadCaches();
}

void cmdCheck(RunContext& rc) {
  listDataFiles(rc.bc, rc.out);
  rc.emptyReadCaches();
}

void cmdCorrupt(RunContext& rc) { blockListCommand(rc, rc.corruptList, kCorruptTexts); }

void cmdSkip(RunContext& rc) { blockListCommand(rc, rc.skipList, kSkipTexts); }

}  // namespace bex
