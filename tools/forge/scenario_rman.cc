// Scenario "rman": backup pieces (backup_piece.h) of the files of the dict
// scenario (forged beside it, rfn 1 and 4) and of rman_types06.dbf (rfn 6:
// blocks 2 on, one of every type a data file's blocks carry, then a gap of
// unformatted blocks and three more), with the originals and what BEX must
// make of the pieces.
//
//   rman_l0a_1.bkp .. _3   level 0 backup set of files 1 and 4, multiplexed
//                          in chunks of 8 blocks, 16 data-file blocks a piece
//   rman_l0b_1.bkp         level 0 backup set of file 6; written also as ASM
//                          file 256 of the EXTERNAL group rmanasm (2 disks)
//   rman_l1_1.bkp          level 1 backup set of files 1 and 4, 512 bytes in
//                          front of its block 0
//
// The level 1 set holds the file headers and every block of rows whose
// block number is even, as the originals have them; the level 0 set holds
// older versions of those blocks (an SCN 0x100 lower, every row flagged
// deleted, as a transaction in flight at the time left them), and not the
// last table block of file 4 at all (it was formatted later). rman.cfg
// names the level 1 piece first, so the copy listed last is the older one:
// only the choice by SCN gives the originals back.
//
// rman_damaged.cfg names the level 1 piece and three damaged copies of the
// level 0 pieces of set a: rman_bad_zeroed.bkp (positions 5 to 8 zeros),
// rman_bad_cut.bkp (cut in the middle of its block 10), rman_bad_garbage.bkp
// (three blocks of random bytes between its first two runs).
// rman_restored.cfg names RMAN_2.DBF and RMAN_5.DBF, the files RMAN
// RESTORE FILE 2 and 5 write.
//
// For each configuration <cfg> the scenario writes <cfg>.BEXRMAN.TXT (what
// RMAN SCAN lists), expect/rman/<cfg>/RMAN_<fileid>.DBF (what RMAN RESTORE
// FILE writes: for every listed block the copy with the highest SCN, the
// later listed one among equals; zeros elsewhere), the expectation lines
// rmanpiece and rmanfile, and expect/rman/road.sql with check.sh
// {listing|restored} <cfg>.
#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "forge/asm_group.h"
#include "forge/backup_piece.h"
#include "forge/dict_system.h"
#include "forge/unload_rows.h"

namespace bex::forge {

bool buildDictScenario(ScenarioOut& out, std::string& error);

namespace {

constexpr uint16_t kTypesRfn = 6;
constexpr uint32_t kLevel1HeaderSize = 512;
constexpr uint32_t kAsmPieceFile = 256;
constexpr uint32_t kOlderBy = 0x100;
constexpr uint8_t kRowDeleted = 0x10;
constexpr uint8_t kPieceFill = 0xee;  // the bytes in front of a piece's block 0

// Every type a data file's own blocks carry, but the file header (block 1).
constexpr uint8_t kBlockTypes[] = {0x02, 0x06, 0x0e, 0x10, 0x11, 0x12, 0x17, 0x19, 0x1a, 0x1b,
                                   0x1d, 0x1e, 0x20, 0x21, 0x23, 0x24, 0x26, 0x28, 0x3d, 0x3e,
                                   0x3f, 0x40, 0x45, 0x50, 0x51, 0x52, 0x53, 0x54};

using BlockKey = std::pair<uint16_t, uint32_t>;  // rfn, block

struct DataFileImage {
  uint16_t rfn = 0;
  Bytes bytes;  // from block 0
};

// A piece as a configuration names it.
struct Listed {
  std::string name;
  uint32_t hsize = 0;
  const BackupPiece* piece = nullptr;
};

bool readImage(const Original& o, uint16_t rfn, DataFileImage& img, std::string& error) {
  Bytes all;
  if (!readWhole(o.path, all, error)) return false;
  img.rfn = rfn;
  img.bytes.assign(all.begin() + std::min<size_t>(o.hsize, all.size()), all.end());
  return true;
}

// Blocks 1 on that were ever formatted (type byte not 0).
std::vector<BackedBlock> formattedBlocks(const DataFileImage& f, uint32_t bs) {
  std::vector<BackedBlock> v;
  for (uint64_t n = 1; (n + 1) * bs <= f.bytes.size(); ++n)
    if (f.bytes[n * bs] != 0)
      v.push_back({f.rfn, static_cast<uint32_t>(n), Bytes(f.bytes.begin() + n * bs, f.bytes.begin() + (n + 1) * bs)});
  return v;
}

// The offsets of the row pieces of each block, from a scenario's "row"
// expectation lines.
std::map<BlockKey, std::vector<uint32_t>> rowOffsets(const std::string& expectPath) {
  std::map<BlockKey, std::vector<uint32_t>> rows;
  std::ifstream in(expectPath);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("row ", 0) != 0) continue;
    std::istringstream words(line.substr(4));
    std::string addr, word;
    words >> addr;
    const size_t slash = addr.find('/');
    const BlockKey key{static_cast<uint16_t>(std::stoul(addr.substr(0, slash))),
                       static_cast<uint32_t>(std::stoul(addr.substr(slash + 1)))};
    while (words >> word)
      if (word.rfind("offs=", 0) == 0) rows[key].push_back(static_cast<uint32_t>(std::stoul(word.substr(5))));
  }
  return rows;
}

