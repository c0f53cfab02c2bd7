#include "commands/sql/sql_cli.h"

#include <ftw.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/dict_directory.h"
#include "commands/datafile/datafile_commands.h"
#include "commands/recover/recover_road.h"
#include "commands/scan/scan_commands.h"
#include "commands/sql/sql_command.h"
#include "commands/unload/unload_command.h"
#include "run/run_context.h"

namespace bex {

namespace {

// The queries of the command line in their order: -e texts and -f files.
struct SqlQuerySource {
  bool file;
  std::string text;  // the query, or the script's path
};

struct SqlRequest {
  std::vector<SqlQuerySource> queries;
  RecoverRequest data;  // the data files, or -l
  SqlFormat format = isatty(STDOUT_FILENO) ? SqlFormat::kTable : SqlFormat::kCsv;
  bool verbose = false;
};

int badArguments(const char* fmt, const char* arg) {
  fprintf(stderr, "bex sql: ");
  fprintf(stderr, fmt, arg);
  fprintf(stderr,
          "\nUsage: bex sql [-f script] [-e \"query\"] [-o csv|json|table] [-v] FILE... | -l LISTFILE\n");
  return kSqlNoLayout;
}

// Standard output of the run: what the statements that learn the layout
// print is kept aside (shown on standard error when they fail, or with
// -v); the answers of the queries go to standard output.
class SqlConsole : public Sink {
 public:
  SqlConsole() : Sink(buf_, sizeof buf_) {}
  ~SqlConsole() override { flush(); }
  void answer() {
    flush();
    answering_ = true;
  }
  const std::string& setupText() const { return setup_; }

 protected:
  bool emit(const char* p, size_t n) override {
    if (!answering_) {
      setup_.append(p, n);
      return true;
    }
    return fwrite(p, 1, n, stdout) == n;
  }

 private:
  bool answering_ = false;
  std::string setup_;
  char buf_[65536];
};

// OPEN of the files, the scan that lists the segments and LOB blocks, and
// the dictionary when the SYSTEM file is among them.
bool learnLayout(RunContext& rc, const std::string& cfg) {
  runTypedStatement(rc, cmdOpen, "OPEN " + cfg);
  if (readableFiles(rc.registry) == 0) return false;
  runTypedStatement(rc, cmdScan, "SCAN DATABASE");
  if (hasSystemFile(rc.registry)) {
    runTypedStatement(rc, cmdUnload, "UNLOAD TABLE DICT$");
    rc.dictDir.recheck();
  }
  return true;
}

// The queries of a script or of standard input: each ends with ";" at the
// end of a line; a line starting with "." is a query of its own and one
// starting with "--" a comment.
bool runScript(RunContext& rc, FILE* f, SqlFormat format) {
  bool ok = true;
  std::string query;
  char line[8192];
  while (fgets(line, sizeof line, f)) {
    std::string_view l(line);
    while (!l.empty() && (l.back() == '\n' || l.back() == '\r' || l.back() == ' ' || l.back() == '\t'))
      l.remove_suffix(1);
    const size_t lead = l.find_first_not_of(" \t");
    if (lead == std::string_view::npos || l.substr(lead, 2) == "--") continue;
    if (!query.empty()) query += '\n';
    query += l;
    if (l.back() != ';' && !(query.size() == l.size() && l[lead] == '.')) continue;
    ok &= runSql(rc, query, format);
    query.clear();
  }
  if (!query.empty()) ok &= runSql(rc, query, format);
  return ok;
}

bool runQueries(RunContext& rc, const SqlRequest& req) {
  if (req.queries.empty()) return runScript(rc, stdin, req.format);
  bool ok = true;
  for (const SqlQuerySource& q : req.queries) {
    if (!q.file) {
      ok &= runSql(rc, q.text, req.format);
      continue;
    }
    FILE* f = fopen(q.text.c_str(), "r");
    if (!f) {
      fprintf(stderr, "bex sql: cannot open script file '%s'\n", q.text.c_str());
      ok = false;
      continue;
    }
    ok &= runScript(rc, f, req.format);
    fclose(f);
  }
  return ok;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

int answer(const SqlRequest& req, const std::string& work) {
  const std::string& list = req.data.listFile;
  const std::string cfg = list.empty() ? writeConfiguration(req.data, work) : absolutePath(list);
  const std::string dictDir = work + "/" + DictDirectory::kDefault;
  if (cfg.empty() || !makeDirectory(dictDir)) {
    fprintf(stderr, "bex sql: cannot write into %s\n", work.c_str());
    return kSqlNoLayout;
  }
  SqlConsole console;
  RunContext rc(stdin, console, dictDir);
  const bool learnt = learnLayout(rc, cfg);
  console.flush();
  if (!learnt || req.verbose) fputs(console.setupText().c_str(), stderr);
  if (!learnt) {
    fprintf(stderr, "bex sql: nothing could be read: no data file among them opened with a block of Oracle's\n");
    return kSqlNoLayout;
  }
  console.answer();
  const bool ok = runQueries(rc, req);
  console.flush();
  return ok ? kSqlAnswered : kSqlQueryFailed;
}

}  // namespace

int sqlMain(int argc, char** argv) {
  SqlRequest req;
  for (int i = 0; i < argc; i++) {
    const char* a = argv[i];
    const bool takesValue = !strcmp(a, "-f") || !strcmp(a, "-e") || !strcmp(a, "-o") || !strcmp(a, "-l");
    if (takesValue && i + 1 == argc) return badArguments("%s needs a value", a);
    if (!strcmp(a, "-f") || !strcmp(a, "-e")) {
      req.queries.push_back({a[1] == 'f', argv[++i]});
    } else if (!strcmp(a, "-o")) {
      if (!parseSqlFormat(argv[++i], req.format)) return badArguments("-o takes table, csv or json, not '%s'", argv[i]);
    } else if (!strcmp(a, "-v")) {
      req.verbose = true;
    } else if (!takeDataFile(argv, i, req.data)) {
      return badArguments("unknown option '%s'", a);
    }
  }
  if (const char* problem = dataFilesProblem(req.data)) return badArguments("%s", problem);
  const char* tmp = getenv("TMPDIR");
  std::string work = std::string(tmp && *tmp ? tmp : "/tmp") + "/bexsql.XXXXXX";
  if (!mkdtemp(work.data())) return badArguments("cannot create a working directory %s", work.c_str());
  const int status = answer(req, work);
  nftw(work.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
  return status;
}

}  // namespace bex
