// forge_big_dict PATH TABLES COLUMNS [DROP_EVERY]: writes a SYSTEM data file (rfn 1,
// tablespace 0, 8 KB blocks) whose core dictionary describes an ERP-sized
// schema: user ERP owning TABLES empty tables (no segment yet: FILE# and
// BLOCK# 0) of COLUMNS columns each, every table with a primary key index,
// every 10th with a CLOB column (its LOB and LOB index), every 500th range
// partitioned into 4 partitions. The dictionary is kept as Oracle keeps it:
// USER$ in the user cluster (data object 10, table 1), OBJ$ (data object
// 18), TAB$, IND$ and COL$ in the object cluster (data object 2, tables 1, 3
// and 5), TABPART$ (data object 230); the SYS rows of OBJ$ and TAB$ locate
// IND$ and TABPART$ as a bootstrap looks them up. Blocks are built and
// written one at a time, so memory stays small whatever the size. Prints
// the number of blocks, tables and columns written. With DROP_EVERY n,
// every n-th table (see dropped()) is a table dropped with PURGE.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "forge/file_header.h"
#include "forge/table_block.h"
#include "forge/values.h"

using namespace bex::forge;

namespace {

constexpr uint16_t kRfn = 1;
constexpr uint32_t kBlockSize = 8192, kFirstData = 2;
constexpr uint32_t kUserClusterObjd = 10, kObjObjd = 18, kObjectClusterObjd = 2, kTabPartObjd = 230;
constexpr uint32_t kSys = 0, kErp = 100;
constexpr uint32_t kTypeIndex = 1, kTypeTable = 2, kTypeCluster = 3, kTypePartition = 19, kTypeLob = 21;
constexpr uint32_t kFirstTableObj = 100000, kObjectsPerTable = 9, kLobEvery = 10, kPartitionedEvery = 500,
                   kPartitions = 4, kUsersTs = 4;
// Bytes a block spends outside its row pieces (headers, two ITL entries,
// directories, tail) with a margin.
constexpr uint32_t kBlockOverhead = 160 + 4 * 7;

Column num(uint64_t v) { return col(numberInt(static_cast<int64_t>(v))); }

RowPiece piece(std::vector<Column> cols, uint8_t flag = kRowHeadFirstLast) {
  RowPiece p;
  p.flag = flag;
  p.cols = std::move(cols);
  return p;
}

uint32_t pieceBytes(const RowPiece& p) {
  return static_cast<uint32_t>(encodeRowPiece(p, ByteOrder::Little).size()) + 2;
}

// The blocks of one segment, written as they fill: a heap (table 0) or a
// cluster (keys in table 0, member tables 1..n).
class SegmentWriter {
 public:
  SegmentWriter(FILE* f, uint32_t& block, uint32_t objd, size_t memberTables)
      : f_(f), block_(block), objd_(objd) {
    spec_.tables.resize(memberTables + 1);
  }
  ~SegmentWriter() { flush(); }

  void heapRow(std::vector<Column> cols, uint8_t extraFlags = 0) {
    RowPiece p = piece(std::move(cols), kRowHeadFirstLast | extraFlags);
    room(pieceBytes(p));
    spec_.tables[0].push_back({p});
  }
  // A cluster key with its member rows by table number (1..n); they stay
  // in one block.
  void keyGroup(Column key, const std::vector<std::pair<size_t, std::vector<Column>>>& members,
                uint8_t memberFlags = 0) {
    RowPiece k = piece({key}, kRowClusterKey);
    const uint8_t count = static_cast<uint8_t>(members.size());
    k.keyExtra = {0, count, 0, count};
    std::vector<std::pair<size_t, RowPiece>> rows;
    uint32_t need = pieceBytes(k);
    for (const auto& [table, cols] : members) {
      rows.push_back({table, piece(cols, kRowC | kRowHeadFirstLast | memberFlags)});
      need += pieceBytes(rows.back().second);
    }
    room(need);
    const uint8_t slot = static_cast<uint8_t>(spec_.tables[0].size());
    spec_.tables[0].push_back({k});
    for (auto& [table, p] : rows) {
      p.keyRow = slot;
      spec_.tables[table].push_back({p});
    }
  }

