// Scenario "guess": a database whose dictionary is lost, and an older
// dictionary of it to LOAD TABLE from, for SCAN TABLE.
//
// guess_users04.dbf (rfn 4, tablespace 4 USERS) holds the tables of APP as
// they are now, each in a segment of its own:
//
//   90010 NUMBERS      NUMBER: keys, small and negative integers, decimals,
//                      values of up to 40 digits
//   90020 TEXTS        VARCHAR2 in ASCII, in a double-byte set (GBK) and in
//                      UTF-8, and CHAR(8)
//   90030 TIMES        DATE, TIMESTAMP(6), TIMESTAMP(3) WITH TIME ZONE
//   90040 BINARY       BINARY_FLOAT, BINARY_DOUBLE, RAW(16)
//   90050 DOCS         CLOB and BLOB locators with their values inline
//   90060 SPARSE       columns NULL in most rows, one NULL in every row
//   90070 C_ORDERS     cluster keyed by ORDER_ID: ORDERS (table 1) and
//                      ORDER_LINES (table 2)
//   90081 KV           index-organised: its rows in the leaves of KV_PK
//   90090 DROPPED_LOG  dropped since the old dictionary; its blocks remain
//   90100 CUSTOMERS    EMAIL added since: only the last 30 rows store it
//   90110 NEW_EVENTS   created since: not in the old dictionary
//   90120 ONE_ROW      one row
//   90130 PURGED       every row deleted
//
// guess_system01.dbf (rfn 1) holds the dictionary as it was before: APP
// owns the tables above but NEW_EVENTS (CUSTOMERS without EMAIL), and also
// NUMBERS_HIST (the columns of NUMBERS and one more) and a table in the
// recycle bin with the columns of TIMES. guess.cfg names the users file
// alone (the dictionary is lost), guess_dict.cfg the old SYSTEM file.
//
// guess_bad04.dbf (guess_bad.cfg) is the users file with random bytes in
// two blocks inside listed runs: block 4 of NUMBERS all random, block 2 of
// TEXTS random behind a table block header of its object (sealed).
//
// Beside them guess.BEXEXT.TXT, the extent listing SCAN DATABASE writes
// for the users file, and under expect/:
//   guess.truth   what SCAN TABLE must find: for each object it guesses
//                 "object objd=N cluster=N table=OWNER.NAME dict=N
//                 classes=C,C,..." (dict: the table's columns in the old
//                 dictionary, 0 when it is not there; classes: the type class
//                 of each stored position, 2 NUMBER, 9 text, 12 DATE, 180
//                 TIMESTAMP, 181 WITH TIME ZONE, 100 BINARY_FLOAT, 101
//                 BINARY_DOUBLE, 23 RAW, 112 CLOB, 113 BLOB, 0 for a position
//                 no row gives a value); "unguessed objd=N" for an object
//                 without a live row
//   rows/OBJD%010uC%03u.txt and .LOB  what UNLOAD OBJECT n CLUSTER c COLUMN
//                 <the class words> TO OBJD%010uC%03u.txt writes (text
//                 columns written as stored, CLOB text converted to ASCII)
#include <algorithm>
#include <cstring>

#include "forge/dict_segments.h"
#include "forge/dict_system.h"
#include "forge/dict_values.h"
#include "forge/lob_locator.h"
#include "forge/scan_listing.h"
#include "forge/values.h"

namespace bex::forge {

namespace {

using namespace coldef;

constexpr uint16_t kUsersRfn = 4;
constexpr uint32_t kUsersTs = 4, kApp = 60;

// A deterministic stream of pseudo-random numbers (xorshift64).
class Random {
 public:
  explicit Random(uint64_t seed) : s_(seed) {}
  uint64_t next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 7;
    s_ ^= s_ << 17;
    return s_;
  }
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
  Bytes bytes(size_t n) {
    Bytes b(n);
    for (uint8_t& x : b) x = static_cast<uint8_t>(next());
    return b;
  }

