// The road of bex recover: every step is a statement run by its own handler
// on one RunContext, as if typed, its output in the log; what the recovery
// report notes of each statement gives the counts of the summary.
#include "commands/recover/recover_road.h"

#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "commands/datafile/datafile_commands.h"
#include "commands/dict/dict_commands.h"
#include "commands/recover/recover.h"
#include "commands/report/report_command.h"
#include "commands/scan/scan_commands.h"
#include "commands/scan/table_guess.h"
#include "commands/scan/truncated.h"
#include "commands/unload/unload_command.h"
#include "base/dict_directory.h"
#include "dict/dictionary.h"
#include "dict/dict_index.h"
#include "dict/dict_records.h"
#include "run/run_context.h"
#include "base/connection_string.h"
#include "pg/pg_output.h"

namespace bex {

namespace {

using Handler = std::function<void(RunContext& rc)>;

volatile sig_atomic_t gInterrupted = 0;

// The first Ctrl-C asks the road to stop after the statement in hand; a
// second one ends the program at once.
void onInterrupt(int) {
  gInterrupted = 1;
  signal(SIGINT, SIG_DFL);
}

// SYS, SYSTEM and the schemas Oracle's installer and its options create
// (11g to 23ai); APEX_ and FLOWS_ schemas carry a version in their name.
constexpr const char* kOracleSchemas[] = {
    "SYS", "SYSTEM", "OUTLN", "DBSNMP", "APPQOSSYS", "AUDSYS", "CTXSYS", "DBSFWUSER", "DIP", "DVSYS", "DVF",
    "GGSYS", "GSMADMIN_INTERNAL", "GSMCATUSER", "GSMUSER", "GSMROOTUSER", "LBACSYS", "MDDATA", "MDSYS", "OJVMSYS",
    "OLAPSYS", "ORACLE_OCM", "ORDDATA", "ORDPLUGINS", "ORDSYS", "REMOTE_SCHEDULER_AGENT", "SI_INFORMTN_SCHEMA",
    "SYS$UMF", "SYSBACKUP", "SYSDG", "SYSKM", "SYSRAC", "WMSYS", "XDB", "XS$NULL", "ANONYMOUS", "PUBLIC",
    "APEX_PUBLIC_USER", "EXFSYS", "MGMT_VIEW", "SYSMAN", "TSMSYS", "OWBSYS", "OWBSYS_AUDIT", "DMSYS", "WKSYS",
    "WK_TEST", "WKPROXY", "SPATIAL_CSW_ADMIN_USR", "SPATIAL_WFS_ADMIN_USR", "DGPDB_INT", "DBSNMP", "PDBADMIN",
    "GSMUSER", "OPS$ORACLE", "ORDS_METADATA", "ORDS_PUBLIC_USER", "DVSYS", "LBACSYS",
};

// The statements' output: into the log file, and onto the console too
// while echo is on.
class RecoverLog : public Sink {
 public:
  RecoverLog(FILE* log, Sink& console) : Sink(buf_, sizeof buf_), log_(log), console_(console) {}
  ~RecoverLog() override { flush(); }
  void echo(bool on) {
    flush();
    echo_ = on;
  }

 protected:
  bool emit(const char* p, size_t n) override {
    if (echo_) {
      console_.write(p, n);
      console_.flush();
    }
    return !log_ || fwrite(p, 1, n, log_) == n;
  }

