// One SQL statement over the data files: a SQLite connection whose tables
// are made from the dictionary as the statement names them (owner.table,
// owner."TABLE:PARTITION"), each owner an attached schema of its own.
// After the result come the walkers' messages and the damage line of each
// table walked, as UNLOAD prints them.
#pragma once
#include <sqlite3.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/sink.h"
#include "sql/sql_output.h"
#include "sql/sql_table.h"

namespace bex {

// Where the rows of a query go instead of the console (SQL ... TO file):
// steps the statement to its end; false after its own message when that
// failed.
using SqlResultDestination = std::function<bool(sqlite3_stmt* st)>;

class SqlSession {
 public:
  // notes: kept by the caller from statement to statement (bex_damage).
  SqlSession(const SqlEnv& env, SqlWalkNotes& notes);
  ~SqlSession();
  SqlSession(const SqlSession&) = delete;
  SqlSession& operator=(const SqlSession&) = delete;

  // A query, ".tables" or ".schema owner.table"; false when it failed (the
  // message is printed).
  bool run(std::string_view text, SqlFormat format, Sink& out, const SqlResultDestination& to = {});

 private:
  bool query(const std::string& text, SqlFormat format, Sink& out, const SqlResultDestination& to);
  bool prepare(const std::string& text, sqlite3_stmt*& st);
  bool makeTable(std::string_view name);
  bool createTable(const std::string& schema, const std::string& table, std::unique_ptr<SqlTableSource> source);
  void listTables(Sink& out);
  void listDropped(const UserRecord& u, Sink& out);
  void listGuessed(Sink& out);
  bool showSchema(std::string_view name, Sink& out);
  void printNotes(Sink& out);

  sqlite3* db_ = nullptr;
  SqlWalkNotes& notes_;
  SqlTables tables_;
  std::vector<std::string> attached_;
  std::string error_;  // of the last statement that did not prepare
};

}  // namespace bex
