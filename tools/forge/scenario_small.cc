// Scenario "small": one data file (rfn 5, tablespace USERS) holding one
// block of each kind the block dumps decode.
//
//   0 OS header   1 file header
//   2 segment header of table 70001 (extents 2-5, 16-19 here, 20-23 in block 3)
//   3 extent map block
//   4 table block: plain, NULL, deleted, locked (active and committed ITLs),
//     chained and migrated heads, a long column, a free slot, an empty value
//   5 table block (FLG 0x32): chained and migrated continuation pieces
//   6 cluster block (object 70002): key rows and members of two tables
//   7 compressed block (object 70003): symbol table, references, runs
//   8 index leaf (object 70004): unique index on table 70001's first column
//   9 IOT leaf (object 70005), one row continuing in block 12
//  10 undo block   11 undo segment header (type 0x26)
//  12 IOT overflow block (object 70006)
//  13 paged segment header (type 0x23) of the compressed table 70003, its
//     extent list continuing in block 15 (type 0x24)
//  14 undo segment header of the older kind (type 0x0e)
//  16 table block of 70001 with a deliberately broken checksum
#include "forge/scenario.h"
#include "forge/values.h"

namespace bex::forge {

namespace {

constexpr uint16_t kRfn = 5;
constexpr uint32_t kTableObj = 70001, kClusterObj = 70002, kCompressedObj = 70003;
constexpr uint32_t kIndexObj = 70004, kIotObj = 70005, kOverflowObj = 70006;

TableRow row(std::vector<Column> cols, uint8_t flag = kRowHeadFirstLast, uint8_t lock = 0) {
  TableRow r;
  r.piece.flag = flag;
  r.piece.lock = lock;
  r.piece.cols = std::move(cols);
  return r;
}

TableRow emp(int64_t id, std::string_view name, std::string_view note, uint8_t lock = 0) {
  return row({col(numberInt(id)), col(name), col(note)}, kRowHeadFirstLast, lock);
}

TableRow freeSlot() {
  TableRow r;
  r.free = true;
  return r;
}

TableRow withNext(TableRow r, uint32_t rdba, uint16_t slot) {
  r.piece.next = {rdba, slot};
  return r;
}

void addSegment(ForgeFile& f) {
  SegmentSpec s;
  s.objd = kTableObj;
  s.extents = {{f.rdba(2), 4}, {f.rdba(16), 4}, {f.rdba(20), 4}};
  s.hwmExt = 1;
  s.hwmBlocks = 1;
  s.hwmSize = 4;
  s.hwmRdba = f.rdba(17);
  s.used = 3;
  s.perHeader = 2;
  s.mapRdbas = {f.rdba(3)};
  f.addSegment(2, s);
}

void addFirstTableBlock(ForgeFile& f) {
  TableBlockSpec s;
  s.trans.objd = kTableObj;
  s.trans.itl = {committedItl(3, 0x00011e80), activeItl(8, 1), committedItl(4, 0x00011f10, 1)};
  s.trans.itl[2].flags = kItlU;
  const std::string longNote(300, 'x');
  s.tables[0] = {
      emp(1, "alpha", "first"),
      row({col(numberInt(2)), col("beta")}),  // trailing NULL not stored
      row({col(numberInt(3)), nullCol(), col("gamma")}),
      row({col(numberInt(4)), col("delta"), col("gone")}, kRowH | kRowD | kRowF | kRowL),
      emp(5, "epsilon", "pending", 2),  // locked by the active transaction
      emp(6, "zeta", "done", 3),        // locked by a committed one
      withNext(row({col(numberInt(7)), col("hel")}, kRowH | kRowF | kRowN), f.rdba(5), 0),
      withNext(row({}, kRowH), f.rdba(5), 1),  // migrated row's head
      row({col(numberInt(9)), col(longNote)}),
      freeSlot(),
      row({col(numberInt(10)), col(""), col("empty")}),
  };
  f.addTableBlock(4, s);
}

void addSecondTableBlock(ForgeFile& f) {
  TableBlockSpec s;
  s.trans.objd = kTableObj;
  s.trans.flg = kFlgExtra8;
  s.trans.itl = {committedItl(2, 0x00011e00)};
  s.flgExtra = {0, 0, 0, 0, 0, 0, 0, 0};
  TableRow middle = withNext(row({col("lo")}, kRowP), f.rdba(5), 2);
  TableRow migrated = row({col(numberInt(8)), col("theta"), col("moved")}, kRowF | kRowL);
  migrated.piece.head = {f.rdba(4), 7};
  s.tables[0] = {middle, migrated, row({col("world")}, kRowL), emp(11, "iota", "last")};
  f.addTableBlock(5, s);
}

void addClusterBlock(ForgeFile& f) {
  TableBlockSpec s;
  s.trans.objd = kClusterObj;
  auto key = [](int64_t dept, uint8_t members) {
    TableRow r = row({col(numberInt(dept))}, kRowClusterKey);
    r.piece.keyExtra = {0, members, 0, members};  // current and committed member counts
    return r;
  };
  auto member = [](uint8_t keyRow, std::vector<Column> cols) {
    TableRow r = row(std::move(cols), kRowC | kRowHeadFirstLast);
    r.piece.keyRow = keyRow;
    return r;
  };
  s.tables = {
      {key(10, 3), key(20, 2)},
      {member(0, {col("KING"), col(numberInt(5000))}), member(1, {col("SMITH"), col(numberInt(800))}),
       member(0, {col("CLARK"), col(numberInt(2450))})},
      {member(0, {col("ACCOUNTING")}), member(1, {col("RESEARCH")})},
  };
  f.addTableBlock(6, s);
}

void addCompressedBlock(ForgeFile& f) {
  CompressedBlockSpec s;
  s.trans.objd = kCompressedObj;
  s.fullHeaders = 2;
  s.symbols = {
      {kRowHeadFirstLast, 0, {cval("EUROPE"), cval("ACTIVE")}},
      {kRowHeadFirstLast, 0, {symRef(0), cval("GOLD")}},
      {kRowHeadFirstLast, 0, {cval("ASIA")}},
      {kRowHeadFirstLast, 0, {cval("CLOSED")}},
  };
  // Leading runs: "ZZ", NULL, then a two-byte number.
  s.lengths = lengthArrayFor({col("ZZ"), nullCol(), col(numberInt(6))});
  s.trailing = {0x01, 0x02, 0x03};
  auto data = [](std::vector<CEntry> entries, uint8_t flag = kRowHeadFirstLast, uint8_t leading = 0) {
    CompressedRow r;
    r.flag = flag;
    r.leading = leading;
    r.entries = std::move(entries);
    return r;
  };
  s.rows = {
      data({symRef(0), cval(numberInt(1)), cval("plain")}),
      data({symRef(1), cval(numberInt(2))}),
      data({symRef(2), symRef(3), cval(numberInt(3)), cnull()}),
      data({symLongRef(2), cval("ACTIVE"), cval(numberInt(4)), cval(std::string(60, 'n'))}),
      data({symRef(0), cval(numberInt(5))}, kRowH | kRowD | kRowF | kRowL),
      data({crun({col("ZZ"), nullCol(), col(numberInt(6))}), cval("run")}, kRowHeadFirstLast, 3),
      data({cval("ZZ"), cnull(), crun({col(numberInt(7))}), cval("after null")}, kRowHeadFirstLast, 3),
  };
  f.addCompressedBlock(7, s);
}

IndexEntry indexEntry(ForgeFile& f, int64_t id, uint16_t slot, uint8_t flag = 0, uint8_t lock = 0) {
  IndexEntry e;
  e.flag = flag;
  e.lock = lock;
  e.data = rowidData(f.rdba(4), slot);
  e.keys = {col(numberInt(id))};
  return e;
}

void addIndexLeaf(ForgeFile& f) {
  IndexLeafSpec s;
  s.trans.objd = kIndexObj;
  s.trans.itl = {committedItl(5, 0x00011e90), activeItl(8, 1)};
  s.kdxledsz = 6;
  s.entries = {indexEntry(f, 1, 0),
               indexEntry(f, 2, 1),
               indexEntry(f, 3, 2),
               indexEntry(f, 4, 3, kEntryDeleted),
               indexEntry(f, 5, 4, 0, 2),
               indexEntry(f, 6, 5)};
  f.addIndexLeaf(8, s);
}

IndexEntry iotEntry(std::string_view code, std::vector<Column> cols, uint8_t rowFlag = kRowHeadFirstLast) {
  IndexEntry e;
  e.iot = true;
  e.keys = {col(code)};
  e.row.flag = rowFlag;
  e.row.cols = std::move(cols);
  return e;
}

void addIotLeaf(ForgeFile& f) {
  IndexLeafSpec s;
  s.trans.objd = kIotObj;
  IndexEntry chained = iotEntry("A03", {col("nut")}, kRowH | kRowF);
  chained.row.next = {f.rdba(12), 0};
  s.entries = {iotEntry("A01", {col("bolt"), col(numberInt(100))}),
               iotEntry("A02", {col("screw")}),  // trailing NULL not stored
               chained,
               iotEntry("A04", {nullCol(), col(numberInt(7))})};
  s.entries[3].flag = kEntryDeleted;
  f.addIndexLeaf(9, s);

  TableBlockSpec overflow;
  overflow.trans.objd = kOverflowObj;
  overflow.tables[0] = {row({col(numberInt(250))}, kRowL)};
  f.addTableBlock(12, overflow);
}

void addUndoBlock(ForgeFile& f) {
  UndoBlockSpec u;
  u.usn = 8;
  u.slot = 6;
  u.wrap = 0x279;
  u.seq = 0x278;
  u.irb = 3;
  u.records = {Bytes(40, 0x11), Bytes(60, 0x22), Bytes(24, 0x33)};
  u.records[1][0] = 0x2c;
  f.addUndoBlock(10, u);
}

void addUndoHeaders(ForgeFile& f) {
  UndoSegmentSpec h;
  h.extents = {{f.rdba(10), 1}, {f.rdba(17), 2}};
  h.timestamps = {0x5f000001, 0x5f000101};
  h.hwmExt = 1;
  h.hwmBlk = 1;
  h.hwmBlocks = 2;
  h.hwmRdba = f.rdba(15);
  h.object = 8;
  h.scnBase = 0x00012010;
  h.ubaRdba = f.rdba(10);
  h.ubaSeq = 0x278;
  h.ubaRec = 3;
  UndoTxSlot active;
  active.wrap = 0x279;
  active.state = 10;
  active.rdba = f.rdba(10);
  active.scnBase = 0x00012011;
  active.blocks = 1;
  active.timestamp = 0x5f000102;
  h.slots.resize(undoDefaultSlots(kUndoHeaderSmu, f.layout().blockSize));
  h.slots[6] = active;
  f.addUndoSegment(11, h);

  UndoSegmentSpec old;
  old.hdr.type = kUndoHeader;
  old.extents = {{f.rdba(10), 1}};
  old.object = 2;
  old.scnBase = 0x00011f80;
  old.ubaRdba = f.rdba(10);
  old.ubaSeq = 0x277;
  old.ubaRec = 1;
  old.slots.resize(undoDefaultSlots(kUndoHeader, f.layout().blockSize));
  old.slots[0].wrap = 0x12;
  old.slots[0].rdba = f.rdba(10);
  old.slots[0].scnBase = 0x00011f81;
  f.addUndoSegment(14, old);
}

void addPagedSegment(ForgeFile& f) {
  SegmentSpec s;
  s.hdr.type = kSegHeaderPaged;
  s.objd = kCompressedObj;
  s.extents = {{f.rdba(7), 1}, {f.rdba(13), 1}, {f.rdba(18), 2}};
  s.hwmRdba = f.rdba(8);
  s.perHeader = 1;
  s.mapRdbas = {f.rdba(15)};
  f.addSegment(13, s);
}

void addBrokenBlock(ForgeFile& f) {
  TableBlockSpec s;
  s.hdr.checksum = Checksum::Broken;
  s.trans.objd = kTableObj;
  s.tables[0] = {emp(12, "kappa", "bad checksum")};
  f.addTableBlock(16, s);
}

}  // namespace

bool buildSmallScenario(ScenarioOut& out, std::string& error) {
  FileSpec fs = out.fileSpec("small05.dbf", kRfn);
  fs.blocks = 23;
  fs.header.tsNumber = 4;
  fs.header.tsName = "USERS";
  ForgeFile f(fs);
  addSegment(f);
  addFirstTableBlock(f);
  addSecondTableBlock(f);
  addClusterBlock(f);
  addCompressedBlock(f);
  addIndexLeaf(f);
  addIotLeaf(f);
  addUndoBlock(f);
  addUndoHeaders(f);
  addPagedSegment(f);
  addBrokenBlock(f);
  return out.add(f, error);
}

}  // namespace bex::forge