 private:
  FILE* log_;
  Sink& console_;
  bool echo_ = false;
  char buf_[16384];
};

// What one unload lost.
struct Losses {
  std::string text;
  void add(uint64_t n, const char* what) {
    if (!n) return;
    if (!text.empty()) text += ", ";
    text += std::to_string(n) + " " + what;
  }
};

// The unloads of one kind: planned, done, and what they gave.
struct Tally {
  uint64_t tables = 0, planned = 0, rows = 0, lobValues = 0;
};

struct Road {
  Road(RunContext& context, RecoverLog& logSink, Sink& consoleSink, std::string outputDir)
      : rc(context), log(logSink), console(consoleSink), dir(std::move(outputDir)) {}
  RunContext& rc;
  RecoverLog& log;
  Sink& console;
  std::string dir;     // the output directory, absolute
  std::string subdir;  // the directory the unloads write into, under dir ("" or "OWNER/")
  Tally live;                   // the tables of the dictionary, or the guessed objects
  Tally truncated, dropped;     // old incarnations of truncated tables; dropped tables
  Tally* tally = &live;         // the one the unloads in hand count into
  bool searchedLost = false;    // LIST TRUNCATED and LIST DROPPED were run
  uint64_t damagedBlocks = 0;
  std::vector<std::string> users;     // owners whose tables were unloaded
  std::vector<std::string> lost;      // what was not recovered, and why
  std::vector<std::string> files;     // written, under dir
  bool toPg = false;                  // the dictionary's tables go into PG_TARGET
  unsigned connections = 1;           // at most this many tables load at once (--threads)
  std::string cfg;                    // the OPEN configuration file of the road
  std::string openedIn;               // the directory OPEN ran in (names in cfg are relative to it)
  std::vector<std::string> pgTables;  // what became of each of them there
  bool failed = false;                // a statement failed
  bool interrupted = false;

  void wrote(const std::string& name) {
    struct stat st;
    if (stat(name.c_str(), &st) == 0) files.push_back(subdir + name);
  }
};

// Runs one statement on rc as typed: echoed into its output, its handler
// called, ended as the command loop ends it. look sees what the recovery
// report noted of it (an entry that is not open was not begun by this
// statement). The report's line is written under reportLock when given
// (contexts of other threads write into the same report). False when the
// statement failed.
template <class Look>
bool runStatement(RunContext& rc, Handler handler, const std::string& text, Look look,
                  std::mutex* reportLock = nullptr) {
  rc.out.printf("BEX> %s\n", text.c_str());
  rc.cmd.set(text);
  rc.resetStatement();
  rc.cmd.nextToken();
  handler(rc);
  ReportEntry& e = rc.report.entry();
  if (e.open) look(e);
  bool failed;
  if (reportLock) {
    std::lock_guard<std::mutex> hold(*reportLock);
    failed = rc.endStatement();
  } else {
    failed = rc.endStatement();
  }
  rc.out.flush();
  return !failed;
}

// One statement of the road, on its RunContext; the files it wrote noted.
template <class Look>
bool step(Road& r, Handler handler, const std::string& text, Look look) {
  const bool ok = runStatement(r.rc, handler, text, [&](const ReportEntry& e) {
    look(e);
    for (const std::string& f : e.files) r.wrote(f);
  });
  if (!ok) r.failed = true;
  if (gInterrupted) r.interrupted = true;
  return ok;
}

bool step(Road& r, Handler handler, const std::string& text) {
  return step(r, handler, text, [](const ReportEntry&) {});
}

}  // namespace

bool runTypedStatement(RunContext& rc, void (*handler)(RunContext& rc), const std::string& text) {
  return runStatement(rc, handler, text, [](const ReportEntry&) {});
}

bool takeDataFile(char** argv, int& i, RecoverRequest& req) {
  const char* a = argv[i];
  if (!strcmp(a, "-l"))
    req.listFile = argv[++i];
  else if (a[0] == '-' && a[1])
    return false;
  else
    req.files.emplace_back(a);
  return true;
}

const char* dataFilesProblem(const RecoverRequest& req) {
  if (req.files.empty() != req.listFile.empty()) return nullptr;
  return req.files.empty() ? "no data files given" : "give data files or -l, not both";
}

bool makeDirectory(const std::string& path) {
  for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    const std::string part = path.substr(0, at);
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (at == std::string::npos) break;
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string absolutePath(const std::string& path) {
  char buf[PATH_MAX];
  if (realpath(path.c_str(), buf)) return buf;
  if (!path.empty() && path[0] == '/') return path;
  return getcwd(buf, sizeof buf) ? std::string(buf) + "/" + path : path;
}

// A file or directory name made of a dictionary name.
std::string fileNameOf(const char* name) {
  std::string s(name);
  for (char& c : s)
    if (c == '/' || c == ' ') c = '_';
  return s;
}

// The OPEN configuration file naming the data files of the command line.
std::string writeConfiguration(const RecoverRequest& req, const std::string& dir) {
  const std::string cfg = dir + "/bexrecover.cfg";
  FILE* f = fopen(cfg.c_str(), "w");
  if (!f) return "";
  for (const std::string& file : req.files) fprintf(f, "%s\n", absolutePath(file).c_str());
  return fclose(f) == 0 ? cfg : "";
}

uint32_t readableFiles(const DataFileRegistry& reg) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < reg.count; i++) n += reg.slots[i].usable() && (reg.slots[i].ver & 0x0f) == 2;
  return n;
}

