// scan_db_forge: a large synthetic database for the scan benchmark, written
// block by block from a few forged templates (only the address, object and
// LOB fields change, then the checksum is sealed again), together with the
// listings a scan must write for it.
//
//   scan_db_forge <outdir> <MiB> [--files N]
//       scanbench01.dbf ... (rfn 1..N, 8 KiB blocks), scanbench.cfg,
//       scanbench.BEXEXT.TXT and scanbench.BEXLOB.TXT
//   scan_db_forge --lob-listing <path> <lines>
//       a LOB listing of that many lines (four pages per LOB id)
//   scan_db_forge --objects <outdir> <N>
//       scanbench01.dbf with N table objects of one block each (the guess
//       of a database of many small objects), scanbench.cfg and
//       scanbench.BEXEXT.TXT
//
// Each file is a sequence of 1024-block units from block 2 on: a segment
// header, two bitmap blocks, 991 table blocks of one object, 8 index blocks
// of the next, 21 LOB blocks (three LOB ids, one page of 7 blocks each) and
// one unformatted block.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "forge/forge_file.h"
#include "forge/values.h"

using namespace bex::forge;

namespace {

constexpr uint32_t kBlockSize = 8192;
constexpr uint32_t kUnitBlocks = 1024, kTableBlocks = 991, kIndexBlocks = 8, kLobIds = 3, kLobPageBlocks = 7;
constexpr uint32_t kFirstTable = 3, kFirstIndex = kFirstTable + kTableBlocks, kFirstLob = kFirstIndex + kIndexBlocks;
constexpr size_t kWriteBuffer = 1 << 20;

struct Template {
  ForgeBlock block;
  BlockHeader hdr;
  uint64_t rows = 0;
};

Template tableTemplate(uint32_t rows) {
  TableBlockSpec s;
  s.trans.objd = 1;
  for (uint32_t r = 0; r < rows; ++r) {
    TableRow row;
    row.piece.cols = {col(numberInt(100000 + r)), col(format("customer %u", r)), col("2024-01-01 some text")};
    s.tables[0].push_back(row);
  }
  Facts facts;
  BlockHeader h = s.hdr;
  h.type = 0x06;
  return {buildTableBlock(s, kBlockSize, ByteOrder::Little, facts), h, rows};
}

Template indexTemplate(uint32_t entries) {
  IndexLeafSpec s;
  s.trans.objd = 1;
  s.kdxledsz = 6;
  for (uint32_t i = 0; i < entries; ++i) {
    IndexEntry e;
    e.data = rowidData(makeRdba(1, 3), static_cast<uint16_t>(i));
    e.keys = {col(numberInt(i))};
    s.entries.push_back(e);
  }
  Facts facts;
  BlockHeader h = s.hdr;
  h.type = 0x06;
  return {buildIndexLeaf(s, kBlockSize, ByteOrder::Little, facts), h, entries};
}

Template segmentTemplate() {
  SegmentSpec s;
  s.objd = 1;
  s.extents = {{makeRdba(1, 3), kTableBlocks}};
  Facts facts;
  BlockHeader h = s.hdr;
  h.type = kSegHeader;
  return {buildSegment(s, kBlockSize, ByteOrder::Little, facts).header, h, 0};
}

Template bitmapTemplate(uint8_t type) {
  BitmapBlockSpec s;
  s.hdr.type = type;
  Facts facts;
  return {buildBitmapBlock(s, kBlockSize, ByteOrder::Little, facts), s.hdr, 0};
}

Template lobTemplate() {
  LobBlockSpec s;
  s.payload = Bytes(kBlockSize - 60, 0x5a);
  Facts facts;
  BlockHeader h = s.hdr;
  h.type = kLobBlob;
  return {buildLobBlock(s, kBlockSize, ByteOrder::Little, facts), h, 0};
}

struct Templates {
  Template table[3] = {tableTemplate(40), tableTemplate(90), tableTemplate(150)};
  Template index = indexTemplate(200);
  Template segment = segmentTemplate();
  Template bitmap1 = bitmapTemplate(kBitmapL1), bitmap2 = bitmapTemplate(kBitmapL2);
  Template lob = lobTemplate();
};

class FileWriter {
 public:
  explicit FileWriter(FILE* f) : f_(f) { buf_.reserve(kWriteBuffer); }
  ~FileWriter() { flush(); }
  // Appends the template with its address and the given fields, sealed.
  Template& put(Template& t, uint32_t rdba) {
    t.block.put32(4, rdba);
    t.hdr.rdba = rdba;
    return t;
  }
  void seal(Template& t) {
    sealBlock(t.block, t.hdr);
    append(t.block.data());
  }
  void zeros() {
    static const std::vector<uint8_t> z(kBlockSize, 0);
    append(z.data());
  }
  bool ok() const { return ok_; }

