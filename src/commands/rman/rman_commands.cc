#include "commands/rman/rman_commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bitset>
#include <climits>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "base/clock.h"
#include "base/cmdline.h"
#include "datafile/registry.h"
#include "datafile/slot_reader.h"
#include "rman/block_copies.h"
#include "rman/piece_source.h"
#include "rman/piece_walker.h"
#include "rman/restore.h"
#include "rman/run_listing.h"
#include "run/run_context.h"

namespace bex {

namespace {

using FileRuns = std::map<uint32_t, std::vector<PieceRun>>;

constexpr uint32_t kFileNumbers = 1024;  // relative file numbers have 10 bits

void printUsage(Sink& out) {
  out.noteError();
  out.write("  RMAN SCAN \n");
  out.write("  RMAN RESTORE FILE fileid \n");
  out.write("  RMAN OPEN \n");
}

// After RMAN OPEN the slots are data files read from the pieces, and the
// listing's slot numbers no longer name pieces.
bool mappedOntoPieces(const RunContext& rc) {
  for (uint32_t i = 0; i < rc.registry.count; i++)
    if (rc.pieceFiles.names(rc.registry.slots[i].path)) return true;
  return false;
}

PieceRules piecesRules(const BlockContext& bc) {
  PieceRules r;
  r.blockSize = bc.blockSize;
  r.order = bc.byteOrder;
  r.bigfile = bc.bigfile != 0;
  r.blockCheck = bc.blockCheck != 0;
  r.corrupt = bc.corruptList;
  return r;
}

void reportPiece(Sink& out, uint32_t slot, const DataFile& f, const PieceCounts& c, uint32_t blockSize) {
  out.printf("  Slot %u %s: runs %llu, blocks in runs %llu, other blocks %llu", slot, f.path,
             static_cast<unsigned long long>(c.runs), static_cast<unsigned long long>(c.runBlocks),
             static_cast<unsigned long long>(c.blocks - c.runBlocks));
  const uint64_t size = f.source->size();
  if (size > f.headerSize && (size - f.headerSize) % blockSize)
    out.printf(", bytes after the last whole block %llu",
               static_cast<unsigned long long>((size - f.headerSize) % blockSize));
  out.write("\n");
}

void rmanScan(RunContext& rc) {
  const std::string name = rc.dictDir.file(kRmanListing);
  FILE* f = fopen(name.c_str(), "wb+");
  if (!f) {
    rc.out.error("  Cannot create %s\n", name.c_str());
    return;
  }
  bool written;
  std::bitset<kFileNumbers> files;
  {
    FileSink listing(f, kOutputBufferSize);
    PieceWalker walker(piecesRules(rc.bc), [&](const PieceRun& r) {
      writeRunLine(listing, r);
      files.set(r.file);
    });
    SlotReader reader(rc.bc);
    for (uint32_t slot = 0; slot < rc.registry.count; slot++) {
      const DataFile& piece = rc.registry.slots[slot];
      if (!piece.usable()) continue;
      walkPiece(reader, walker, slot);
      rc.bc.counters->BadBlockCount += walker.counts().badBlocks;
      reportPiece(rc.out, slot, piece, walker.counts(), rc.bc.blockSize);
    }
    written = listing.flush() && !listing.failed();
  }
  if (fclose(f) != 0 || !written) rc.out.error("  Cannot write %s, the listing is incomplete.\n", name.c_str());
  for (uint32_t file = 0; file < kFileNumbers; file++)
    if (files.test(file)) rc.out.printf("RMAN RESTORE FILE %u\n", file + 1);
}

// Reads the listing's runs of one file (all files when file < 0); false,
// with a message, when there is no listing.
bool readRuns(RunContext& rc, int64_t file, FileRuns& runs, uint64_t& cutBlocks) {
  const DataFileRegistry& reg = rc.registry;
  const uint32_t bs = rc.bc.blockSize;
  auto pieceBlocks = [&](uint32_t slot) -> int64_t {
    if (slot >= reg.count || !reg.slots[slot].usable()) return -1;
    const DataFile& f = reg.slots[slot];
    const uint64_t size = f.source->size();
    if (size == 0) return INT64_MAX;  // a size it cannot tell
    return size > f.headerSize ? static_cast<int64_t>((size - f.headerSize) / bs) : 0;
  };
  const std::string name = rc.dictDir.file(kRmanListing);
  if (readRunListing(name.c_str(), file, pieceBlocks, rc.out, runs, cutBlocks)) return true;
  rc.out.error("  Cannot open %s: run RMAN SCAN first.\n", name.c_str());
  return false;
}

FileCopies copiesOf(RunContext& rc, const std::vector<PieceRun>& runs) {
  const DataFileRegistry& reg = rc.registry;
  const uint32_t bs = rc.bc.blockSize;
  CopyRules rules;
  rules.blockSize = bs;
  rules.order = rc.bc.byteOrder;
  rules.blockCheck = rc.bc.blockCheck != 0;
  return chooseCopies(runs, rules, [&](uint32_t slot, uint32_t position, uint8_t* buf) {
    const DataFile& f = reg.slots[slot];
    return f.source->read(uint64_t{position} * bs + f.headerSize, buf, bs).bytes == bs;
  });
}

void reportCopies(Sink& out, const FileCopies& c) {
  if (c.severalCopies == 0) return;
  out.printf("  Blocks held by several pieces %llu: the copy with the highest SCN taken, for %llu of them not the "
             "one listed last\n",
             static_cast<unsigned long long>(c.severalCopies), static_cast<unsigned long long>(c.newerKept));
}

// True (with a message) when name is the file of an open slot: a restore
// never writes into a file it reads.
bool isOpenDataFile(const RunContext& rc, const char* name, Sink& out) {
  const DataFileRegistry& reg = rc.registry;
  struct stat target;
  if (stat(name, &target) != 0) return false;
  for (uint32_t i = 0; i < reg.count; i++) {
    struct stat st;
    const char* path = reg.slots[i].path;
    if (rc.sources.namesPlainFile(path) && stat(path, &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino) {
      out.error("  %s is open as slot %u, it is not written.\n", name, i);
      return true;
    }
  }
  return false;
}

void reportRestore(Sink& out, const char* name, const RestoreCounts& r) {
  out.printf("  %s: blocks restored %llu, filler blocks %llu, unreadable blocks %llu\n", name,
             static_cast<unsigned long long>(r.restored), static_cast<unsigned long long>(r.filler),
             static_cast<unsigned long long>(r.unreadable));
  if (r.writeFailed) out.error("  Cannot write %s, the file is incomplete.\n", name);
}

void rmanRestore(RunContext& rc, uint32_t fileid) {
  char name[32];
  snprintf(name, sizeof name, "RMAN_%u.DBF", fileid);
  if (isOpenDataFile(rc, name, rc.out)) return;
  FileRuns runs;
  uint64_t cutBlocks = 0;
  if (!readRuns(rc, int64_t{fileid} - 1, runs, cutBlocks)) return;
  if (runs.empty()) {
    rc.out.printf("  No run of file %u in the listing.\n", fileid - 1);
    return;
  }
  const FileCopies copies = copiesOf(rc, runs.begin()->second);
  int fd = ::open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    rc.out.error("  Cannot open %s\n", name);
    if (fd >= 0) ::close(fd);
    return;
  }
  RestoreCounts r = restoreFile(rc.registry, rc.bc.blockSize, copies, fd, static_cast<uint64_t>(st.st_size), rc.progress);
  if (::close(fd) != 0) r.writeFailed = true;
  r.unreadable += cutBlocks;
  rc.bc.counters->BadBlockCount += r.unreadable;
  reportCopies(rc.out, copies);
  reportRestore(rc.out, name, r);
}

void rmanOpen(RunContext& rc) {
  FileRuns runs;
  uint64_t cutBlocks = 0;
  if (!readRuns(rc, -1, runs, cutBlocks)) return;
  if (runs.empty()) {
    rc.out.write("  No runs in the listing.\n");
    return;
  }
  std::map<uint32_t, FileCopies> files;
  FileCopies all;
  for (const auto& [file, lines] : runs) {
    FileCopies& c = files[file] = copiesOf(rc, lines);
    all.severalCopies += c.severalCopies;
    all.newerKept += c.newerKept;
  }
  DataFileRegistry& reg = rc.registry;
  auto pieces = std::make_shared<PieceSet>();
  for (uint32_t i = 0; i < reg.count; i++) pieces->add(std::move(reg.slots[i].source), reg.slots[i].headerSize);
  reg.clear();
  PieceFiles::Stretches stretches;
  for (auto& [file, c] : files) {
    if (!addSlot(reg, PieceFiles::pathOf(file), 0)) break;
    stretches[file] = std::move(c.stretches);
  }
  rc.pieceFiles.map(std::move(pieces), std::move(stretches), rc.bc.blockSize);
  openSlots(reg, rc.sources, rc.out);
  rc.pieceFiles.clear();
  listDataFiles(rc.bc, rc.out);
  rc.emptyReadCaches();
  reportCopies(rc.out, all);
  if (cutBlocks)
    rc.out.printf("  Listed blocks past the end of their pieces %llu\n", static_cast<unsigned long long>(cutBlocks));
}

}  // namespace

void cmdRman(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  enum { kUsage, kScan, kRestore, kOpen } what = kUsage;
  uint32_t fileid = 0;
  if (cl.nextToken()) {
    if (keywordMatch(cl.token(), "SCAN")) what = kScan;
    if (keywordMatch(cl.token(), "OPEN")) what = kOpen;
    if (keywordMatch(cl.token(), "RESTORE") && cl.nextToken() && keywordMatch(cl.token(), "FILE")) {
      what = kRestore;
      if (cl.nextToken()) fileid = static_cast<uint32_t>(tokenNumber(cl.token()));
    }
  }
  if (what == kUsage) {
    printUsage(rc.out);
    return;
  }
  if (what == kRestore && fileid == 0) return;
  if (mappedOntoPieces(rc)) {
    rc.out.error("  The open files are read from backup pieces (RMAN OPEN): OPEN the pieces again first.\n");
    return;
  }
  printDateLine(rc.out);
  if (what == kScan) rmanScan(rc);
  if (what == kRestore) rmanRestore(rc, fileid);
  if (what == kOpen) rmanOpen(rc);
  printDateLine(rc.out);
}

}  // namespace bex
