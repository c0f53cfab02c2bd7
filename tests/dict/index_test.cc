// The index of the dictionary files answers every query as a pass over the
// whole file does (DictLookup::kFileScan): on the dictionaries the forge
// writes, and on random ones full of duplicates, case variants, partitions,
// object columns and lines the readers refuse, before and after the files
// change.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dict/dictionary.h"
#include "dict/dropped.h"
#include "dict/queries.h"
#include "dict_dir.h"
#include "forge/scenario.h"

using namespace bex;

namespace {

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

std::string flipCase(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
    else if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
  return s;
}

std::string text(const UserRecord& u) { return format("%u [%s]", u.userNo, u.name); }
std::string text(const ObjectRecord& o) {
  return format("%u %u %u seg %u [%s] [%s] [%s]", o.objNo, o.ownerNo, o.type, o.segmentObjNo, o.name, o.subname, o.oid);
}
std::string text(const StorageRecord& s) {
  return format("%u %u %u %u %u %u", s.objNo, s.dataObjNo, s.ts, s.file, s.block, s.cluster);
}
std::string text(const ColumnTypeRecord& t) {
  return format("%u %u %u [%s] %u", t.objNo, t.colNo, t.intColNo, t.toid, t.synObjNo);
}
std::string text(const ColumnRecord& c) {
  return format("%u %u %u [%s] %u %u %u %u %u %u %u %u %u kind %u [%s.%s]", c.objNo, c.colNo, c.segColNo, c.name,
                c.type, c.length, c.precision, c.scale, c.nullFlag, c.intColNo, c.property, c.charsetId,
                c.charsetForm, c.typeKind, c.typeOwner, c.typeName);
}
std::string text(const TableColumns& t) {
  std::string s = format("count %u", t.count);
  for (unsigned i = 0; i < t.count; i++) {
    const ColumnSpec& c = t.column[i];
    const ColumnDescription& d = t.desc[i];
    s += format("; %u %u %u %u.%u [%s] %u %u [%s.%s]", static_cast<unsigned>(c.type), c.charsetForm, c.charsetId,
                c.lobIndexFile, c.lobIndexBlock, d.name, d.length, d.typeKind, d.typeOwner, d.typeName);
  }
  return s;
}

// What the files hold, as the keys of queries, with case variants and keys
// of nothing.
struct Probes {
  std::vector<std::string> userNames;
  std::set<uint32_t> userNos;
  std::vector<ObjectRecord> objects;
  std::set<std::pair<uint32_t, uint32_t>> ownerTypes;
  std::vector<ColumnTypeRecord> columnTypes;
};

Probes probesOf(const DictFiles& dir) {
  Probes p;
  forEachRecord(dir.file(kUserFile), readUserRecord, [&](const UserRecord& u) {
    p.userNames.insert(p.userNames.end(), {u.name, flipCase(u.name), std::string(u.name) + "X"});
    p.userNos.insert(u.userNo);
    return false;
  });
  p.userNos.insert(123456);
  forEachRecord(dir.file(kObjectFile), readObjectRecord, [&](const ObjectRecord& o) {
    p.objects.push_back(o);
    p.ownerTypes.insert({o.ownerNo, o.type});
    return false;
  });
  p.ownerTypes.insert({123456, 2});
  forEachRecord(dir.file(kColumnTypeFile), readColumnTypeRecord, [&](const ColumnTypeRecord& t) {
    p.columnTypes.push_back(t);
    return false;
  });
  return p;
}

// Everything a table's commands read: its columns as DESC lists them, the
// unload engine's column list and its CREATE TABLE text.
void tableAnswers(const DictFiles& dir, const ObjectRecord& table, const char* partition,
                  std::vector<std::string>& out) {
  std::string cols;
  const bool opened = forEachColumn(dir, table.objNo, [&](const ColumnRecord& record) {
    ColumnRecord c = record;
    resolveObjectType(dir, c);
    cols += text(c) + "; ";
    return false;
  });
  out.push_back(format("columns %d ", opened) + cols);
  auto list = std::make_unique<TableColumns>();
  loadColumns(dir, table, partition, *list);
  out.push_back(text(*list));
  std::string create;
  const bool valid = buildCreateTable(dir, table, "", true, false, 0, false, create);
  out.push_back(format("valid %d ", valid) + create);
}

void objectAnswers(const DictFiles& dir, const ObjectRecord& o, std::set<std::string>& tablesSeen,
                   std::vector<std::string>& out) {
  using Find = bool (*)(const DictFiles&, uint32_t, const char*, const char*, ObjectRecord&);
  for (Find find : {Find(findTableObject), Find(findIndexObject)})
    for (const std::string& name : {std::string(o.name), flipCase(o.name)}) {
      ObjectRecord r;
      const bool found = find(dir, o.ownerNo, name.c_str(), o.subname, r);
      out.push_back(format("object %d ", found) + text(r));
      if (found && find == Find(findTableObject) && tablesSeen.insert(text(r) + "/" + o.subname).second)
        tableAnswers(dir, r, o.subname, out);
    }
  ObjectRecord r;
  out.push_back(format("by number %d ", findObjectByNumber(dir, o.objNo, r)) + text(r));
  for (const std::string& oid : {std::string(o.oid), flipCase(o.oid)})
    out.push_back(format("by oid %d ", findObjectByOid(dir, oid, r = ObjectRecord{})) + text(r));
  StorageRecord s;
  for (uint32_t n : {o.objNo, o.objNo + 1}) out.push_back(format("storage %d ", findStorage(dir, n, s)) + text(s));
}

// The answers to every query the probes make, in one list.
std::vector<std::string> answers(const DictFiles& dir, const Probes& p) {
  std::vector<std::string> out;
  UserRecord u;
  for (const std::string& name : p.userNames)
    out.push_back(format("user %d ", findUser(dir, name.c_str(), u = UserRecord{})) + text(u));
  for (uint32_t n : p.userNos)
    out.push_back(format("user# %d ", findUserByNumber(dir, n, u = UserRecord{})) + text(u));
  std::string all;
  dir.users().forAll([&](const UserRecord& r) {
    all += text(r) + "; ";
    return false;
  });
  out.push_back("users " + all);
  std::set<std::string> tablesSeen;
  for (const ObjectRecord& o : p.objects) objectAnswers(dir, o, tablesSeen, out);
  for (const auto& ownerType : p.ownerTypes) {
    const auto owner = ownerType.first, type = ownerType.second;
    std::string objects;
    dir.objects().forOwnerType(owner, type, [&](const ObjectRecord& o) {
      if (o.ownerNo == owner && o.type == type) objects += text(o) + "; ";
      return false;
    });
    out.push_back(format("owner %u type %u: ", owner, type) + objects);
  }
  ColumnTypeRecord t;
  for (const ColumnTypeRecord& c : p.columnTypes)
    out.push_back(format("type %d ", findColumnType(dir, c.objNo, c.colNo, c.intColNo, t = ColumnTypeRecord{})) +
                  text(t));
  return out;
}

class DictIndexTest : public bex::testing::DictDir {
 protected:
  // The index of dict() against a pass over the files, answer by answer.
  void expectScanAnswers(const DictFiles& indexed) const {
    const DictFiles scan(indexed.path(), DictLookup::kFileScan);
    const Probes probes = probesOf(scan);
    const std::vector<std::string> want = answers(scan, probes), got = answers(indexed, probes);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); i++) ASSERT_EQ(got[i], want[i]) << "answer " << i;
  }
};

