#include "commands/block/dump_commands.h"

#include <cstdio>

#include "block/block_dump.h"
#include "block/hex_dump.h"
#include "datafile/block_reader.h"
#include "base/cmdline.h"
#include "base/file_or_console.h"
#include "base/limits.h"
#include "run/run_context.h"

namespace bex {

namespace {

struct DumpArgs {
  uint32_t rdba = 0;
  uint32_t rfn = 0;
  uint32_t block = 0;
  char to[kFileNameMax + 1] = "";
};

// RDBA, FILE, BLOCK and TO in any order, each taking the next token; a
// later value replaces an earlier one and stray tokens are ignored. False
// when a token is too long to be taken.
bool parseDumpArgs(CommandLine& cl, DumpArgs& a) {
  enum { kNone, kRdba, kFile, kBlock, kTo } pending = kNone;
  while (cl.nextToken()) {
    std::string_view t = cl.token();
    if (t.size() > kFileNameMax) return false;
    if (keywordMatch(t, "RDBA")) pending = kRdba;
    else if (keywordMatch(t, "FILE")) pending = kFile;
    else if (keywordMatch(t, "BLOCK")) pending = kBlock;
    else if (keywordMatch(t, "TO")) pending = kTo;
    else {
      switch (pending) {
        case kRdba: a.rdba = static_cast<uint32_t>(tokenNumberHex(t)); break;
        case kFile: a.rfn = static_cast<uint32_t>(tokenNumber(t)); break;
        case kBlock: a.block = static_cast<uint32_t>(tokenNumber(t)); break;
        case kTo: copyToken(t, a.to, kFileNameMax); break;
        case kNone: break;
      }
      pending = kNone;
    }
  }
  return true;
}

bool readRequested(RunContext& rc, const DumpArgs& a) {
  uint32_t got = a.rdba ? ReadBlockByRdba(rc.bc, a.rdba) : ReadBlock(rc.bc, a.rfn, a.block);
  if (got == rc.bc.blockSize) return true;
  rc.out.error("  Read Error\n");
  return false;
}

// The dump goes to the TO file when one was named and can be created,
// else to the console.
template <typename Dump>
void writeDump(RunContext& rc, const DumpArgs& a, Dump dump) {
  FileOrConsole to(a.to, "wb+", rc.out);
  dump(to.sink());
}

}  // namespace

void cmdOsdump(RunContext& rc) {
  DumpArgs a;
  if (!parseDumpArgs(rc.cmd, a) || (a.rdba == 0 && a.rfn == 0)) {
    rc.out.noteError();
    rc.out.write("  OSDUMP RDBA     rdba [TO filename]\n");
    rc.out.write("  OSDUMP FILE rfn BLOCK blockid [TO filename]\n");
    return;
  }
  if (!readRequested(rc, a)) return;
  writeDump(rc, a, [&](Sink& s) { hexDump(s, rc.bc.block, rc.bc.blockSize); });
}

void cmdOradump(RunContext& rc) {
  DumpArgs a;
  if (!parseDumpArgs(rc.cmd, a) || (a.rdba == 0 && (a.block == 0 || (a.rfn == 0 && !rc.bc.bigfile)))) {
    rc.out.noteError();
    rc.out.write("  ORADUMP RDBA     rdba [TO filename]\n");
    rc.out.write("  ORADUMP FILE rfn  BLOCK blockid [TO filename]\n");
    return;
  }
  if (!readRequested(rc, a)) return;
  writeDump(rc, a, [&](Sink& s) { blockDump(s, rc.bc); });
}

void cmdBcheck(RunContext& rc) {
  DumpArgs a;
  if (!parseDumpArgs(rc.cmd, a) || (a.rdba == 0 && (a.rfn == 0 || a.block == 0))) {
    rc.out.noteError();
    rc.out.write("  BCHECK RDBA     rdba [TO filename]\n");
    rc.out.write("  BCHECK FILE rfn BLOCK blockid [TO filename]\n");
    return;
  }
  if (!readRequested(rc, a)) return;
  rc.out.write(IsBadBlock(rc.bc) ? "Block Tail Unmatched!\n" : "Block Tail Matched!\n");
}

}  // namespace bex