// The block as it was before its rows were last changed: an SCN kOlderBy
// lower (in the tail too) and every row flagged deleted. The checksum field
// takes the change, so a block that passed its checksum still does.
Bytes olderVersion(const Bytes& block, const std::vector<uint32_t>& rows, ByteOrder o) {
  Bytes b = block;
  const uint32_t size = static_cast<uint32_t>(b.size());
  const uint16_t before = xorFoldBytes(b.data(), size);
  const uint32_t scn = get32(b.data() + 8, o), older = scn - kOlderBy;
  put32(b.data() + 8, older, o);
  const uint32_t tail = get32(b.data() + size - 4, o);
  if (tail >> 16 == (scn & 0xffff)) put32(b.data() + size - 4, (older & 0xffff) << 16 | (tail & 0xffff), o);
  for (uint32_t off : rows)
    if (off < size - kBlockTailSize) b[off] |= kRowDeleted;
  const uint16_t change = before ^ xorFoldBytes(b.data(), size);
  b[16] ^= static_cast<uint8_t>(change >> 8);
  b[17] ^= static_cast<uint8_t>(change);
  return b;
}

bool forgeTypesFile(ScenarioOut& out, DataFileImage& img, std::string& error) {
  FileSpec layout = out.fileSpec("rman_types06.dbf", kTypesRfn);
  layout.headerSize = 0;
  layout.header.tsNumber = kTypesRfn, layout.header.tsName = "TYPES";
  ForgeFile f(layout);
  uint32_t n = 2;
  auto add = [&](uint8_t type) {
    ForgeBlock b(layout.blockSize, layout.order);
    BlockHeader h;
    h.type = type;
    h.rdba = f.rdba(n);
    writeBlockHeader(b, h);
    b.putText(400, format("rman types block 0x%02x", type));
    sealBlock(b, h);
    f.addBlock(n++, std::move(b));
  };
  for (uint8_t t : kBlockTypes) add(t);
  n += 9;  // never formatted
  for (uint8_t t : {0x06, 0x06, 0x1b}) add(t);
  if (!out.add(f, error, false)) return false;
  return readImage({layout.name, 0}, kTypesRfn, img, error);
}

bool writePiece(const ScenarioOut& out, const Listed& l, std::string& error) {
  std::string s(l.hsize, static_cast<char>(kPieceFill));
  s.append(reinterpret_cast<const char*>(l.piece->bytes().data()), l.piece->bytes().size());
  return writeTextFile(out.path(l.name), s, error);
}