// A file of the SYSTEM tablespace (number 0) whose header was read.
bool hasSystemFile(const DataFileRegistry& reg) {
  for (uint32_t i = 0; i < reg.count; i++) {
    const DataFile& f = reg.slots[i];
    if (f.usable() && f.ts == 0 && f.headerBlocks != 0 && (f.ver & 0x0f) == 2) return true;
  }
  return false;
}

namespace {

struct UnloadLine {
  std::string label, statement;
};

// What one unload gave, for the summary.
struct UnloadOutcome {
  bool ran = false, ok = false;
  uint64_t rows = 0, lobs = 0, refused = 0;
  Losses losses;
  std::vector<std::string> files;
  std::string output;  // the statement's output, of a context of its own
};

UnloadOutcome runUnload(RunContext& rc, const std::string& statement, std::mutex* reportLock = nullptr) {
  UnloadOutcome u;
  u.ran = true;
  u.ok = runStatement(
      rc, cmdUnload, statement,
      [&](const ReportEntry& e) {
        u.rows = e.rows, u.lobs = e.lobValues, u.files = e.files;
        for (const auto& d : e.damage)
          if (d.first == kPgRefusedRows) u.refused = d.second;
        u.losses.add(e.rejected.blocks, "damaged blocks");
        u.losses.add(e.rowsRejected, "rows in them");
        u.losses.add(e.unreadable.blocks, "unreadable blocks");
        u.losses.add(e.lobErrors, "LOB values not whole");
        u.losses.add(e.chainsCut, "chained rows cut");
        uint64_t damage = 0;
        for (const auto& d : e.damage) damage += d.first == kPgRefusedRows ? 0 : d.second;
        u.losses.add(damage, "damaged row structures");
      },
      reportLock);
  if (!u.ok) u.losses.add(1, "failing statement (see bexrecover.log)");
  return u;
}

// One unload's counts into the summary, its losses named.
void account(Road& r, const UnloadLine& line, size_t index, UnloadOutcome& u) {
  for (const std::string& f : u.files) r.wrote(f);
  if (!u.ok) r.failed = true;
  const bool toPg = r.toPg && line.statement.find(" TO PG_TARGET") != std::string::npos;
  if (toPg) {
    const std::string fate = u.ok ? std::to_string(u.rows - u.refused) + " rows loaded, " +
                                        std::to_string(u.refused) + " rejected" +
                                        (u.refused ? " (" + r.subdir + "*_pg.rej)" : "")
                                  : "not loaded (rolled back or refused, see bexrecover.log)";
    r.pgTables.push_back(line.label + ": " + fate);
    if (!u.ok) u.rows = 0;
  }
  u.losses.add(u.refused, "rows refused by PostgreSQL");
  Tally& t = *r.tally;
  t.tables++, t.rows += u.rows, t.lobValues += u.lobs;
  r.console.printf("  [%zu/%llu] %s: %llu rows, %llu LOB values%s%s\n", index, (unsigned long long)t.planned,
                   line.label.c_str(), (unsigned long long)u.rows, (unsigned long long)u.lobs,
                   u.losses.text.empty() ? "" : "; lost: ", u.losses.text.c_str());
  r.console.flush();
  if (!u.losses.text.empty()) r.lost.push_back(line.label + ": " + u.losses.text);
}


// A RunContext of its own for loading tables beside the road's: the data
// files opened again (from the directory the road opened them in), the
// road's settings and conversions; its output is gathered and handed to the
// road's log statement by statement.
struct PgLoader {
  explicit PgLoader(Road& r) : rc(stdin, out, r.rc.dictDir.path()) {
    const RunContext& road = r.rc;
    char here[PATH_MAX];
    opened = getcwd(here, sizeof here) && chdir(r.openedIn.c_str()) == 0;
    opened = opened && runStatement(rc, cmdOpen, "OPEN " + r.cfg, [](const ReportEntry&) {});
    opened = chdir(here) == 0 && opened && readableFiles(rc.registry) == readableFiles(road.registry);
    static_cast<ReadSettings&>(rc.bc) = road.bc;
    rc.bc.threads = 1;
    rc.setBlockSize(road.bc.blockSize);
    rc.settings = road.settings;
    opened = rc.conversions.openLike(road.conversions) && opened;
    rc.pgTablesLoaded = road.pgTablesLoaded;
    out.clear();
  }
  StringSink out;
  RunContext rc;
  bool opened = false;  // the same files as the road's are open
};

// The lines of each table, in the order of lines (the partitions of a
// table are lines of their own, labelled "owner.table partition"); empty
// when a line does not load into PostgreSQL.
std::vector<std::vector<size_t>> linesByTable(const std::vector<UnloadLine>& lines, std::vector<std::string>& owners) {
  std::vector<std::vector<size_t>> tables;
  std::map<std::string, size_t> byName;
  for (size_t i = 0; i < lines.size(); i++) {
    if (lines[i].statement.find(" TO PG_TARGET") == std::string::npos) return {};
    const std::string name = lines[i].label.substr(0, lines[i].label.find(' '));
    const auto [at, added] = byName.emplace(name, tables.size());
    if (added) {
      tables.emplace_back();
      owners.push_back(name.substr(0, name.find('.')));
    }
    tables[at->second].push_back(i);
  }
  return tables;
}

// The tables shared out among the loaders' threads, one table at a time,
// and the outcome of each line handed to the road in the order of lines.
class SharedLoads {
 public:
  SharedLoads(const std::vector<UnloadLine>& lines, std::vector<std::vector<size_t>> tables)
      : lines_(lines), tables_(std::move(tables)), outcomes_(lines.size()), ended_(lines.size(), false) {}