// ---- random dictionaries ---------------------------------------------

class RandomDictionary {
 public:
  explicit RandomDictionary(unsigned seed) : rng_(seed) {}

  // The dictionary files, written by `put` (name, text).
  template <class Put>
  void write(Put&& put) {
    std::string users, objects, storage, types;
    for (int i = 0; i < 30; i++) users += oneOf(8) ? userLine() : junk();
    for (int i = 0; i < 30; i++) addTable();
    for (const Object& o : objects_) objects += oneOf(12) ? objectLine(o) : junk() + objectLine(o);
    for (const Object& o : objects_)
      for (int n = pick(3); n-- > 0;) storage += oneOf(10) ? storageLine(o.objNo) : junk();
    for (const auto& [objNo, col] : objectColumns_)
      types += format("%u,%u,%u,%s,1,0,%s\n", objNo, col, col, maybeFlip(oid()).c_str(), synonym().c_str());
    put(kUserFile, users + "9,LAST");  // no line feed at the end
    put(kObjectFile, objects);
    put(kStorageFile, storage);
    put(kColumnTypeFile, types);
    for (size_t i = 0; i < maps_.size(); i++) put(format("BEXCOLMAP%03zu.TXT", i).c_str(), maps_[i]);
  }

 private:
  struct Object {
    uint32_t objNo, owner, type;
    std::string name, subname;
  };