// What RESTORE must write for each file: per block the copy with the
// highest SCN, the later listed among equals.
class RestoreModel {
 public:
  explicit RestoreModel(const std::vector<Listed>& pieces) {
    for (const Listed& l : pieces) {
      const BackupPiece& p = *l.piece;
      for (uint32_t pos = 0; pos < p.entries().size(); ++pos) {
        const BackupPiece::Entry& e = p.entries()[pos];
        if (e.kind != BackupPiece::Kind::Block) continue;
        const uint64_t scn = blockScnOf(p.at(pos), p.order());
        Choice& c = files_[e.rfn][e.block];
        c.copies++;
        c.lastWins = c.copies == 1 || scn >= c.scn;
        if (c.lastWins) c.bytes = p.at(pos), c.scn = scn;
      }
    }
  }

  bool write(ScenarioOut& out, const std::string& cfg, uint32_t bs, std::string& error) const {
    const std::string dir = "expect/rman/" + cfg;
    if (!makeDir(out.path(dir), error)) return false;
    for (const auto& [rfn, blocks] : files_) {
      const uint32_t last = blocks.rbegin()->first;
      std::string image((uint64_t{last} + 1) * bs, '\0');
      uint64_t several = 0, newer = 0;
      for (const auto& [n, c] : blocks) {
        std::copy_n(c.bytes, bs, image.data() + uint64_t{n} * bs);
        several += c.copies > 1;
        newer += c.copies > 1 && !c.lastWins;
      }
      const std::string name = format("%s/RMAN_%u.DBF", dir.c_str(), rfn + 1);
      if (!writeTextFile(out.path(name), image, error)) return false;
      out.fact(format("rmanfile %u cfg=%s rfn=%u restored=%zu filler=%llu several=%llu newer=%llu image=%s", rfn + 1,
                      cfg.c_str(), rfn, blocks.size(), static_cast<unsigned long long>(last + 1 - blocks.size()),
                      static_cast<unsigned long long>(several), static_cast<unsigned long long>(newer), name.c_str()));
    }
    return true;
  }

 private:
  struct Choice {
    const uint8_t* bytes = nullptr;
    uint64_t scn = 0;
    uint32_t copies = 0;
    bool lastWins = true;
  };
  std::map<uint16_t, std::map<uint32_t, Choice>> files_;
};

// Writes the pieces of one configuration with its listing and expectations.
bool writeConfiguration(ScenarioOut& out, const std::string& cfg, const std::vector<Listed>& pieces, bool asmLast,
                        std::string& error) {
  std::string config, listing;
  for (uint32_t slot = 0; slot < pieces.size(); ++slot) {
    const Listed& l = pieces[slot];
    const bool inAsm = asmLast && slot + 1 == pieces.size();
    config += inAsm ? format("+%u\n", kAsmPieceFile) : l.hsize ? format("%s %u\n", l.name.c_str(), l.hsize) : l.name + "\n";
    listing += l.piece->listing(slot);
    const BackupPiece::Counts c = l.piece->counts();
    out.fact(format("rmanpiece %u cfg=%s path=%s blocks=%llu runs=%llu runblocks=%llu tail=%llu", slot, cfg.c_str(),
                    inAsm ? format("+%u", kAsmPieceFile).c_str() : l.name.c_str(),
                    static_cast<unsigned long long>(c.blocks), static_cast<unsigned long long>(c.runs),
                    static_cast<unsigned long long>(c.runBlocks), static_cast<unsigned long long>(l.piece->tail())));
    if (!writePiece(out, l, error)) return false;
  }
  const uint32_t bs = out.options().blockSize;
  if (cfg == out.name()) {  // the scenario's own configuration, written by finish()
    for (size_t at = 0, end; (end = config.find('\n', at)) != std::string::npos; at = end + 1)
      out.configLine(config.substr(at, end - at));
  } else if (!writeTextFile(out.path(cfg + ".cfg"), config, error)) {
    return false;
  }
  return
         writeTextFile(out.path(cfg + ".BEXRMAN.TXT"), listing, error) &&
         RestoreModel(pieces).write(out, cfg, bs, error);
}