  // A loader's thread: tables until none is left.
  void work(PgLoader& l) {
    for (size_t table = take(); table < tables_.size(); table = take())
      for (const size_t i : tables_[table]) {
        UnloadOutcome u;
        if (!gInterrupted) {
          u = runUnload(l.rc, lines_[i].statement, &reportLock_);
          u.output = l.out.str();
          l.out.clear();
        }
        std::lock_guard<std::mutex> hold(lock_);
        outcomes_[i] = std::move(u);
        ended_[i] = true;
        changed_.notify_all();
      }
  }
  // The outcome of line i, once it has ended.
  UnloadOutcome outcome(size_t i) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return ended_[i]; });
    return std::move(outcomes_[i]);
  }

 private:
  size_t take() {
    std::lock_guard<std::mutex> hold(lock_);
    return next_++;
  }

  const std::vector<UnloadLine>& lines_;
  const std::vector<std::vector<size_t>> tables_;
  std::vector<UnloadOutcome> outcomes_;
  std::vector<bool> ended_;
  size_t next_ = 0;
  std::mutex lock_, reportLock_;
  std::condition_variable changed_;
};

// The unloads into PostgreSQL on up to r.connections connections at once,
// each by a PgLoader on a thread of its own. The partitions of one table
// are loaded one after the other by the same loader (the first creates the
// table); the owners' schemas are created first, as concurrent creations
// of one schema fail. The outcomes are counted, and the statements' output
// logged, in the order of lines whatever the order they end in. False
// (nothing done) when the lines are not for that.
bool parallelLoads(Road& r, const std::vector<UnloadLine>& lines, size_t& done) {
  std::vector<std::string> owners;
  std::vector<std::vector<size_t>> tables = linesByTable(lines, owners);
  const size_t threads = std::min<size_t>(r.connections, tables.size());
  if (threads < 2) return false;
  std::string why;
  if (!pgCreateSchemas(r.rc.settings.pgTarget, owners, why)) {
    r.log.printf("  PostgreSQL refused the schemas (%s): the tables load one after the other\n", why.c_str());
    return false;
  }
  std::vector<std::unique_ptr<PgLoader>> loaders;
  for (size_t t = 0; t < threads; t++) {
    loaders.push_back(std::make_unique<PgLoader>(r));
    if (!loaders.back()->opened) {
      r.log.printf("  The data files do not open again for a second connection: the tables load one after the other\n");
      return false;
    }
  }
  SharedLoads shared(lines, std::move(tables));
  std::vector<std::thread> running;
  for (auto& l : loaders) running.emplace_back([&shared, &l] { shared.work(*l); });
  for (size_t i = 0; i < lines.size(); i++) {
    UnloadOutcome u = shared.outcome(i);
    if (!u.ran) {
      r.interrupted = true;
      continue;
    }
    r.log.write(u.output.data(), u.output.size());
    account(r, lines[i], ++done, u);
  }
  for (std::thread& t : running) t.join();
  r.log.flush();
  return true;
}