  int pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  bool oneOf(int n) { return pick(n) != 0; }
  // Short names over few letters, so that names and case variants repeat;
  // now and then one longer than a record keeps.
  std::string name() {
    static const char kLetters[] = {'a', 'B', 'b', '_', '$', '\xe9'};
    std::string s = pick(15) == 0 ? std::string(62, 'L') : "";
    for (int n = 1 + pick(3); n-- > 0;) s += kLetters[pick(sizeof kLetters)];
    return s;
  }
  std::string maybeFlip(std::string s) { return pick(2) ? flipCase(s) : s; }
  std::string oid() {
    static const char* kOids[] = {"00000000000000000000000000020100", "ab12cd", "AB12CD", "FFEE0011"};
    return kOids[pick(4)];
  }
  uint32_t owner() { return static_cast<uint32_t>(pick(10)); }
  uint32_t objNo() { return 100 + static_cast<uint32_t>(pick(120)); }
  std::string synonym() {
    switch (pick(3)) {
      case 0: return "";
      case 1: return "0";
      default: return std::to_string(objNo());
    }
  }
  // Lines the readers refuse or pass over.
  std::string junk() {
    switch (pick(8)) {
      case 0: return "\n";
      case 1: return "\r\n";
      case 2: return std::string(1, '\0') + "5,NUL,,2,\n";
      case 3: return format("%u,x%u,%s,,2,\n", objNo(), owner(), name().c_str());
      case 4: return format("%u,%u,%s,,2,\n", objNo(), owner(), std::string(130, 'T').c_str());
      case 5: return format("%u,%u,%s,,2,\n", objNo(), owner(), std::string(1100, 'T').c_str());
      case 6: return "1,2\n";
      default: return format("%u,%u,OK,,2,", objNo(), owner()) + std::string(1, '\0') + "cut\n";
    }
  }
  std::string userLine() {
    const char* ends[] = {",\n", "\n", "  \t\n", ",X,\n"};
    return format("%u,%s%s", owner(), maybeFlip(name()).c_str(), ends[pick(4)]);
  }
  std::string objectLine(const Object& o) {
    std::string oidField = pick(4) == 0 ? "," + maybeFlip(oid()) : pick(2) ? "," : "";
    return format("%u,%u,%s,%s,%u", o.objNo, o.owner, maybeFlip(o.name).c_str(), maybeFlip(o.subname).c_str(),
                  o.type) +
           oidField + "\n";
  }
  std::string storageLine(uint32_t objNo) {
    const char* dataObj[] = {"0", "", "7"};
    return format("%u,%s,4,%d,%d,%d\n", pick(6) ? objNo : objNo + 1, pick(3) ? dataObj[pick(3)] : "77", pick(8),
                  pick(500), pick(3));
  }

