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
//  16 table block of 70001 with a deliberately broken checksum
#include "forge/scenario.h"
#include "forge/values.h"

namespace bex::forge {

namespace {

constexpr uint16_t kRfn = 5;
constexpr uint32_t kTableObj = 70001, kClusterObj = 70002;

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

void addBrokenBlock(ForgeFile& f) {
  TableBlockSpec s;
  s.hdr.checksum = Checksum::Broken;
  s.trans.objd = kTableObj;
  s.tables[0] = {emp(12, "kappa", "bad checksum")};
  f.addTableBlock(16, s);
}

}  // namespace

bool buildSmallScenario(ScenarioOut& out, std::string& error) {
  FileSpec spec = out.fileSpec("small05.dbf", kRfn);
  spec.blocks = 23;
  spec.header.tsNumber = 4;
  spec.header.tsName = "USERS";
  ForgeFile f(spec);
  addSegment(f);
  addFirstTableBlock(f);
  addSecondTableBlock(f);
  addClusterBlock(f);
  addBrokenBlock(f);
  return out.add(f, error);
}

}  // namespace bex::forge