// One directory of unloads: created, entered, its statements run, its load
// scripts written.
void unloadInto(Road& r, const std::string& name, const std::vector<UnloadLine>& lines, size_t& done) {
  const std::string sub = r.dir + "/" + name;
  if (!makeDirectory(sub) || chdir(sub.c_str()) != 0) {
    r.lost.push_back(name + ": the directory " + sub + " cannot be created");
    r.failed = true;
    return;
  }
  r.subdir = name + "/";
  r.rc.unloaded = UnloadHistory{};
  if (!parallelLoads(r, lines, done))
    for (const UnloadLine& l : lines) {
      if (gInterrupted) {
        r.interrupted = true;
        break;
      }
      UnloadOutcome u = runUnload(r.rc, l.statement);
      if (gInterrupted) r.interrupted = true;
      account(r, l, ++done, u);
    }
  if (!r.rc.unloaded.tables().empty() && step(r, cmdLoad, "LOAD SCRIPT loadall.bat"))
    for (const char* f : {"loadall.bat", "loadall.sh", "loadall_pg.sql"}) r.wrote(f);
  r.subdir.clear();
  if (chdir(r.dir.c_str()) != 0) r.failed = true;
}

// The UNLOAD TABLE lines of one user's tables, partitions and
// subpartitions, as LIST TABLE writes them; a table without a storage row
// (not the parent of partitions) is named as not recovered.
std::vector<UnloadLine> tableLines(Road& r, const UserRecord& user) {
  const DictFiles& dict = r.rc.dictDir;
  std::vector<UnloadLine> lines;
  std::vector<std::string> partitioned;
  for (uint32_t type : {kObjTableSubpartition, kObjTablePartition, kObjTable}) {
    dict.objects().forOwnerType(user.userNo, type, [&](const ObjectRecord& o) {
      if (o.ownerNo != user.userNo || o.type != type || isRecycleBinName(o.name)) return false;
      const std::string label = std::string(user.name) + "." + o.name + (o.subname[0] ? " " : "") + o.subname;
      StorageRecord st;
      if (!findStorage(dict, o.objNo, st) || st.dataObjNo == 0) {
        if (type != kObjTable) partitioned.emplace_back(o.name);
        bool parent = false;
        for (const std::string& p : partitioned) parent |= p == o.name;
        if (!parent && type == kObjTable) r.lost.push_back(label + ": no storage row in the dictionary");
        return false;
      }
      if (type != kObjTable) partitioned.emplace_back(o.name);
      char text[kStatementMax];
      const std::string file = fileNameOf(user.name) + "_" + fileNameOf(o.name) + "_" + std::to_string(st.dataObjNo);
      const std::string to = r.toPg ? std::string(kPgTargetWord) : file + ".txt";
      if (st.cluster)
        snprintf(text, sizeof text, "UNLOAD TABLE %s.%s OBJECT %u CLUSTER %u TO %s", user.name, o.name,
                 st.dataObjNo, st.cluster, to.c_str());
      else
        snprintf(text, sizeof text, "UNLOAD TABLE %s.%s OBJECT %u TO %s", user.name, o.name, st.dataObjNo,
                 to.c_str());
      lines.push_back({label, text});
      return false;
    });
  }
  return lines;
}

