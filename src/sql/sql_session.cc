#include "sql/sql_session.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/cmdline.h"
#include "base/extent_listing.h"
#include "dict/dict_index.h"
#include "dict/dict_records.h"
#include "dict/dict_scan.h"
#include "dict/dropped.h"
#include "sql/sql_values.h"

namespace bex {

namespace {

constexpr int kMaxTablesMade = 64;  // tables one statement may name

// "OWNER.TABLE" or "OWNER.TABLE:PARTITION" as typed (quotes removed).
struct TableName {
  std::string owner, table, partition;
};

std::string unquoted(std::string_view s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return std::string(s.substr(1, s.size() - 2));
  return std::string(s);
}

bool splitName(std::string_view name, TableName& out) {
  const size_t dot = name.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return false;
  out.owner = unquoted(name.substr(0, dot));
  std::string rest = unquoted(name.substr(dot + 1));
  const size_t colon = rest.find(':');
  out.table = rest.substr(0, colon);
  if (colon != std::string::npos) out.partition = rest.substr(colon + 1);
  return out.owner.size() <= kDictNameMax && out.table.size() <= kDictNameMax && out.partition.size() <= kDictNameMax;
}

// The segment of object objNo, found as UNLOAD TABLE finds it.
bool segmentOf(const DictFiles& dir, uint32_t objNo, SqlSegment& out) {
  StorageRecord st;
  if (!findStorage(dir, objNo, st) && !findStorage(dir, objNo + 1, st)) return false;
  out = SqlSegment{st.dataObjNo, st.cluster, st.file, st.block};
  return true;
}

// The segments of the partitions and subpartitions of the user's table.
void partitionSegments(const DictFiles& dir, uint32_t userNo, const char* table, std::vector<SqlSegment>& out) {
  for (uint32_t type : {kObjTablePartition, kObjTableSubpartition})
    dir.objects().forOwnerType(userNo, type, [&](const ObjectRecord& o) {
      SqlSegment s;
      if (o.ownerNo == userNo && o.type == type && sameName(o.name, table) && segmentOf(dir, o.objNo, s))
        out.push_back(s);
      return false;
    });
}

// The declared columns: those with a type and a name.
void choosePositions(SqlTableSource& s) {
  for (uint32_t pos = 0; pos < s.columns.count; pos++)
    if (s.columns.column[pos].type != ColumnTypeCode::kSkip && s.columns.desc[pos].name[0]) s.positions.push_back(pos);
}

// A table of that name no live table has, rebuilt from the deleted
// dictionary rows as UNLOAD TABLE rebuilds it: its partitions' segments,
// else its own.
bool droppedSegments(const DictFiles& dir, uint32_t userNo, const TableName& n, ObjectRecord& object,
                     std::vector<SqlSegment>& out) {
  DroppedTable t;
  if (!n.partition.empty() || !findDroppedTable(dir, userNo, n.table.c_str(), 0, t)) return false;
  object = t.object;
  const uint32_t cluster = t.storage.cluster;
  for (const DroppedPartition& p : t.partitions)
    out.push_back(SqlSegment{dataObjectOf(p), cluster, p.storage.file, p.storage.block});
  if (out.empty()) out.push_back(SqlSegment{dataObjectOf(t), cluster, t.storage.file, t.storage.block});
  return true;
}

// The table's segments and columns: a partitioned table's rows are those
// of its partitions.
std::unique_ptr<SqlTableSource> resolveTable(const DictFiles& dir, const TableName& n) {
  UserRecord user;
  if (!findUser(dir, n.owner.c_str(), user)) return nullptr;
  ObjectRecord object;
  object.segmentObjNo = 0;
  auto s = std::make_unique<SqlTableSource>();
  if (findTableObject(dir, user.userNo, n.table.c_str(), n.partition.c_str(), object)) {
    if (n.partition.empty()) partitionSegments(dir, user.userNo, object.name, s->segments);
    SqlSegment own;
    if (s->segments.empty() && segmentOf(dir, object.segmentObjNo, own)) s->segments.push_back(own);
  } else if (!droppedSegments(dir, user.userNo, n, object, s->segments)) {
    return nullptr;
  }
  if (s->segments.empty()) return nullptr;
  s->label = std::string(user.name) + "." + object.name;
  if (!n.partition.empty()) s->label += ":" + n.partition;
  loadColumns(dir, object, n.partition.c_str(), s->columns);
  choosePositions(*s);
  return s;
}

constexpr std::string_view kGuessedPrefix = "objd_";

// The data object of a guessed table's name, objd_NNN (any case); 0 for
// any other name.
uint32_t guessedObject(std::string_view name) {
  if (name.size() <= kGuessedPrefix.size() || name.size() > kGuessedPrefix.size() + 10 ||
      !sameName(name.substr(0, kGuessedPrefix.size()), kGuessedPrefix))
    return 0;
  uint64_t objd = 0;
  for (char c : name.substr(kGuessedPrefix.size())) {
    if (c < '0' || c > '9') return 0;
    objd = objd * 10 + static_cast<uint64_t>(c - '0');
  }
  return objd <= UINT32_MAX ? static_cast<uint32_t>(objd) : 0;
}

// A data object of the scan's listing with the columns the guesser sees in
// its rows, named COL1, COL2, ... by position.
std::unique_ptr<SqlTableSource> resolveGuessed(const SqlEnv& env, uint32_t objd) {
  auto s = std::make_unique<SqlTableSource>();
  if (!env.guessColumns || !env.guessColumns(objd, s->columns) || s->columns.count == 0) return nullptr;
  for (uint32_t pos = 0; pos < s->columns.count; pos++)
    snprintf(s->columns.desc[pos].name, sizeof s->columns.desc[pos].name, "COL%u", pos + 1);
  s->segments.push_back(SqlSegment{objd, 0, 0, 0});
  s->label = std::string(kGuessedPrefix) + std::to_string(objd);
  choosePositions(*s);
  return s;
}

// The data objects the dictionary describes: every DATAOBJ# of its storage
// rows, and those of the dropped tables.
std::vector<uint32_t> describedObjects(const DictFiles& dir) {
  std::vector<uint32_t> known;
  forEachRecord(dir.file(kStorageFile), readStorageRecord, [&](const StorageRecord& st) {
    if (st.dataObjNo != 0) known.push_back(st.dataObjNo);
    return false;
  });
  droppedDataObjects(dir, known);
  std::sort(known.begin(), known.end());
  return known;
}

std::string quoted(std::string_view name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

}  // namespace

SqlSession::SqlSession(const SqlEnv& env, SqlWalkNotes& notes) : notes_(notes), tables_(env, notes) {
  if (sqlite3_open(":memory:", &db_) != SQLITE_OK) return;
  tables_.registerModule(db_);
  sqlite3_create_function(db_, "bex_number", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sqlNumberFunction,
                          nullptr, nullptr);
  sqlite3_create_function(db_, "bex_sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr, sqlExactSumStep,
                          sqlExactSumFinal);
}

SqlSession::~SqlSession() { sqlite3_close(db_); }

// Makes the table a failed statement named: owner.table in the schema of
// its owner, objd_NNN in main.
bool SqlSession::makeTable(std::string_view name) {
  if (const uint32_t objd = guessedObject(unquoted(name))) {
    auto source = resolveGuessed(tables_.env(), objd);
    if (!source) return false;
    const std::string label = source->label;
    return createTable("main", label, std::move(source));
  }
  TableName n;
  if (!splitName(name, n)) return false;
  auto source = resolveTable(tables_.env().dict, n);
  if (!source) return false;
  const std::string schema(name.substr(0, name.find('.')));
  if (std::find(attached_.begin(), attached_.end(), schema) == attached_.end()) {
    const std::string attach = "ATTACH ':memory:' AS " + quoted(schema);
    if (sqlite3_exec(db_, attach.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) return false;
    attached_.push_back(schema);
  }
  return createTable(schema, unquoted(name.substr(name.find('.') + 1)), std::move(source));
}

bool SqlSession::createTable(const std::string& schema, const std::string& table,
                             std::unique_ptr<SqlTableSource> source) {
  const size_t number = tables_.addSource(std::move(source));
  const std::string create = "CREATE VIRTUAL TABLE " + quoted(schema) + "." + quoted(table) + " USING bex(" +
                             std::to_string(number) + ")";
  return sqlite3_exec(db_, create.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Prepares the statement, making each table it names that is not made yet.
bool SqlSession::prepare(const std::string& text, sqlite3_stmt*& st) {
  static constexpr std::string_view kMissing = "no such table: ";
  for (int made = 0; made <= kMaxTablesMade; made++) {
    if (sqlite3_prepare_v2(db_, text.c_str(), -1, &st, nullptr) == SQLITE_OK) return true;
    error_ = sqlite3_errmsg(db_);
    if (error_.compare(0, kMissing.size(), kMissing) != 0) return false;
    if (!makeTable(std::string_view(error_).substr(kMissing.size()))) return false;
  }
  return false;
}

bool SqlSession::query(const std::string& text, SqlFormat format, Sink& out, const SqlResultDestination& to) {
  sqlite3_stmt* st = nullptr;
  if (!prepare(text, st)) {
    out.error("  SQL error: %s\n", error_.c_str());
    return false;
  }
  const bool ok = to ? to(st) : writeResult(st, format, out) == SQLITE_DONE;
  if (!ok && !to) out.error("  SQL error: %s\n", sqlite3_errmsg(db_));
  sqlite3_finalize(st);
  printNotes(out);
  return ok;
}

// The walkers' messages and damage lines, table by table (named when the
// statement walked more than one).
void SqlSession::printNotes(Sink& out) {
  const bool name = notes_.pending.size() > 1;
  for (const SqlWalkNote& n : notes_.pending) {
    if (n.messages.empty() && n.damage.total() == 0) continue;
    if (name) out.printf("  %s:\n", n.label.c_str());
    out.write(n.messages);
    printDamageSummary(out, n.damage);
  }
  notes_.pending.clear();
}

void SqlSession::listTables(Sink& out) {
  const DictFiles& dir = tables_.env().dict;
  dir.users().forAll([&](const UserRecord& u) {
    for (uint32_t type : {kObjTable, kObjTablePartition, kObjTableSubpartition})
      dir.objects().forOwnerType(u.userNo, type, [&](const ObjectRecord& o) {
        if (o.ownerNo != u.userNo || o.type != type || isRecycleBinName(o.name)) return false;
        if (type == kObjTable)
          out.printf("%s.%s\n", u.name, o.name);
        else
          out.printf("%s.\"%s:%s\"\n", u.name, o.name, o.subname);
        return false;
      });
    listDropped(u, out);
    return false;
  });
  listGuessed(out);
}

// The user's dropped tables no live table hides, each name once.
void SqlSession::listDropped(const UserRecord& u, Sink& out) {
  const DictFiles& dir = tables_.env().dict;
  std::vector<DroppedTable> dropped;
  if (!findDroppedTables(dir, u.userNo, dropped)) return;
  std::vector<std::string> named;
  for (const DroppedTable& t : dropped) {
    ObjectRecord live;
    live.segmentObjNo = 0;
    if (std::find(named.begin(), named.end(), t.object.name) != named.end() ||
        findTableObject(dir, u.userNo, t.object.name, "", live))
      continue;
    named.emplace_back(t.object.name);
    out.printf("%s.%s\n", u.name, t.object.name);
  }
}

// The objects of the scan's listing the dictionary does not describe.
void SqlSession::listGuessed(Sink& out) {
  const SqlEnv& env = tables_.env();
  ExtentIndex listing;
  if (!env.guessColumns || !listing.refresh(env.extentListing)) return;
  std::vector<uint32_t> objects;
  for (const ExtentRecord& r : listing.records()) objects.push_back(r.objd);
  std::sort(objects.begin(), objects.end());
  objects.erase(std::unique(objects.begin(), objects.end()), objects.end());
  const std::vector<uint32_t> known = describedObjects(env.dict);
  for (uint32_t objd : objects)
    if (objd != 0 && !std::binary_search(known.begin(), known.end(), objd))
      out.printf("%.*s%u\n", static_cast<int>(kGuessedPrefix.size()), kGuessedPrefix.data(), objd);
}

bool SqlSession::showSchema(std::string_view name, Sink& out) {
  TableName n;
  const uint32_t objd = guessedObject(unquoted(name));
  auto source = objd                ? resolveGuessed(tables_.env(), objd)
                : splitName(name, n) ? resolveTable(tables_.env().dict, n)
                                     : nullptr;
  if (!source) {
    out.error("  SQL error: no such table: %.*s\n", static_cast<int>(name.size()), name.data());
    return false;
  }
  std::string text = sqlTableDeclaration(*source);
  text.replace(0, strlen("CREATE TABLE x"), "CREATE TABLE " + std::string(name));
  out.printf("%s;\n", text.c_str());
  return true;
}

bool SqlSession::run(std::string_view text, SqlFormat format, Sink& out, const SqlResultDestination& to) {
  if (!db_) {
    out.error("  SQL error: no SQLite connection\n");
    return false;
  }
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && (isBlank(text.back()) || text.back() == ';')) text.remove_suffix(1);
  if (keywordMatch(text, ".tables")) {
    listTables(out);
    return true;
  }
  if (text.size() > 7 && keywordMatch(text.substr(0, 7), ".schema") && isBlank(text[7])) {
    std::string_view name = text.substr(8);
    while (!name.empty() && isBlank(name.front())) name.remove_prefix(1);
    return showSchema(name, out);
  }
  return query(std::string(text), format, out, to);
}

}  // namespace bex
