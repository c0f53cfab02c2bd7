// Scenarios "scan" and "scanwide": files for the database scan, each with
// the extent and LOB listings a scan must write for them (scan.BEXEXT.TXT,
// scan.BEXLOB.TXT; scanwide.* in slot order and scanwide.PARALLELDB.* in
// the order of the four parallel workers).
//
// scan: four files, so that one parallel worker takes each file.
//   scan04.dbf (rfn 4)
//     2 paged segment header (0x23) of 5    3 bitmap L1    4 bitmap L2
//     5-24 twenty table blocks of 5         25 segment header of 6
//     26-32 table blocks of 6, 29 with a broken checksum
//     33-34 of 7, 35-36 of 8 and 37 a compressed block of 8
//     38-39 index leaves of 9               40 unformatted (zeros)
//     41-43 BLOB 10/A page 0 version 1      44 A page 1 version 1
//     45 A page 0 version 2                 46-47 CLOB 11/B, 47 broken
//     48 table block of 5                   49 BLOB 10/A page 2
//     50 BLOB 12/A page 2 (only the object differs)
//     51-52 BLOB 10/A2 pages 2 and 3 (A2: A's last ten digits, another id)
//     53 table block of 5, broken           54-55 table blocks of 5
//     56 undo block                         57 table block of 13 (last)
//   scan05.dbf (rfn 5): no header blocks, a table block at block 1 only
//   scan06.dbf (rfn 6): 2 segment header, 3-382 table blocks of 5, then
//     383-389 BLOB 10/A page 3 and 390-391 CLOB 11/D page 0 version 7 up
//     to the last block (runs across the 1 MiB read-ahead windows)
//   scan07.dbf (rfn 7, 8192 bytes before block 0): 2-4 table blocks of
//     14, 5 BLOB 15/E, 6 table block of 14
// Three blocks fail the checksum (4/29, 4/47, 4/53).
//
// scanwide: six files (rfn 11-16), each with a table run and one LOB block.
#include "forge/scan_listing.h"
#include "forge/scenario.h"
#include "forge/values.h"

namespace bex::forge {

namespace {

const LobId kLobA = lobIdOf(0xA0001);
const LobId kLobA2 = [] {
  LobId id = lobIdOf(0xA0001);
  id[0] = 0x7f;  // same last ten hexadecimal digits, so the same LOB map bucket
  return id;
}();
const LobId kLobB = lobIdOf(0xB0002), kLobD = lobIdOf(0xD0004), kLobE = lobIdOf(0xE0005);

uint32_t rowsFor(uint32_t block) { return block % 5 + 1; }

// Adds blocks to one file and knows the row counts they hold.
class ScanBuilder {
 public:
  ScanBuilder(ForgeFile& f, ScanListing& want) : f_(f), want_(want) {}

  uint16_t rfn() const { return f_.layout().rfn; }
  ScanListing& want() { return want_; }

  // A table block of objd with rowsFor(block) rows; returns that count.
  uint64_t table(uint32_t block, uint32_t objd, Checksum sum = Checksum::Valid) {
    TableBlockSpec s;
    s.hdr.checksum = sum;
    s.trans.objd = objd;
    for (uint32_t r = 0; r < rowsFor(block); ++r) {
      TableRow row;
      row.piece.cols = {col(numberInt(block * 10 + r)), col("scan")};
      s.tables[0].push_back(row);
    }
    f_.addTableBlock(block, s);
    return rowsFor(block);
  }
  // Table blocks first .. first + count - 1 of objd; returns their rows.
  uint64_t tables(uint32_t objd, uint32_t first, uint32_t count) {
    uint64_t rows = 0;
    for (uint32_t n = first; n < first + count; ++n) rows += table(n, objd);
    return rows;
  }
  // The same, declared as one extent line.
  void tableRun(uint32_t objd, uint32_t first, uint32_t count) {
    want_.extent(objd, rfn(), first, count, tables(objd, first, count));
  }