void dictionaryRoad(Road& r, const std::vector<UserRecord>& users) {
  std::vector<std::pair<std::string, std::vector<UnloadLine>>> plan;
  for (const UserRecord& u : users) {
    if (isOracleSchema(u.name)) continue;
    std::vector<UnloadLine> lines = tableLines(r, u);
    if (lines.empty()) continue;
    r.live.planned += lines.size();
    plan.emplace_back(fileNameOf(u.name), std::move(lines));
  }
  r.console.printf("Unloading %llu tables of %zu users.\n", (unsigned long long)r.live.planned, plan.size());
  size_t done = 0;
  for (const auto& [owner, lines] : plan) {
    if (r.interrupted) break;
    r.users.push_back(owner);
    unloadInto(r, owner, lines, done);
  }
}

// The statement with its TO file named without a directory: its files go
// into the directory the unload runs in.
std::string toHere(std::string text) {
  const size_t to = text.rfind(" TO ");
  if (to == std::string::npos) return text;
  const size_t name = to + 4, slash = text.find_last_of("/\\");
  if (slash != std::string::npos && slash >= name) text.erase(name, slash + 1 - name);
  return text;
}

// The UNLOAD lines of a SCAN TABLE, LIST TRUNCATED or LIST DROPPED output
// (a line may go on over the next ones up to its ";"), each labelled with
// its TO file.
std::vector<UnloadLine> unloadLines(const char* path) {
  std::vector<UnloadLine> lines;
  FILE* f = fopen(path, "r");
  if (!f) return lines;
  char buf[4096];
  std::string text;
  bool in = false;
  while (fgets(buf, sizeof buf, f)) {
    std::string_view l(buf);
    while (!l.empty() && (l.front() == ' ' || l.front() == '\t')) l.remove_prefix(1);
    if (!in && l.substr(0, 7) != "UNLOAD ") continue;
    in = true;
    const size_t semi = l.find(';');
    const std::string_view part = l.substr(0, semi == std::string_view::npos ? l.find('\n') : semi);
    text += text.empty() ? "" : " ";
    text += part;
    if (semi == std::string_view::npos) continue;
    text = toHere(text);
    const size_t to = text.rfind(" TO ");
    std::string label = to == std::string::npos ? text : text.substr(to + 4);
    label = label.substr(0, label.find('.'));
    lines.push_back({label, text});
    text.clear();
    in = false;
  }
  fclose(f);
  return lines;
}

void guessRoad(Road& r) {
  const std::string sub = r.dir + "/NODICT";
  r.console.printf("No dictionary: guessing the columns of every object (SCAN TABLE).\n");
  if (!makeDirectory(sub) || chdir(sub.c_str()) != 0) {
    r.lost.push_back("every object: the directory " + sub + " cannot be created");
    r.failed = true;
    return;
  }
  step(r, cmdScan, "SCAN TABLE TO bexguess.sql");
  const std::vector<UnloadLine> lines = unloadLines("bexguess.sql");
  if (chdir(r.dir.c_str()) != 0) r.failed = true;
  r.files.push_back("NODICT/bexguess.sql");
  r.live.planned = lines.size();
  r.console.printf("Unloading %zu objects with guessed columns.\n", lines.size());
  size_t done = 0;
  if (!r.interrupted) unloadInto(r, "NODICT", lines, done);
}

constexpr const char* kTruncatedFolder = "truncated";
constexpr const char* kDroppedFolder = "dropped";

// LIST TRUNCATED is a LIST of its own (it needs the scan listing); the
// users' LISTs share what does not depend on the user.
Handler listTruncated(std::shared_ptr<TruncatedClaims>& claims) {
  return [&claims](RunContext& rc) {
    rc.cmd.nextToken();
    cmdListTruncated(rc, &claims);
  };
}