 private:
  uint64_t s_;
};

// One object of the users file: its rows in scan order, the definition the
// old dictionary has (empty when none) and the class of each column.
struct GuessObject {
  std::string table;
  uint32_t objd = 0, cluster = 0;
  std::vector<ColDef> now;   // the columns the rows are stored with
  std::vector<Row> rows;     // in the order a scan meets them
  size_t dictColumns = 0;    // columns the old dictionary knows (0: none)
  bool live = true;
};

// Oracle stores no trailing NULL columns.
Row trimmed(Row r) {
  while (!r.empty() && r.back().col.null) r.pop_back();
  return r;
}

uint8_t classOf(uint32_t type) {
  switch (type) {
    case 1:
    case 96: return 9;
    default: return static_cast<uint8_t>(type);
  }
}

// The canonical decimal text of units / 10^places (no trailing zeros).
std::string decimal(int64_t units, int places) {
  int64_t scale = 1;
  for (int i = 0; i < places; ++i) scale *= 10;
  const uint64_t a = units < 0 ? static_cast<uint64_t>(-units) : static_cast<uint64_t>(units);
  std::string frac = format("%0*llu", places, static_cast<unsigned long long>(a % scale));
  while (!frac.empty() && frac.back() == '0') frac.pop_back();
  return format("%s%llu%s%s", units < 0 ? "-" : "", static_cast<unsigned long long>(a / scale), frac.empty() ? "" : ".",
                frac.c_str());
}

std::string cents(int64_t units) { return decimal(units, 2); }

Val padded(const std::string& s, size_t width) {
  std::string p = s;
  p.resize(width, ' ');
  return vstr(p);
}

// ---- the tables as they are now ----------------------------------------

GuessObject numbers() {
  GuessObject o{"NUMBERS", 90010, 0,
                {num("ID", {}, {}, true), num("QTY", 4, 0), num("PRICE", 9, 2), num("BIG"), num("RATE")}, {}, 5};
  for (int i = 1; i <= 1000; ++i) {
    std::string big = format("%d%09d%09d", i, i * 7919, i * 104729);
    if (i % 3 == 0) big = "-" + big;
    if (i == 500) big = "-1234567890123456789012345678901234567891";  // 20 digits without the closing byte
    o.rows.push_back({vnum(i), vnum((i * 37) % 201 - 100), vdecimal(cents(100 + i * 1307 % 500000)), vdecimal(big),
                      vdecimal(decimal(1 + i % 999, 3))});
  }
  return o;
}

GuessObject texts() {
  static const char* const kGbk[] = {"\xD6\xD0\xCE\xC4", "\xCA\xFD\xBE\xDD", "\xB2\xE2\xCA\xD4", "\xBB\xD6\xB8\xB4",
                                     "\xB1\xB8\xB7\xDD"};
  static const char* const kUtf8[] = {"caf\xC3\xA9", "\xC3\xBCnic\xC3\xB6" "de", "\xE4\xB8\xAD\xE6\x96\x87",
                                      "\xE2\x82\xAC" "5", "na\xC3\xAFve"};
  GuessObject o{"TEXTS", 90020, 0,
                {num("ID", {}, {}, true), vc("NAME", 20), vc("NOTE_GBK", 40), vc("NOTE_UTF8", 60),
                 text("CODE", 96, 8)}, {}, 5};
  for (int i = 1; i <= 600; ++i) {
    const std::string gbk = std::string(kGbk[i % 5]) + kGbk[(i / 5) % 5] + format(" %d", i);
    const std::string utf8 = std::string(kUtf8[i % 5]) + " " + kUtf8[(i / 5) % 5] + format(" no.%d", i);
    o.rows.push_back({vnum(i), vstr(format("Item %d", i * 31)), vstr(gbk), vstr(utf8),
                      padded(format("K%d", i % 7 == 0 ? i : i * 113), 8)});
  }
  return o;
}

GuessObject times() {
  GuessObject o{"TIMES", 90030, 0,
                {num("ID", {}, {}, true), typed("CREATED", 12, 7), typed("STAMP", 180, 11, {}, 6),
                 typed("STAMP_TZ", 181, 13, {}, 3)}, {}, 4};
  for (int i = 1; i <= 200; ++i) {
    const int y = 2019 + i % 6, m = 1 + i % 12, d = 1 + i % 28, h = i % 24, mi = (i * 7) % 60, s = (i * 13) % 60;
    const int tz = i % 4 == 0 ? -5 : i % 3;
    o.rows.push_back({vnum(i), vdate(y, m, d, h, mi, s),
                      vtimestamp(y, m, d, h, mi, s, 1000u * static_cast<uint32_t>(1 + i * 4567 % 999998)),
                      vtimestampTz(y, m, d, h, mi, s, 1000000u * static_cast<uint32_t>(1 + i % 998), tz,
                                   tz > 0 ? 30 : 0)});
  }
  return o;
}

GuessObject binary(Random& rnd) {
  GuessObject o{"BINARY", 90040, 0,
                {num("ID", {}, {}, true), typed("F", 100, 4), typed("D", 101, 8), typed("R", 23, 16)}, {}, 4};
  for (int i = 1; i <= 200; ++i)
    o.rows.push_back({vnum(i), vfloat(1.0f + 0.25f * static_cast<float>(i)), vdouble(0.5 + 1.125 * i),
                      vhex(rnd.bytes(16))});
  return o;
}

// A locator with the value inline (LOB id n).
Val lobVal(uint64_t n, const Bytes& stored, const std::string& written, uint8_t kind) {
  LocatorSpec s;
  s.kind = LocatorCase::A;
  s.id = lobIdOf(n);
  s.lastlen = static_cast<uint16_t>(stored.size());
  s.inlineData = true;
  s.data = stored;
  return Val{col(encodeInRowLocator(s, kind)), written};
}

GuessObject docs(Random& rnd) {
  GuessObject o{"DOCS", 90050, 0, {num("ID", {}, {}, true), typed("BODY", 112, 4000), typed("IMG", 113, 4000)}, {},
                3};
  for (int i = 1; i <= 60; ++i) {
    std::string body = format("Document %d:", i);
    for (int k = 0; k < i % 9; ++k) body += " lorem ipsum";
    const Bytes img = rnd.bytes(8 + rnd.below(300));
    o.rows.push_back(trimmed({vnum(i), i % 7 == 0 ? vnull() : lobVal(5000 + i, ucs2be(body), body, kLobKindClob),
                              i % 5 == 0 ? vnull()
                                         : lobVal(6000 + i, img, std::string(img.begin(), img.end()), kLobKindBlob)}));
  }
  return o;
}

GuessObject sparse() {
  GuessObject o{"SPARSE", 90060, 0,
                {num("ID", {}, {}, true), vc("A", 20), num("B"), typed("C", 12, 7), vc("D", 10), num("E")}, {}, 6};
  for (int i = 1; i <= 300; ++i)
    o.rows.push_back(trimmed({vnum(i), i % 20 == 0 ? vstr(format("sparse %d", i)) : vnull(),
                              i % 10 == 3 ? vnum(i * 1000 + 7) : vnull(), i % 33 == 0 ? vdate(2022, 1 + i % 12, 3) : vnull(),
                              vnull(), i % 4 == 0 ? vdecimal(cents(i * 250 + 1)) : vnull()}));
  return o;
}

// ORDERS and ORDER_LINES, each row with the key ORDER_ID first.
std::vector<GuessObject> orders() {
  GuessObject ord{"ORDERS", 90070, 1,
                  {num("ORDER_ID", {}, {}, true), vc("CUSTOMER", 30), typed("ORDERED", 12, 7), num("TOTAL", 10, 2)}, {},
                  4};
  GuessObject lines{"ORDER_LINES", 90070, 2,
                    {num("ORDER_ID", {}, {}, true), num("LINE_NO"), vc("PRODUCT", 20), num("QTY"), num("PRICE", 8, 2)},
                    {}, 5};
  for (int id = 1; id <= 40; ++id) {
    ord.rows.push_back({vnum(1000 + id), vstr(format("Client %d", id)), vdate(2024, 1 + id % 12, 1 + id % 27),
                        vdecimal(cents(id * 4321))});
    for (int l = 1; l <= 1 + id % 4; ++l)
      lines.rows.push_back({vnum(1000 + id), vnum(l), vstr(format("Part-%d", id * 10 + l)), vnum(l * 3),
                            vdecimal(cents(l * 199 + id))});
  }
  return {ord, lines};
}

GuessObject kv() {
  GuessObject o{"KV", 90081, 0,
                {num("K", {}, {}, true), vc("V", 60), typed("UPDATED", 12, 7), num("N")}, {}, 4};
  for (int k = 1; k <= 120; ++k)
    o.rows.push_back({vnum(k), vstr(format("value of key %d, kept in the index leaf", k)),
                      vdate(2023, 1 + k % 12, 1 + k % 28, k % 24), vnum(k * k)});
  return o;
}

GuessObject droppedLog() {
  GuessObject o{"DROPPED_LOG", 90090, 0,
                {num("ID", {}, {}, true), vc("MSG", 200), typed("LOGGED", 180, 11, {}, 6), vc("SOURCE", 30)}, {}, 4};
  for (int i = 1; i <= 80; ++i)
    o.rows.push_back({vnum(i), vstr(format("message %d from the log that was dropped", i)),
                      vtimestamp(2023, 6, 1 + i % 28, i % 24, i % 60, i % 60, 123000u * static_cast<uint32_t>(i)),
                      vstr(i % 2 ? "batch" : "online")});
  return o;
}

GuessObject customers() {
  GuessObject o{"CUSTOMERS", 90100, 0,
                {num("ID", {}, {}, true), vc("NAME", 40), vc("CITY", 30), vc("EMAIL", 60)}, {}, 3};
  static const char* const kCities[] = {"Lyon", "Porto", "Graz", "Turku", "Split"};
  for (int i = 1; i <= 180; ++i) {
    Row r = {vnum(i), vstr(format("Customer with a long name %04d", i)), vstr(kCities[i % 5])};
    if (i > 150) r.push_back(vstr(format("customer%d@example.org", i)));
    o.rows.push_back(r);
  }
  return o;
}

GuessObject newEvents(Random& rnd) {
  GuessObject o{"NEW_EVENTS", 90110, 0,
                {num("ID", {}, {}, true), typed("HAPPENED", 181, 13, {}, 6), vc("KIND", 10), typed("TAG", 23, 16)},
                {}, 0};
  for (int i = 1; i <= 50; ++i)
    o.rows.push_back({vnum(i), vtimestampTz(2025, 2, 1 + i % 28, i % 24, 0, i % 60, 250000000u, 1, 0),
                      vstr(i % 3 ? "click" : "view"), vhex(rnd.bytes(16))});
  return o;
}

GuessObject oneRow() {
  GuessObject o{"ONE_ROW", 90120, 0, {num("ID", {}, {}, true), vc("LABEL", 20), typed("AT", 12, 7)}, {}, 3};
  o.rows.push_back({vnum(42), vstr("the only row"), vdate(2024, 2, 29, 12)});
  return o;
}

GuessObject purged() {
  GuessObject o{"PURGED", 90130, 0, {num("ID", {}, {}, true), vc("NOTE", 20)}, {}, 2};
  for (int i = 1; i <= 20; ++i) o.rows.push_back({vnum(i), vstr(format("deleted %d", i))});
  o.live = false;
  return o;
}

// ---- placing them --------------------------------------------------------

struct Build {
  ScenarioOut& out;
  ForgeFile users;
  uint32_t next = 8;  // the next free block of the users file
  std::vector<GuessObject> objects;
  std::string error;
};

bool placeHeapObject(Build& b, GuessObject& o) {
  SegmentPlace p;
  if (!placeHeap(b.users, o.objd, b.next, 0, o.rows, p, b.error)) return false;
  b.next += p.blocks + 2;
  return true;
}

bool placeClusterObjects(Build& b, std::vector<GuessObject>& members) {
  std::vector<std::vector<Row>> rows, ordered;
  for (const GuessObject& m : members) rows.push_back(m.rows);
  SegmentPlace p;
  if (!placeCluster(b.users, members[0].objd, b.next, 0, 1, rows, ordered, p, b.error)) return false;
  for (size_t i = 0; i < members.size(); ++i) members[i].rows = ordered[i];
  b.next += p.blocks + 2;
  return true;
}

// The rows in leaves of 40 entries (8 KiB blocks), chained; the segment
// header first.
void placeIot(Build& b, const GuessObject& o) {
  const size_t perLeaf = b.users.layout().blockSize / 200;
  const uint32_t header = b.next, leaves = static_cast<uint32_t>((o.rows.size() + perLeaf - 1) / perLeaf);
  SegmentSpec s;
  s.objd = o.objd;
  s.extents = {{b.users.rdba(header), leaves + 1}};
  b.users.addSegment(header, s);
  for (uint32_t l = 0; l < leaves; ++l) {
    IndexLeafSpec leaf;
    leaf.trans.typ = kTypIndex;
    leaf.trans.objd = o.objd;
    for (size_t i = l * perLeaf; i < o.rows.size() && i < (l + 1) * perLeaf; ++i) {
      IndexEntry e;
      e.iot = true;
      e.keys = {o.rows[i][0].col};
      e.row.cols = columnsOf(Row(o.rows[i].begin() + 1, o.rows[i].end()));
      leaf.entries.push_back(e);
    }
    leaf.prev = l ? b.users.rdba(header + l) : 0;
    leaf.next = l + 1 < leaves ? b.users.rdba(header + l + 2) : 0;
    b.users.addIndexLeaf(header + 1 + l, leaf);
  }
  b.next += leaves + 3;
}

// A segment whose rows are all marked deleted.
void placePurged(Build& b, const GuessObject& o) {
  const uint32_t header = b.next;
  SegmentSpec s;
  s.objd = o.objd;
  s.extents = {{b.users.rdba(header), 2}};
  b.users.addSegment(header, s);
  TableBlockSpec t;
  t.trans.objd = o.objd;
  for (const Row& r : o.rows) {
    TableRow row;
    row.piece.flag = kRowH | kRowD | kRowF | kRowL;
    row.piece.cols = columnsOf(r);
    t.tables[0].push_back(row);
  }
  b.users.addTableBlock(header + 1, t);
  b.next += 4;
}

bool placeObjects(Build& b, Random& rnd) {
  std::vector<GuessObject> heaps = {numbers(),    texts(),     times(),          binary(rnd), docs(rnd), sparse(),
                                    droppedLog(), customers(), newEvents(rnd), oneRow()};
  std::vector<GuessObject> cluster = orders();
  const GuessObject iot = kv(), gone = purged();
  for (GuessObject& o : heaps)
    if (!placeHeapObject(b, o)) return false;
  if (!placeClusterObjects(b, cluster)) return false;
  placeIot(b, iot);
  placePurged(b, gone);
  b.objects = heaps;
  b.objects.insert(b.objects.end(), cluster.begin(), cluster.end());
  b.objects.push_back(iot);
  b.objects.push_back(gone);
  return true;
}

// ---- the old dictionary --------------------------------------------------

TableDef appTable(const std::string& name, uint32_t objNo, uint32_t dataObjNo, std::vector<ColDef> cols) {
  TableDef t;
  t.owner = kApp, t.name = name, t.objNo = objNo, t.dataObjNo = dataObjNo, t.ts = kUsersTs, t.rfn = kUsersRfn;
  t.cols = std::move(cols);
  return t;
}

Catalog oldCatalog(const Build& b) {
  Catalog c;
  c.users = {{0, "SYS", 1, "8A8F025737A9097A"}, {kApp, "APP", 1, "3C1D0E5A77F2B964"}};
  for (const GuessObject& o : b.objects) {
    if (o.dictColumns == 0) continue;
    const std::vector<ColDef> cols(o.now.begin(), o.now.begin() + static_cast<long>(o.dictColumns));
    const bool iot = o.table == "KV";
    TableDef t = appTable(o.table, o.cluster ? o.objd + o.cluster : iot ? o.objd - 1 : o.objd, o.objd, cols);
    if (o.cluster) t.clusterObjNo = o.objd, t.tab = o.cluster;
    c.tables.push_back(t);
  }
  std::vector<ColDef> hist = b.objects[0].now;
  hist.push_back(typed("ARCHIVED", 12, 7));
  c.tables.push_back(appTable("NUMBERS_HIST", 90015, 90015, hist));
  c.tables.push_back(appTable("BIN$aGVsbG8gd29ybGQgMDAxYQ==$0", 90025, 90025, b.objects[2].now));
  ObjectDef cl = objectDef(kApp, "C_ORDERS", 90070, kObjTypeCluster);
  cl.dataObjNo = 90070;
  ObjectDef pk = objectDef(kApp, "KV_PK", 90081, kObjTypeIndex);
  pk.dataObjNo = 90081, pk.baseObjNo = 90080, pk.ts = kUsersTs, pk.rfn = kUsersRfn;
  c.objects = {cl, pk};
  return c;
}

// ---- what SCAN TABLE and UNLOAD must find ------------------------------------

std::string classList(const GuessObject& o, size_t count) {
  std::string s;
  for (size_t k = 0; k < count; ++k) {
    bool valued = false;
    for (const Row& r : o.rows) valued |= k < r.size() && !r[k].col.null && !r[k].col.bytes.empty();
    s += format("%s%u", k ? "," : "", valued ? classOf(o.now[k].type) : 0u);
  }
  return s;
}

bool writeTruth(Build& b) {
  std::string truth = "# " + b.out.name() + ": what SCAN TABLE finds (format in tools/forge/scenario_guess.cc)\n";
  const std::string rows = b.out.path("expect/rows/");
  for (const GuessObject& o : b.objects) {
    if (!o.live) {
      truth += format("unguessed objd=%u\n", o.objd);
      continue;
    }
    size_t count = 0;
    std::vector<uint8_t> codes;
    for (const Row& r : o.rows) count = std::max(count, r.size());
    for (const ColDef& c : o.now) codes.push_back(classOf(c.type));
    truth += format("object objd=%u cluster=%u table=APP.%s dict=%zu classes=%s\n", o.objd, o.cluster,
                    o.table.c_str(), o.dictColumns, classList(o, count).c_str());
    const std::string data = format("OBJD%010uC%03u.txt", o.objd, o.cluster);
    const UnloadedFiles u = renderUnload(o.rows, codes, count, format("OBJD%010uC%03u.LOB", o.objd, o.cluster));
    if (!writeTextFile(rows + data, u.data, b.error)) return false;
    if (!u.lob.empty() && !writeTextFile(rows + format("OBJD%010uC%03u.LOB", o.objd, o.cluster), u.lob, b.error))
      return false;
  }
  return writeTextFile(b.out.path("expect/guess.truth"), truth, b.error);
}

// The blocks of objd in the file, in block order.
std::vector<uint32_t> blocksOf(const ForgeFile& f, uint32_t objd) {
  std::vector<uint32_t> out;
  for (uint32_t n = 2; n <= f.lastBlock(); ++n)
    if (f.block(n) && f.block(n)->at(0) == 0x06 && blockObjd(*f.block(n)) == objd) out.push_back(n);
  return out;
}

// The users file with random bytes in two blocks inside listed runs: the
// middle block of NUMBERS (the second of two) as they come, the second
// block of TEXTS behind a sealed table block header of its object.
bool writeBadCopy(Build& b, Random& rnd) {
  ForgeFile bad = b.users;
  const std::vector<uint32_t> numbersBlocks = blocksOf(bad, 90010), textsBlocks = blocksOf(bad, 90020);
  if (numbersBlocks.size() < 2 || textsBlocks.size() < 2) {
    b.error = "the runs of NUMBERS and TEXTS are too short for the damaged copy";
    return false;
  }
  const uint32_t size = bad.layout().blockSize;
  ForgeBlock all(size, bad.layout().order);
  all.putBytes(0, rnd.bytes(size));
  bad.addBlock(numbersBlocks[numbersBlocks.size() / 2], all);
  ForgeBlock behind(size, bad.layout().order);
  behind.putBytes(0, rnd.bytes(size));
  BlockHeader h;
  h.type = 0x06;
  h.rdba = bad.rdba(textsBlocks[1]);
  writeBlockHeader(behind, h);
  behind.put8(20, kTypData);
  behind.put32(24, 90020);
  sealBlock(behind, h);
  bad.addBlock(textsBlocks[1], behind);
  std::string ignored;
  b.out.note(format("guess_bad04.dbf: random bytes in block %u (NUMBERS) and behind the header of block %u (TEXTS)",
                    numbersBlocks[numbersBlocks.size() / 2], textsBlocks[1]));
  return bad.write(b.out.path("guess_bad04.dbf"), ignored, b.error) &&
         writeTextFile(b.out.path("guess_bad.cfg"), b.out.path("guess_bad04.dbf") + "\n", b.error);
}

}  // namespace

bool buildGuessScenario(ScenarioOut& out, std::string& error) {
  FileSpec usr = out.fileSpec("guess_users04.dbf", kUsersRfn);
  usr.header.tsNumber = kUsersTs;
  usr.header.tsName = "USERS";
  Build b{out, ForgeFile(usr), 8, {}, {}};
  Random rnd(0x9e3779b97f4a7c15ull);
  ForgeFile system(systemFileSpec(out, "guess_system01.dbf"));
  Catalog cat;
  DictScan scan;
  ScanListing listing;
  bool ok = placeObjects(b, rnd);
  if (ok) {
    cat = oldCatalog(b);
    listing.scanFile(b.users);
  }
  ok = ok && placeDictionary(system, cat, scan, b.error) && makeDir(out.path("expect"), b.error) &&
       makeDir(out.path("expect/rows"), b.error) && writeTruth(b) && listing.write(out, "guess", b.error) &&
       out.add(system, b.error, false) &&
       writeTextFile(out.path("guess_dict.cfg"), out.path("guess_system01.dbf") + "\n", b.error) &&
       writeBadCopy(b, rnd) && out.add(b.users, b.error);
  if (!ok) error = b.error;
  return ok;
}

}  // namespace bex::forge