  void lob(uint32_t block, uint32_t objd, const LobId& id, uint32_t page, uint32_t version, uint8_t type = kLobBlob,
           Checksum sum = Checksum::Valid) {
    LobBlockSpec s;
    s.hdr.type = type;
    s.hdr.checksum = sum;
    s.objd = objd;
    s.lobId = id;
    s.page = page;
    s.version = version;
    s.payload = bytesOf(format("page %u version %u block %u", page, version, block));
    f_.addLobBlock(block, s);
  }
  // count LOB blocks of one page and version, declared as one LOB line.
  void lobRun(uint32_t objd, const LobId& id, uint32_t page, uint32_t version, uint32_t first, uint32_t count,
              uint8_t type = kLobBlob) {
    for (uint32_t n = first; n < first + count; ++n) lob(n, objd, id, page, version, type);
    want_.lob(objd, id, page, version, rfn(), first, count);
  }

  void segmentHeader(uint32_t block, uint32_t objd, uint8_t type, uint32_t extentStart, uint32_t extentLength) {
    SegmentSpec s;
    s.hdr.type = type;
    s.objd = objd;
    s.extents = {{f_.rdba(extentStart), extentLength}};
    s.hwmRdba = f_.rdba(extentStart);
    f_.addSegment(block, s);
  }
  void bitmap(uint32_t block, uint8_t type, uint32_t segment) {
    BitmapBlockSpec s;
    s.hdr.type = type;
    s.segment = f_.rdba(segment);
    f_.addBitmapBlock(block, s);
  }

  // A compressed block of objd with two data rows over one symbol.
  uint64_t compressed(uint32_t block, uint32_t objd) {
    CompressedBlockSpec s;
    s.trans.objd = objd;
    s.symbols = {{kRowHeadFirstLast, 0, {cval("SHARED")}}};
    CompressedRow a, b;
    a.entries = {symRef(0), cval(numberInt(1))};
    b.entries = {symRef(0), cval(numberInt(2))};
    s.rows = {a, b};
    f_.addCompressedBlock(block, s);
    return s.rows.size();
  }
  // An index leaf of objd with `entries` entries; returns that count.
  uint64_t indexLeaf(uint32_t block, uint32_t objd, uint32_t entries) {
    IndexLeafSpec s;
    s.trans.objd = objd;
    s.trans.typ = kTypIndex;
    s.kdxledsz = 6;
    for (uint32_t i = 0; i < entries; ++i) {
      IndexEntry e;
      e.data = rowidData(f_.rdba(5), static_cast<uint16_t>(i));
      e.keys = {col(numberInt(i))};
      s.entries.push_back(e);
    }
    f_.addIndexLeaf(block, s);
    return entries;
  }
  void undo(uint32_t block) {
    UndoBlockSpec u;
    u.usn = 3;
    u.records = {Bytes(32, 0x44)};
    f_.addUndoBlock(block, u);
  }