// The tables a TRUNCATE or a DROP left behind: each user's listing (LIST
// TRUNCATED or LIST DROPPED) written into the folder, and the UNLOAD lines
// it holds run there. A folder with nothing in it is removed.
void lostRoad(Road& r, const std::vector<UserRecord>& users, const char* folder, const char* list, Handler handler,
              Tally& tally) {
  const std::string sub = r.dir + "/" + folder;
  if (!makeDirectory(sub) || chdir(sub.c_str()) != 0) {
    r.lost.push_back(std::string(list) + " tables: the directory " + sub + " cannot be created");
    r.failed = true;
    return;
  }
  std::vector<UnloadLine> lines;
  for (const UserRecord& u : users) {
    if (isOracleSchema(u.name) || r.interrupted) continue;
    const std::string listing = std::string("list_") + fileNameOf(u.name) + ".sql";
    step(r, handler, std::string("LIST ") + list + " " + u.name + " TO " + listing);
    std::vector<UnloadLine> found = unloadLines(listing.c_str());
    if (found.empty()) {
      unlink(listing.c_str());
      continue;
    }
    r.files.push_back(std::string(folder) + "/" + listing);
    lines.insert(lines.end(), found.begin(), found.end());
  }
  if (chdir(r.dir.c_str()) != 0) r.failed = true;
  if (lines.empty()) {
    rmdir(sub.c_str());
    return;
  }
  tally.planned = lines.size();
  r.console.printf("Unloading %zu %s tables into %s/.\n", lines.size(), folder, folder);
  r.tally = &tally;
  size_t done = 0;
  if (!r.interrupted) unloadInto(r, folder, lines, done);
  r.tally = &r.live;
}

void printLost(Sink& c, const char* key, const Tally& t, const char* what, const char* folder) {
  if (t.planned == 0) {
    c.printf("  %-15s none found\n", key);
    return;
  }
  c.printf("  %-15s %llu of %llu %s, %llu rows, %llu LOB values (%s/)\n", key, (unsigned long long)t.tables,
           (unsigned long long)t.planned, what, (unsigned long long)t.rows, (unsigned long long)t.lobValues, folder);
}

std::vector<UserRecord> dictionaryUsers(const DictFiles& dict) {
  std::vector<UserRecord> users;
  dict.users().forAll([&](const UserRecord& u) {
    users.push_back(u);
    return false;
  });
  return users;
}

void printSummary(Road& r) {
  Sink& c = r.console;
  std::string names;
  for (const std::string& u : r.users) names += (names.empty() ? "" : ", ") + u;
  c.printf("\nRecovered into %s%s\n", r.dir.c_str(), r.interrupted ? " (interrupted)" : "");
  c.printf("  users           %zu%s%s%s\n", r.users.size(), names.empty() ? "" : " (", names.c_str(),
           names.empty() ? "" : ")");
  c.printf("  tables          %llu of %llu\n", (unsigned long long)r.live.tables, (unsigned long long)r.live.planned);
  c.printf("  rows            %llu\n", (unsigned long long)r.live.rows);
  c.printf("  LOB values      %llu\n", (unsigned long long)r.live.lobValues);
  if (r.searchedLost) {
    printLost(c, "truncated", r.truncated, "old incarnations", kTruncatedFolder);
    printLost(c, "dropped", r.dropped, "tables", kDroppedFolder);
  }
  c.printf("  damaged blocks  %llu\n", (unsigned long long)r.damagedBlocks);
  if (r.toPg) c.printf("Into PostgreSQL %s:\n", maskPgPasswords(r.rc.settings.pgTarget).c_str());
  for (const std::string& l : r.pgTables) c.printf("  %s\n", l.c_str());
  for (const Tally* t : {&r.live, &r.truncated, &r.dropped})
    if (r.interrupted && t->tables < t->planned)
      r.lost.push_back(std::to_string(t->planned - t->tables) + " tables: interrupted before their unload");
  if (!r.lost.empty()) c.printf("Not recovered:\n");
  for (const std::string& l : r.lost) c.printf("  %s\n", l.c_str());
  if (r.interrupted) {
    c.printf("Files written (each complete):\n");
    for (const std::string& f : r.files) c.printf("  %s\n", f.c_str());
  }
  c.printf("Report: %s/bexreport.html; the statements' output: %s/bexrecover.log\n", r.dir.c_str(), r.dir.c_str());
  c.flush();
}