  void append(const uint8_t* p) {
    buf_.insert(buf_.end(), p, p + kBlockSize);
    if (buf_.size() >= kWriteBuffer) flush();
  }

 private:
  void flush() {
    if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) ok_ = false;
    buf_.clear();
  }
  FILE* f_;
  std::vector<uint8_t> buf_;
  bool ok_ = true;
};

struct Listings {
  std::string ext, lob;
};

void writeUnit(FileWriter& w, Templates& t, uint16_t rfn, uint32_t u0, uint32_t unit, Listings& want) {
  const uint32_t objd = 1000 + 2 * unit;
  w.put(t.segment, makeRdba(rfn, u0)).block.put32(100, objd);
  w.seal(t.segment);
  w.seal(w.put(t.bitmap1, makeRdba(rfn, u0 + 1)));
  w.seal(w.put(t.bitmap2, makeRdba(rfn, u0 + 2)));
  uint64_t rows = 0;
  for (uint32_t k = 0; k < kTableBlocks; ++k) {
    Template& tb = t.table[k % 3];
    w.put(tb, makeRdba(rfn, u0 + kFirstTable + k)).block.put32(24, objd);
    w.seal(tb);
    rows += tb.rows;
  }
  want.ext += format("%u,%u,%u,%u,%llu,\r\n", objd, rfn, u0 + kFirstTable, kTableBlocks,
                     static_cast<unsigned long long>(rows));
  for (uint32_t k = 0; k < kIndexBlocks; ++k) {
    w.put(t.index, makeRdba(rfn, u0 + kFirstIndex + k)).block.put32(24, objd + 1);
    w.seal(t.index);
  }
  want.ext += format("%u,%u,%u,%u,%llu,\r\n", objd + 1, rfn, u0 + kFirstIndex, kIndexBlocks,
                     static_cast<unsigned long long>(kIndexBlocks * t.index.rows));
  for (uint32_t id = 0; id < kLobIds; ++id) {
    LobId lobId = lobIdOf(uint64_t{unit} * kLobIds + id);
    uint32_t first = u0 + kFirstLob + id * kLobPageBlocks;
    for (uint32_t k = 0; k < kLobPageBlocks; ++k) {
      ForgeBlock& b = w.put(t.lob, makeRdba(rfn, first + k)).block;
      b.put32(kLobObjdOffset, objd);
      b.putBytes(kLobIdOffset, Bytes(lobId.begin(), lobId.end()));
      b.put32(kLobVersionOffset, 1);
      b.put32(kLobPageOffset, 0);
      w.seal(t.lob);
    }
    want.lob += format("%u,%s,0,1,%u,%u,%u,\n", objd, lobIdText(lobId).c_str(), rfn, first, kLobPageBlocks);
  }
  w.zeros();
}

bool writeFile(const std::string& path, uint16_t rfn, uint32_t units, uint32_t& unit, Templates& t, Listings& want) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f) return false;
  const uint32_t last = 1 + units * kUnitBlocks;
  FileWriter w(f.get());
  Facts facts;
  ForgeBlock os = buildOsHeader(kBlockSize, ByteOrder::Little, last);
  ForgeBlock fh = buildFileHeader(FileHeaderSpec{}, makeRdba(rfn, 1), rfn, kBlockSize, ByteOrder::Little, last, facts);
  w.append(os.data());
  w.append(fh.data());
  for (uint32_t u = 0; u < units; ++u) writeUnit(w, t, rfn, 2 + u * kUnitBlocks, unit++, want);
  return w.ok();
}

