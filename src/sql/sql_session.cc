#include "sql/sql_session.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/cmdline.h"
#include "dict/dict_index.h"
#include "dict/dict_records.h"
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

// The table's segments and columns: a partitioned table's rows are those
// of its partitions.
std::unique_ptr<SqlTableSource> resolveTable(const DictFiles& dir, const TableName& n) {
  UserRecord user;
  if (!findUser(dir, n.owner.c_str(), user)) return nullptr;
  ObjectRecord object;
  object.segmentObjNo = 0;
  if (!findTableObject(dir, user.userNo, n.table.c_str(), n.partition.c_str(), object)) return nullptr;
  auto s = std::make_unique<SqlTableSource>();
  if (n.partition.empty()) partitionSegments(dir, user.userNo, object.name, s->segments);
  SqlSegment own;
  if (s->segments.empty() && segmentOf(dir, object.segmentObjNo, own)) s->segments.push_back(own);
  if (s->segments.empty()) return nullptr;
  s->label = std::string(user.name) + "." + object.name;
  if (!n.partition.empty()) s->label += ":" + n.partition;
  loadColumns(dir, object, n.partition.c_str(), s->columns);
  for (uint32_t pos = 0; pos < s->columns.count; pos++)
    if (s->columns.column[pos].type != ColumnTypeCode::kSkip && s->columns.desc[pos].name[0])
      s->positions.push_back(pos);
  return s;
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
}

SqlSession::~SqlSession() { sqlite3_close(db_); }

// Makes the table a failed statement named, in the schema of its owner.
bool SqlSession::makeTable(std::string_view name) {
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
  const size_t number = tables_.addSource(std::move(source));
  const std::string create = "CREATE VIRTUAL TABLE " + quoted(schema) + "." +
                             quoted(name.substr(name.find('.') + 1)) + " USING bex(" + std::to_string(number) + ")";
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

bool SqlSession::query(const std::string& text, SqlFormat format, Sink& out) {
  sqlite3_stmt* st = nullptr;
  if (!prepare(text, st)) {
    out.error("  SQL error: %s\n", error_.c_str());
    return false;
  }
  const int rc = writeResult(st, format, out);
  sqlite3_finalize(st);
  const bool ok = rc == SQLITE_DONE;
  if (!ok) out.error("  SQL error: %s\n", sqlite3_errmsg(db_));
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
    return false;
  });
}

bool SqlSession::showSchema(std::string_view name, Sink& out) {
  TableName n;
  auto source = splitName(name, n) ? resolveTable(tables_.env().dict, n) : nullptr;
  if (!source) {
    out.error("  SQL error: no such table: %.*s\n", static_cast<int>(name.size()), name.data());
    return false;
  }
  std::string text = sqlTableDeclaration(*source);
  text.replace(0, strlen("CREATE TABLE x"), "CREATE TABLE " + std::string(name));
  out.printf("%s;\n", text.c_str());
  return true;
}

bool SqlSession::run(std::string_view text, SqlFormat format, Sink& out) {
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
  return query(std::string(text), format, out);
}

}  // namespace bex