int recover(Road& r, const std::string& cfg) {
  RunContext& rc = r.rc;
  r.log.echo(true);
  step(r, cmdOpen, "OPEN " + cfg);
  r.log.echo(false);
  if (readableFiles(rc.registry) == 0) {
    r.console.printf("Nothing could be read: no data file among them opened with a block of Oracle's.\n");
    return kNothingRecovered;
  }
  if (chdir(r.dir.c_str()) != 0) return kNothingRecovered;
  uint64_t blocksRead = 0;
  step(r, cmdScan, "SCAN DATABASE", [&](const ReportEntry& e) {
    blocksRead = e.blocksRead;
    r.damagedBlocks = e.rejected.blocks + e.unreadable.blocks;
  });
  r.console.printf("Scanned the files: %llu blocks read, %llu damaged.\n", (unsigned long long)blocksRead,
                   (unsigned long long)r.damagedBlocks);
  std::vector<UserRecord> users;
  if (!r.interrupted && hasSystemFile(rc.registry)) {
    r.console.printf("The SYSTEM file is among them: unloading the dictionary.\n");
    r.log.echo(true);
    step(r, cmdUnload, "UNLOAD TABLE DICT$");
    r.log.echo(false);
    rc.dictDir.recheck();
    users = dictionaryUsers(rc.dictDir);
  }
  if (r.interrupted) {
  } else if (!users.empty()) {
    dictionaryRoad(r, users);
    r.searchedLost = !r.interrupted;
    std::shared_ptr<TruncatedClaims> claims;
    if (!r.interrupted) lostRoad(r, users, kTruncatedFolder, "TRUNCATED", listTruncated(claims), r.truncated);
    if (!r.interrupted) lostRoad(r, users, kDroppedFolder, "DROPPED", cmdListDictionary, r.dropped);
  } else {
    guessRoad(r);
  }
  step(r, cmdReport, "REPORT TO bexreport.html");
  r.files.push_back("bexreport.html");
  printSummary(r);
  const bool lossy = r.failed || r.interrupted || r.damagedBlocks || !r.lost.empty();
  return lossy ? kRecoveredWithLosses : kRecoveredAll;
}

}  // namespace

bool isOracleSchema(const char* name) {
  for (const char* s : kOracleSchemas)
    if (!strcasecmp(name, s)) return true;
  return !strncasecmp(name, "APEX_", 5) || !strncasecmp(name, "FLOWS_", 6);
}

int runRecovery(const RecoverRequest& req, int progressFd) {
  FileSink console(stdout);
  if (!makeDirectory(req.dir)) {
    fprintf(stderr, "bex recover: cannot create the directory %s\n", req.dir.c_str());
    return kNothingRecovered;
  }
  const std::string dir = absolutePath(req.dir);
  const std::string cfg = req.listFile.empty() ? writeConfiguration(req, dir) : absolutePath(req.listFile);
  const std::string dictDir = dir + "/" + DictDirectory::kDefault;
  FILE* logFile = fopen((dir + "/bexrecover.log").c_str(), "wb");
  if (cfg.empty() || !logFile || !makeDirectory(dictDir)) {
    fprintf(stderr, "bex recover: cannot write into %s\n", dir.c_str());
    if (logFile) fclose(logFile);
    return kNothingRecovered;
  }
  int status;
  {
    RecoverLog log(logFile, console);
    RunContext rc(stdin, log, dictDir);
    unlink(rc.report.path().c_str());  // the report tells of this recovery only
    rc.progress.drawOn(progressFd);
    console.setOverlay(&rc.progress);
    rc.bc.threads = static_cast<uint16_t>(req.threads);
    rc.settings.pgTarget = req.pgTarget;
    gInterrupted = 0;
    signal(SIGINT, onInterrupt);
    Road road(rc, log, console, dir);
    road.toPg = !req.pgTarget.empty();
    road.connections = req.threads;
    road.cfg = cfg;
    road.openedIn = absolutePath(".");
    status = recover(road, cfg);
    signal(SIGINT, SIG_DFL);
    console.setOverlay(nullptr);
  }
  fclose(logFile);
  console.flush();
  return status;
}

}  // namespace bex