 private:
  ForgeFile& f_;
  ScanListing& want_;
};

// 4/2-40: table and index runs split by headers, bitmaps, objects, a bad block.
void scanTableRuns(ScanBuilder& b) {
  b.segmentHeader(2, 5, kSegHeaderPaged, 5, 20);
  b.bitmap(3, kBitmapL1, 2);
  b.bitmap(4, kBitmapL2, 2);
  b.tableRun(5, 5, 20);
  b.segmentHeader(25, 6, kSegHeader, 26, 7);
  b.want().extent(6, b.rfn(), 26, 3, b.tables(6, 26, 3));
  b.table(29, 6, Checksum::Broken);
  b.want().extent(6, b.rfn(), 30, 3, b.tables(6, 30, 3));
  b.tableRun(7, 33, 2);
  uint64_t rows8 = b.tables(8, 35, 2) + b.compressed(37, 8);
  b.want().extent(8, b.rfn(), 35, 3, rows8);
  b.want().extent(9, b.rfn(), 38, 2, b.indexLeaf(38, 9, 6) + b.indexLeaf(39, 9, 4));
}

// 4/41-57: LOB runs by object, id, page and version, and the file's tail.
void scanLobRuns(ScanBuilder& b) {
  b.lobRun(10, kLobA, 0, 1, 41, 3);
  b.lobRun(10, kLobA, 1, 1, 44, 1);
  b.lobRun(10, kLobA, 0, 2, 45, 1);
  b.lob(46, 11, kLobB, 0, 1, kLobClob);
  b.lob(47, 11, kLobB, 0, 1, kLobClob, Checksum::Broken);
  b.want().lob(11, kLobB, 0, 1, b.rfn(), 46, 2);
  b.tableRun(5, 48, 1);
  b.lobRun(10, kLobA, 2, 1, 49, 1);
  b.lobRun(12, kLobA, 2, 1, 50, 1);
  b.lobRun(10, kLobA2, 2, 1, 51, 1);
  b.lobRun(10, kLobA2, 3, 1, 52, 1);
  b.table(53, 5, Checksum::Broken);
  b.tableRun(5, 54, 2);
  b.undo(56);
  b.tableRun(13, 57, 1);
}

bool addMixedFile(ScenarioOut& out, ScanListing& want, std::string& error) {
  FileSpec fs = out.fileSpec("scan04.dbf", 4);
  fs.header.tsNumber = 4;
  fs.header.tsName = "USERS";
  ForgeFile f(fs);
  ScanBuilder b(f, want);
  scanTableRuns(b);
  scanLobRuns(b);
  return out.add(f, error);
}

// A file whose highest block is 1: nothing of it is scanned.
bool addOneBlockFile(ScenarioOut& out, ScanListing& want, std::string& error) {
  FileSpec fs = out.fileSpec("scan05.dbf", 5);
  fs.withHeader = false;
  ForgeFile f(fs);
  ScanBuilder b(f, want);
  b.table(1, 20);
  return out.add(f, error);
}

bool addLongFile(ScenarioOut& out, ScanListing& want, std::string& error) {
  FileSpec fs = out.fileSpec("scan06.dbf", 6);
  ForgeFile f(fs);
  ScanBuilder b(f, want);
  b.segmentHeader(2, 5, kSegHeader, 3, 380);
  b.tableRun(5, 3, 380);
  b.lobRun(10, kLobA, 3, 1, 383, 7);
  b.lobRun(11, kLobD, 0, 7, 390, 2, kLobClob);
  return out.add(f, error);
}

bool addHeaderSizeFile(ScenarioOut& out, ScanListing& want, std::string& error) {
  FileSpec fs = out.fileSpec("scan07.dbf", 7);
  if (!out.options().headerSizeGiven) fs.headerSize = 8192;
  ForgeFile f(fs);
  ScanBuilder b(f, want);
  b.tableRun(14, 2, 3);
  b.lobRun(15, kLobE, 0, 1, 5, 1);
  b.tableRun(14, 6, 1);
  return out.add(f, error);
}

// One of the six scanwide files: a table run of objd 100 + rfn (rfn blocks
// long) and one LOB block of objd 200 + rfn.
bool addWideFile(ScenarioOut& out, uint16_t rfn, ScanListing& want, std::string& error) {
  ForgeFile f(out.fileSpec(format("scanwide%02u.dbf", rfn), rfn));
  ScanBuilder b(f, want);
  b.tableRun(100 + rfn, 2, rfn);
  b.lobRun(200 + rfn, lobIdOf(rfn), 0, 1, 2 + rfn, 1);
  return out.add(f, error);
}

}  // namespace

bool buildScanScenario(ScenarioOut& out, std::string& error) {
  ScanListing want;
  bool ok = addMixedFile(out, want, error) && addOneBlockFile(out, want, error) && addLongFile(out, want, error) &&
            addHeaderSizeFile(out, want, error) && want.write(out, "scan", error);
  out.note("a database scan counts 3 blocks failing the checksum");
  return ok;
}

bool buildScanWideScenario(ScenarioOut& out, std::string& error) {
  constexpr uint16_t kFiles = 6, kWorkers = 4;
  ScanListing perSlot[kFiles];
  for (uint16_t slot = 0; slot < kFiles; ++slot)
    if (!addWideFile(out, static_cast<uint16_t>(11 + slot), perSlot[slot], error)) return false;
  ScanListing inSlotOrder, inWorkerOrder;
  for (uint16_t slot = 0; slot < kFiles; ++slot) inSlotOrder.append(perSlot[slot]);
  for (uint16_t worker = 0; worker < kWorkers; ++worker)
    for (uint16_t slot = worker; slot < kFiles; slot += kWorkers) inWorkerOrder.append(perSlot[slot]);
  return inSlotOrder.write(out, "scanwide", error) && inWorkerOrder.write(out, "scanwide.PARALLELDB", error);
}

}  // namespace bex::forge