std::string checkScript() {
  return "#!/bin/sh\n"
         "# Compares what BEX wrote for the backup pieces of a configuration CFG with\n"
         "# what the forge made: \"check.sh listing CFG\" BEXDICT/BEXRMAN.TXT (RMAN SCAN),\n"
         "# \"check.sh restored CFG\" the files of RMAN RESTORE FILE. Exits 1 when a file\n"
         "# differs.\n"
         "cd \"$(dirname \"$0\")/../..\"\n"
         "status=0\n"
         "same() { if cmp -s \"$1\" \"$2\"; then echo \"$2 same\"; else echo \"$2 DIFFERS\"; status=1; fi; }\n"
         "listing() { same \"$1.BEXRMAN.TXT\" BEXDICT/BEXRMAN.TXT; }\n"
         "restored() { for f in expect/rman/\"$1\"/RMAN_*.DBF; do same \"$f\" \"${f##*/}\"; done; }\n"
         "\"$1\" \"$2\"\n"
         "exit $status\n";
}

std::string unloadRoad(const char* open) {
  std::string s = format("%s\nUNLOAD TABLE DICT$;\n! sh expect/check.sh dict\n", open);
  for (const char* user : {"SCOTT", "HR"})
    s += format("LIST TABLE %s TO rman_%s.sql\n@rman_%s.sql\n! sh expect/check.sh rows %s\n", user, user, user, user);
  return s;
}

std::string road(const ScenarioOptions& o) {
  std::string s = "REM The RMAN road on the forged backup pieces; run bex in the directory the scenario was forged into.\n";
  if (o.order == ByteOrder::Big) s += "SET BYTE_ORDER BIG\n";
  if (o.blockSize != 8192) s += format("SET BLOCK_SIZE %u\n", o.blockSize);
  s += "ASM OPEN rmanasm.disks\nOPEN rman.cfg\nRMAN SCAN\n! sh expect/rman/check.sh listing rman\n"
       "RMAN RESTORE FILE 2\nRMAN RESTORE FILE 5\nRMAN RESTORE FILE 7\n! sh expect/rman/check.sh restored rman\n";
  s += unloadRoad("OPEN rman_restored.cfg");
  s += unloadRoad("OPEN rman.cfg\nRMAN OPEN\nSCAN DATABASE");
  s += "! rm -f RMAN_*.DBF\nOPEN rman_damaged.cfg\nRMAN SCAN\n! sh expect/rman/check.sh listing rman_damaged\n"
       "RMAN RESTORE FILE 2\nRMAN RESTORE FILE 5\n! sh expect/rman/check.sh restored rman_damaged\nEXIT\n";
  return s;
}

// The first position after the first run of a piece where the next run starts.
uint32_t secondRun(const BackupPiece& p) {
  const auto& e = p.entries();
  for (uint32_t i = 2; i < e.size(); ++i)
    if (e[i].kind == BackupPiece::Kind::Block &&
        (e[i - 1].kind != BackupPiece::Kind::Block || e[i].rfn != e[i - 1].rfn || e[i].block != e[i - 1].block + 1))
      return i;
  return 2;
}

bool asmPiece(ScenarioOut& out, const Listed& l, std::string& error) {
  AsmGroupSpec shape;
  shape.prefix = "rmanasm";
  shape.order = out.options().order;
  AsmGroup g(shape);
  AsmFileSpec f;
  f.number = kAsmPieceFile, f.original = out.path(l.name), f.size = l.piece->bytes().size();
  f.alias = "RMAN_L0B_1", f.read = bytesReader(l.piece->bytes());
  g.add(std::move(f));
  return g.write(out, error);
}

}  // namespace