  void addObject(uint32_t objNo, uint32_t owner, uint32_t type, std::string name, std::string subname) {
    objects_.push_back({objNo, owner, type, std::move(name), std::move(subname)});
  }
  // A table with partitions, indexes, LOB indexes and columns spread over
  // its column map file among other tables' lines.
  void addTable() {
    const uint32_t table = objNo(), own = owner();
    const std::string tname = name();
    static const uint32_t kTypes[] = {2, 2, 1, 4, 13};
    addObject(table, own, kTypes[pick(5)], tname, "");
    const std::string parts[] = {"P1", "p1", "P2"};
    for (int n = pick(3); n-- > 0;) addObject(objNo(), own, pick(2) ? 19 : 34, tname, parts[pick(3)]);
    if (pick(3) == 0) addObject(objNo(), own, 20, tname, parts[pick(3)]);
    std::string& map = maps_[table % maps_.size()];
    for (uint32_t col = 1, cols = 1 + static_cast<uint32_t>(pick(6)); col <= cols; col++) {
      static const uint32_t kColumnTypes[] = {1, 2, 12, 96, 112, 113, 58, 123, 180, 182, 183, 999};
      const uint32_t type = kColumnTypes[pick(12)];
      const uint32_t seg = type == 58 && pick(2) ? 0 : 1 + static_cast<uint32_t>(pick(6));
      if (type == 58 || type == 123) objectColumns_.push_back({table, col});
      if ((type == 112 || type == 113) && pick(2))
        addObject(objNo(), own, pick(3) ? 1 : 2, format("SYS_IL%010uC%05u$$", table, col), pick(3) ? "" : "P1");
      std::string line = format("%u,%u,%u,%s,%u,%d", table, col, seg, maybeFlip(name()).c_str(), type, 1 + pick(40));
      if (pick(3)) line += format(",%d,%d,%d,%u,0,%d,%d", pick(40), pick(3) - 1, pick(2), col, pick(900), 1 + pick(2));
      // Other lines fall between a table's lines now and then.
      map += (pick(4) == 0 ? junk() : "") + line + "\n";
      if (pick(6) == 0) maps_[pick(static_cast<int>(maps_.size()))] += format("%u,1,1,X,1,1\n", objNo());
    }
  }

  std::mt19937 rng_;
  std::vector<Object> objects_;
  std::vector<std::pair<uint32_t, uint32_t>> objectColumns_;
  std::vector<std::string> maps_ = std::vector<std::string>(64);
};


// ---- dropped tables --------------------------------------------------

// Deleted rows of a random dictionary: tables and partitions of few owners
// and names (case variants), OBJ#s shared with live objects and with each
// other, storage and COL$ rows missing, repeated and out of order, and
// lines the readers refuse.
template <class Put>
void writeDeletedRows(unsigned seed, Put&& put) {
  std::mt19937 rng(seed);
  auto pick = [&](unsigned n) { return static_cast<uint32_t>(rng() % n); };
  static const char* kNames[] = {"T", "t", "Ab", "AB", "ab"};
  static const uint32_t kTypes[] = {2, 2, 19, 34, 1};
  std::string objects, storage, columns;
  for (int i = 0; i < 60; i++) {
    const uint32_t objNo = 100 + pick(150);
    objects += format("%u,%u,%s,%s,%u\n", objNo, pick(3), kNames[pick(5)], pick(4) ? "" : "P1", kTypes[pick(5)]);
    if (pick(6) == 0) objects += "1,2\n";
    for (uint32_t n = pick(3); n-- > 0;) storage += format("%u,%u,4,4,%u,0\n", objNo, pick(3) ? 300 + pick(50) : 0, pick(99));
    for (uint32_t n = pick(5); n-- > 0;)
      columns += format("%u,%u,%u,C%u,%u,%u\n", pick(3) ? objNo : 100 + pick(150), 1 + pick(6), pick(6), pick(9), 1 + pick(2), 1 + pick(30));
  }
  put(kDeletedObjectFile, objects);
  put(kDeletedStorageFile, storage + "x,y\n");
  put(kDeletedColumnFile, columns);
}

std::string text(const DroppedTable& t) {
  std::string s = "table " + text(t.object) + format(" dropped %d; ", t.object.dropped) + text(t.storage);
  for (const DroppedPartition& p : t.partitions) s += "; part " + text(p.object) + " " + text(p.storage);
  for (const ColumnRecord& c : t.columns) s += "; " + text(c);
  return s;
}
std::string text(const std::vector<ColumnRecord>& cols) {
  std::string s;
  for (const ColumnRecord& c : cols) s += text(c) + "; ";
  return s;
}