bool writeText(const std::string& path, const std::string& text) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  return f && std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
}

int writeDatabase(const std::string& dir, uint32_t mib, uint32_t files) {
  const uint64_t blocks = uint64_t{mib} * (1048576 / kBlockSize);
  const uint32_t units = static_cast<uint32_t>((blocks + uint64_t{files} * kUnitBlocks - 1) / (uint64_t{files} * kUnitBlocks));
  Templates t;
  Listings want;
  std::string cfg;
  uint32_t unit = 0;
  for (uint16_t rfn = 1; rfn <= files; ++rfn) {
    std::string name = format("scanbench%02u.dbf", rfn);
    if (!writeFile(dir + "/" + name, rfn, units, unit, t, want)) {
      std::fprintf(stderr, "scan_db_forge: cannot write %s/%s\n", dir.c_str(), name.c_str());
      return 1;
    }
    cfg += dir + "/" + name + "\n";
  }
  if (!writeText(dir + "/scanbench.cfg", cfg) || !writeText(dir + "/scanbench.BEXEXT.TXT", want.ext) ||
      !writeText(dir + "/scanbench.BEXLOB.TXT", want.lob)) {
    std::fprintf(stderr, "scan_db_forge: cannot write the listings in %s\n", dir.c_str());
    return 1;
  }
  return 0;
}

int writeSmallObjects(const std::string& dir, uint32_t objects) {
  Templates t;
  std::string ext;
  const std::string name = dir + "/scanbench01.dbf";
  {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(name.c_str(), "wb"), &std::fclose);
    if (!f) return 1;
    FileWriter w(f.get());
    Facts facts;
    const uint32_t last = 1 + objects;
    ForgeBlock os = buildOsHeader(kBlockSize, ByteOrder::Little, last);
    ForgeBlock fh = buildFileHeader(FileHeaderSpec{}, makeRdba(1, 1), 1, kBlockSize, ByteOrder::Little, last, facts);
    w.append(os.data());
    w.append(fh.data());
    for (uint32_t i = 0; i < objects; ++i) {
      Template& tb = t.table[i % 3];
      w.put(tb, makeRdba(1, 2 + i)).block.put32(24, 1000 + i);
      w.seal(tb);
      ext += format("%u,1,%u,1,%llu,\r\n", 1000 + i, 2 + i, static_cast<unsigned long long>(tb.rows));
    }
    if (!w.ok()) return 1;
  }
  return writeText(dir + "/scanbench.cfg", name + "\n") && writeText(dir + "/scanbench.BEXEXT.TXT", ext) ? 0 : 1;
}

int writeLobListing(const std::string& path, uint32_t lines) {
  std::string text;
  text.reserve(size_t{lines} * 48);
  for (uint32_t i = 0; i < lines; ++i)
    text += format("%u,%s,%u,1,%u,%u,7,\n", 5000 + i / 4000, lobIdText(lobIdOf(i / 4)).c_str(), i % 4, 1 + i % 7,
                   2 + (i * 7) % 4000000);
  return writeText(path, text) ? 0 : 1;
}

int usage() {
  std::fprintf(stderr,
               "usage: scan_db_forge <outdir> <MiB> [--files N]\n"
               "       scan_db_forge --lob-listing <path> <lines>\n"
               "       scan_db_forge --objects <outdir> <N>\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--lob-listing") == 0)
    return writeLobListing(argv[2], static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)));
  if (argc == 4 && std::strcmp(argv[1], "--objects") == 0)
    return writeSmallObjects(argv[2], static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)));
  if (argc != 3 && !(argc == 5 && std::strcmp(argv[3], "--files") == 0)) return usage();
  uint32_t mib = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  uint32_t files = argc == 5 ? static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)) : 2;
  if (mib == 0 || files == 0 || files > 64) return usage();
  return writeDatabase(argv[1], mib, files);
}