bool buildRmanScenario(ScenarioOut& out, std::string& error) {
  const ScenarioOptions& o = out.options();
  const uint32_t bs = o.blockSize;
  std::vector<Original> dict;
  if (!forgeBeside(out, "dict", buildDictScenario, dict, error)) return false;
  if (dict.size() != 2) {
    error = "the dict scenario names two files";
    return false;
  }
  DataFileImage system, users, types;
  if (!readImage(dict[0], 1, system, error) || !readImage(dict[1], 4, users, error) ||
      !forgeTypesFile(out, types, error))
    return false;
  const auto rows = rowOffsets(out.path("dict.expect"));

  // Level 0 and level 1 copies of files 1 and 4.
  uint32_t lastTable = 0;
  for (const auto& [key, offsets] : rows)
    if (key.first == users.rfn) lastTable = std::max(lastTable, key.second);
  std::vector<std::vector<BackedBlock>> level0(2), level1(2);
  for (size_t i = 0; i < 2; ++i) {
    for (BackedBlock& b : formattedBlocks(i == 0 ? system : users, bs)) {
      const BlockKey key{b.rfn, b.block};
      const auto r = rows.find(key);
      const bool newer = b.block == 1 || (r != rows.end() && b.block % 2 == 0);
      const bool later = b.rfn == users.rfn && b.block == lastTable;
      if (newer || later) level1[i].push_back(b);
      if (later) continue;
      if (newer) b.bytes = olderVersion(b.bytes, r != rows.end() ? r->second : std::vector<uint32_t>{}, o.order);
      level0[i].push_back(std::move(b));
    }
  }
  BackupSetSpec a{"BEXDB", "TAG_LEVEL0_A", 1001, 1, 0, 0x00012100, 16, 8};
  BackupSetSpec b{"BEXDB", "TAG_LEVEL0_B", 1002, 2, 0, 0x00012100, 0, 8};
  BackupSetSpec c{"BEXDB", "TAG_LEVEL1", 1003, 3, 1, 0x00012200, 0, 8};
  const std::vector<BackupPiece> setA = backupSet(a, level0, bs, o.order);
  const std::vector<BackupPiece> setB = backupSet(b, {formattedBlocks(types, bs)}, bs, o.order);
  const std::vector<BackupPiece> setC = backupSet(c, level1, bs, o.order);

  std::vector<Listed> sound{{"rman_l1_1.bkp", kLevel1HeaderSize, &setC[0]}};
  for (size_t i = 0; i < setA.size(); ++i) sound.push_back({format("rman_l0a_%zu.bkp", i + 1), 0, &setA[i]});
  sound.push_back({"rman_l0b_1.bkp", 0, &setB[0]});

  BackupPiece zeroed = setA.at(0), cutPiece = setA.at(1), garbage = setA.at(2);
  zeroed.zero(5, 4);
  cutPiece.cut(uint64_t{10} * bs + bs / 2);
  garbage.insertGarbage(secondRun(garbage), 3, 17);
  const std::vector<Listed> damaged{sound[0],
                                    {"rman_bad_zeroed.bkp", 0, &zeroed},
                                    {"rman_bad_cut.bkp", 0, &cutPiece},
                                    {"rman_bad_garbage.bkp", 0, &garbage}};

  out.note("rman.cfg: the level 1 piece, the level 0 pieces of set a, then set b's piece as ASM file 256 of rmanasm");
  return makeDir(out.path("expect"), error) && makeDir(out.path("expect/rman"), error) &&
         writeConfiguration(out, "rman", sound, true, error) && asmPiece(out, sound.back(), error) &&
         writeConfiguration(out, "rman_damaged", damaged, false, error) &&
         writeTextFile(out.path("rman_restored.cfg"), "RMAN_2.DBF\nRMAN_5.DBF\n", error) &&
         writeTextFile(out.path("expect/rman/check.sh"), checkScript(), error) &&
         writeTextFile(out.path("expect/rman/road.sql"), road(o), error);
}

}  // namespace bex::forge