// A dropped table's look-ups by every name, owner and data object the
// deleted OBJ$ rows give.
std::vector<std::string> droppedAnswers(const DictFiles& dir) {
  std::vector<std::string> out;
  forEachRecord(dir.file(kDeletedObjectFile), readObjectRecord, [&](const ObjectRecord& o) {
    for (const std::string& name : {std::string(o.name), flipCase(o.name)})
      for (uint32_t objd : {0u, o.objNo, 300 + o.objNo % 50}) {
        DroppedTable t;
        out.push_back(format("found %d ", findDroppedTable(dir, o.ownerNo, name.c_str(), objd, t)) + text(t));
      }
    out.push_back("columns " + text(droppedTableColumns(dir, o.objNo)));
    return false;
  });
  return out;
}

}  // namespace

TEST_F(DictIndexTest, RandomDictionariesAnswerAsAScanBeforeAndAfterTheyChange) {
  for (unsigned seed = 1; seed <= 3; seed++) {
    RandomDictionary(seed).write([&](const char* name, const std::string& t) { write("BEXDICT/" + std::string(name), t); });
    const DictFiles indexed(dict().path());
    expectScanAnswers(indexed);
    // Replaced files (new inodes, any size) are seen at the next statement.
    RandomDictionary(seed + 100).write([&](const char* name, const std::string& t) {
      write("new", t);
      ASSERT_EQ(rename(path("new").c_str(), path("BEXDICT/" + std::string(name)).c_str()), 0);
    });
    indexed.recheck();
    expectScanAnswers(indexed);
  }
}

TEST_F(DictIndexTest, ForgedDictionaryAnswersAsAScan) {
  const std::string dir = path("dict");
  mkdir(dir.c_str(), 0755);
  std::string error;
  ASSERT_TRUE(forge::runScenario("dict", dir, forge::ScenarioOptions{}, error)) << error;
  expectScanAnswers(DictFiles(dir + "/expect/BEXDICT"));
}

TEST_F(DictIndexTest, ChangedFilesAreSeenAtTheNextStatement) {
  users("1,A,\n");
  UserRecord u;
  ASSERT_TRUE(findUser(dict(), "A", u));
  EXPECT_EQ(u.userNo, 1u);
  users("22,A,\n");  // rewritten in place, longer
  dict().recheck();
  ASSERT_TRUE(findUser(dict(), "A", u));
  EXPECT_EQ(u.userNo, 22u);
  write("new", "33,A,\n");  // another file of the same size in its place
  ASSERT_EQ(rename(path("new").c_str(), path("BEXDICT/BEXUSR.TXT").c_str()), 0);
  dict().recheck();
  ASSERT_TRUE(findUser(dict(), "A", u));
  EXPECT_EQ(u.userNo, 33u);
  users("44,A,\n");  // same size, same inode: a writer says so
  dict().forget();
  ASSERT_TRUE(findUser(dict(), "A", u));
  EXPECT_EQ(u.userNo, 44u);
  remove(path("BEXDICT/BEXUSR.TXT").c_str());
  dict().recheck();
  EXPECT_FALSE(findUser(dict(), "A", u));
  users("5,A,\n");
  dict().recheck();
  ASSERT_TRUE(findUser(dict(), "A", u));
  EXPECT_EQ(u.userNo, 5u);
}