 private:
  void room(uint32_t bytes) {
    if (used_ + bytes > kBlockSize - kBlockOverhead) flush();
    used_ += bytes;
  }
  void flush() {
    if (spec_.tables[0].empty()) return;
    spec_.hdr.rdba = makeRdba(kRfn, block_);
    spec_.trans.objd = objd_;
    Facts facts;
    const ForgeBlock b = buildTableBlock(spec_, kBlockSize, ByteOrder::Little, facts);
    fwrite(b.data(), 1, b.size(), f_);  // a failed write shows in ferror
    block_++;
    for (auto& rows : spec_.tables) rows.clear();
    used_ = 0;
  }

  FILE* f_;
  uint32_t& block_;
  const uint32_t objd_;
  TableBlockSpec spec_;
  uint32_t used_ = 0;
};

// ---- the schema ------------------------------------------------------

struct SysTable {
  uint32_t objNo;
  const char* name;
  uint32_t objd, tab;  // its segment; tab: table number in a cluster, 0 for a heap
};
constexpr SysTable kSysTables[] = {{4, "TAB$", kObjectClusterObjd, 1},  {18, "OBJ$", kObjObjd, 0},
                                   {19, "IND$", kObjectClusterObjd, 3}, {21, "COL$", kObjectClusterObjd, 5},
                                   {22, "USER$", kUserClusterObjd, 1},  {230, "TABPART$", kTabPartObjd, 0}};

std::string tableName(uint32_t i) {
  static const char* kModules[] = {"GL", "AP", "AR", "PO", "INV", "HR", "PAY", "FA", "OE", "WIP", "BOM", "CST"};
  static const char* kWords[] = {"LINES", "HEADERS", "BALANCES", "DETAILS", "INTERFACE", "HISTORY", "ALL"};
  char name[64];
  snprintf(name, sizeof name, "%s_%s_%06u", kModules[i % 12], kWords[i / 12 % 7], i);
  return name;
}

uint32_t tableObj(uint32_t i) { return kFirstTableObj + kObjectsPerTable * i; }
bool hasLob(uint32_t i) { return i % kLobEvery == 0; }
bool partitioned(uint32_t i) { return i % kPartitionedEvery == 0; }
// Every dropEvery-th table (from the second on) was dropped with PURGE:
// its rows in OBJ$, TAB$, IND$ and COL$ are marked deleted. Such a table
// has neither a LOB nor partitions for dropEvery 2 (the default of 0
// drops none).
uint32_t dropEvery = 0;
bool dropped(uint32_t i) { return dropEvery != 0 && i % dropEvery == 1 % dropEvery && !hasLob(i) && !partitioned(i); }
uint8_t rowFlags(uint32_t i) { return dropped(i) ? kRowD : 0; }

std::string lobName(const char* kind, uint32_t table, uint32_t column) {
  char name[64];
  snprintf(name, sizeof name, "SYS_%s%010uC%05u$$", kind, table, column);
  return name;
}

// OBJ#, DATAOBJ#, OWNER#, NAME, NAMESPACE, SUBNAME, TYPE#.
std::vector<Column> objRow(uint32_t objNo, bool segment, uint32_t owner, const std::string& name,
                           const std::string& sub, uint32_t type) {
  return {num(objNo), segment ? num(objNo) : nullCol(), num(owner), col(name), num(1),
          sub.empty() ? nullCol() : col(sub), num(type)};
}

// DATAOBJ#, TS#, FILE#, BLOCK#, BOBJ#, TAB#, COLS (after the key OBJ#).
std::vector<Column> tabRow(uint32_t objd, uint32_t ts, uint32_t file, uint32_t block, uint32_t clusterObj,
                           uint32_t tab, uint32_t cols) {
  return {objd ? num(objd) : nullCol(), num(ts), num(file), num(block), clusterObj ? num(clusterObj) : nullCol(),
          tab ? num(tab) : nullCol(), num(cols)};
}

// OBJ#, DATAOBJ#, TS#, FILE#, BLOCK#, TYPE# (after the key BO#): an index
// without a segment yet.
std::vector<Column> indRow(uint32_t objNo) { return {num(objNo), num(objNo), num(kUsersTs), num(0), num(0), num(1)}; }

// COL#, SEGCOL#, SEGCOLLENGTH, OFFSET, NAME, TYPE#, LENGTH, FIXEDSTORAGE,
// PRECISION#, SCALE, NULL$, DEFLENGTH, DEFAULT$, INTCOL#, PROPERTY,
// CHARSETID, CHARSETFORM (after the key OBJ#).
std::vector<Column> colRow(uint32_t table, uint32_t c, uint32_t columns) {
  struct Kind {
    const char* word;
    uint32_t type, length;
    int precision, scale;  // -1: NULL
    uint32_t form;
  };
  static const Kind kKinds[] = {{"ID", 2, 22, 10, 0, 0},       {"NAME", 1, 240, -1, -1, 1},
                                {"AMOUNT", 2, 22, 15, 2, 0},   {"CREATED", 12, 7, -1, -1, 0},
                                {"FLAG", 96, 1, -1, -1, 1},    {"STAMP", 180, 11, -1, 6, 0},
                                {"QTY", 2, 22, -1, -1, 0},     {"NOTE", 1, 2000, -1, -1, 1}};
  const bool lob = hasLob(table) && c == columns;
  const Kind& k = lob ? Kind{"TEXT", 112, 4000, -1, -1, 1} : kKinds[(c - 1) % 8];
  char name[64];
  snprintf(name, sizeof name, "%s_%02u", k.word, c);
  auto opt = [](int v) { return v < 0 ? nullCol() : num(static_cast<uint64_t>(v)); };
  return {num(c),          num(c),      num(k.length), num(0),         col(std::string(name)),
          num(k.type),     num(k.length), num(0),      opt(k.precision), opt(k.scale),
          num(c == 1),     nullCol(),   nullCol(),     num(c),         num(0),
          k.form ? num(852) : num(0), num(k.form)};
}

// ---- the segments ----------------------------------------------------

void writeUsers(FILE* f, uint32_t& block) {
  SegmentWriter s(f, block, kUserClusterObjd, 1);
  for (auto [no, name] : std::vector<std::pair<uint32_t, const char*>>{{kSys, "SYS"}, {1, "PUBLIC"}, {5, "SYSTEM"},
                                                                       {kErp, "ERP"}})
    s.keyGroup(num(no), {{1, {col(std::string(name)), num(1)}}});
}

void writeObjects(FILE* f, uint32_t& block, uint32_t tables, uint32_t columns) {
  SegmentWriter s(f, block, kObjObjd, 0);
  s.heapRow(objRow(kObjectClusterObjd, true, kSys, "C_OBJ#", "", kTypeCluster));
  s.heapRow(objRow(kUserClusterObjd, true, kSys, "C_USER#", "", kTypeCluster));
  for (const SysTable& t : kSysTables) s.heapRow(objRow(t.objNo, false, kSys, t.name, "", kTypeTable));
  for (uint32_t i = 0; i < tables; i++) {
    const uint32_t obj = tableObj(i);
    const std::string name = tableName(i);
    s.heapRow(objRow(obj, !partitioned(i), kErp, name, "", kTypeTable), rowFlags(i));
    s.heapRow(objRow(obj + 1, true, kErp, name + "_PK", "", kTypeIndex), rowFlags(i));
    if (hasLob(i)) {
      s.heapRow(objRow(obj + 2, true, kErp, lobName("LOB", obj, columns), "", kTypeLob));
      s.heapRow(objRow(obj + 3, true, kErp, lobName("IL", obj, columns), "", kTypeIndex));
    }
    for (uint32_t p = 1; partitioned(i) && p <= kPartitions; p++)
      s.heapRow(objRow(obj + 3 + p, true, kErp, name, "P" + std::to_string(p), kTypePartition));
  }
}

void writeObjectCluster(FILE* f, uint32_t& block, uint32_t tables, uint32_t columns) {
  SegmentWriter s(f, block, kObjectClusterObjd, 6);
  for (const SysTable& t : kSysTables)
    s.keyGroup(num(t.objNo), {{1, tabRow(t.objd, 0, kRfn, 0, t.tab ? t.objd : 0, t.tab, 4)}});
  for (uint32_t i = 0; i < tables; i++) {
    const uint32_t obj = tableObj(i);
    std::vector<std::pair<size_t, std::vector<Column>>> members;
    members.push_back({1, tabRow(partitioned(i) ? 0 : obj, kUsersTs, 0, 0, 0, 0, columns)});
    members.push_back({3, indRow(obj + 1)});
    if (hasLob(i)) members.push_back({3, indRow(obj + 3)});
    for (uint32_t c = 1; c <= columns; c++) members.push_back({5, colRow(i, c, columns)});
    s.keyGroup(num(obj), members, rowFlags(i));
  }
}

// OBJ#, DATAOBJ#, BO#, PART#, HIBOUNDLEN, HIBOUNDVAL, TS#, FILE#, BLOCK#.
void writePartitions(FILE* f, uint32_t& block, uint32_t tables) {
  SegmentWriter s(f, block, kTabPartObjd, 0);
  for (uint32_t i = 0; i < tables; i += kPartitionedEvery)
    for (uint32_t p = 1; p <= kPartitions; p++) {
      const uint32_t obj = tableObj(i) + 3 + p;
      s.heapRow({num(obj), num(obj), num(tableObj(i)), num(p), num(0), nullCol(), num(kUsersTs), num(0), num(0)});
    }
}

bool put(FILE* f, const ForgeBlock& b) { return fwrite(b.data(), 1, b.size(), f) == b.size(); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    fprintf(stderr, "usage: forge_big_dict PATH TABLES COLUMNS [DROP_EVERY]\n");
    return 2;
  }
  if (argc == 5) dropEvery = static_cast<uint32_t>(strtoul(argv[4], nullptr, 10));
  const uint32_t tables = static_cast<uint32_t>(strtoul(argv[2], nullptr, 10));
  const uint32_t columns = static_cast<uint32_t>(strtoul(argv[3], nullptr, 10));
  if (columns == 0 || columns > 200) return 2;  // a key group stays in one block
  std::unique_ptr<FILE, int (*)(FILE*)> f(fopen(argv[1], "wb"), &fclose);
  if (!f) return 1;
  // Blocks 0 and 1 are written last, when the block count is known.
  ForgeBlock zero(kBlockSize, ByteOrder::Little);
  if (!put(f.get(), zero) || !put(f.get(), zero)) return 1;
  uint32_t block = kFirstData;
  writeUsers(f.get(), block);
  writeObjects(f.get(), block, tables, columns);
  writeObjectCluster(f.get(), block, tables, columns);
  writePartitions(f.get(), block, tables);
  const uint32_t last = block - 1;
  FileHeaderSpec fh;
  fh.tsNumber = 0;
  fh.tsName = "SYSTEM";
  Facts facts;
  const ForgeBlock header = buildFileHeader(fh, makeRdba(kRfn, 1), kRfn, kBlockSize, ByteOrder::Little, last, facts);
  if (ferror(f.get()) || fseek(f.get(), 0, SEEK_SET) != 0 ||
      !put(f.get(), buildOsHeader(kBlockSize, ByteOrder::Little, last)) || !put(f.get(), header))
    return 1;
  printf("%u blocks, %u tables, %llu columns\n", last + 1, tables,
         static_cast<unsigned long long>(tables) * columns);
  return 0;
}