// Lines as the readers take them, whatever the window they are read through.
TEST_F(DictIndexTest, LinesReadAtOffsetsAsReadInARow) {
  std::mt19937 rng(7);
  std::string file;
  while (file.size() < 600 * 1024) {
    const size_t n = rng() % 9 == 0 ? 1000 + rng() % 60 : rng() % 90;
    std::string line(n, 'a');
    if (rng() % 17 == 0) line[rng() % (n + 1) / 2] = '\0';
    if (rng() % 13 == 0 && n) line[0] = "\r\n"[rng() % 2];
    file += line + "\n";
  }
  file += "tail";
  write("lines", file);
  // A line runs to its line feed, is cut at a NUL, and counts when it is
  // not empty, does not begin with a line end and fits the buffer.
  std::vector<std::string> want;
  for (size_t at = 0; at < file.size();) {
    const size_t lf = file.find('\n', at);
    const size_t end = lf == std::string::npos ? file.size() : lf + 1;
    std::string line = file.substr(at, end - at);
    at = end;
    if (line.size() >= kDictLineBuffer) continue;
    line = line.substr(0, line.find('\0'));
    if (!line.empty() && line[0] != '\n' && line[0] != '\r') want.push_back(line);
  }
  std::vector<std::string> inARow;
  DictLineReader in(path("lines").c_str());
  for (std::string_view line; in.next(line);) inARow.push_back(std::string(line));
  EXPECT_EQ(inARow, want);
  std::vector<std::string> atOffsets;
  const int fd = open(path("lines").c_str(), O_RDONLY);
  DictLineSource source(fd, 2 * kDictLineBuffer);
  std::string_view line;
  for (uint64_t at = 0, next; source.lineAt(at, line, next); at = next)
    if (!line.empty()) atOffsets.push_back(std::string(line));
  close(fd);
  EXPECT_EQ(atOffsets, want);
}

TEST_F(DictIndexTest, DroppedTablesFoundAsAScanFindsThemBeforeAndAfterTheFilesChange) {
  for (unsigned seed = 1; seed <= 3; seed++) {
    auto put = [&](const char* name, const std::string& t) {
      write("new", t);
      ASSERT_EQ(rename(path("new").c_str(), path("BEXDICT/" + std::string(name)).c_str()), 0);
    };
    RandomDictionary(seed).write(put);
    writeDeletedRows(seed, put);
    const DictFiles indexed(dict().path()), scan(dict().path(), DictLookup::kFileScan);
    EXPECT_EQ(droppedAnswers(indexed), droppedAnswers(scan));
    writeDeletedRows(seed + 100, put);
    indexed.recheck();
    EXPECT_EQ(droppedAnswers(indexed), droppedAnswers(scan));
  }
}

// Each dropped table of the forged dictionary as the listing's one pass
// over the files rebuilds it; the files are read again only at the next
// statement after they changed.
TEST_F(DictIndexTest, DroppedTablesFoundAsListedAndReadOncePerChange) {
  const std::string dir = path("dropped");
  mkdir(dir.c_str(), 0755);
  std::string error;
  ASSERT_TRUE(forge::runScenario("dropped", dir, forge::ScenarioOptions{}, error)) << error;
  const DictFiles files(dir + "/expect/BEXDICT");
  constexpr uint32_t kScott = 54;
  std::vector<DroppedTable> listed;
  ASSERT_TRUE(findDroppedTables(files, kScott, listed));
  ASSERT_GE(listed.size(), 4u);
  for (DroppedTable want : listed) {
    if (want.storage.objNo == 0) want.storage = StorageRecord{want.object.objNo, want.object.objNo, 0, 0, 0, 0};
    if (want.storage.dataObjNo == 0) want.storage.dataObjNo = want.object.objNo;
    want.object.dropped = true;
    want.object.segmentObjNo = want.object.objNo;
    DroppedTable got;
    ASSERT_TRUE(findDroppedTable(files, kScott, want.object.name, dataObjectOf(want), got)) << want.object.name;
    EXPECT_EQ(text(got), text(want));
    const std::vector<ColumnRecord> cols = droppedTableColumns(files, want.object.objNo);
    ASSERT_EQ(cols.size(), want.columns.size());
    for (size_t i = 0; i < cols.size(); i++) {
      if (want.columns[i].objNo == 0) continue;  // a placeholder
      EXPECT_EQ(text(cols[i]), text(want.columns[i]));
    }
  }
  const std::string objects = files.file(kDeletedObjectFile);
  ASSERT_EQ(rename(objects.c_str(), (objects + ".old").c_str()), 0);
  std::ofstream(objects) << "";
  DroppedTable t;
  EXPECT_TRUE(findDroppedTable(files, kScott, listed[0].object.name, 0, t));
  files.recheck();
  EXPECT_FALSE(findDroppedTable(files, kScott, listed[0].object.name, 0, t));
}
