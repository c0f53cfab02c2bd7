// LOAD TABLE: the tables of one user, as the dictionary files describe
// them, become candidates for SCAN TABLE; LOAD SCRIPT writes the load
// scripts of the run.
#include "base/cmdline.h"
#include "commands/unload/load_script.h"
#include "dict/queries.h"
#include "run/run_context.h"
#include "scan/guess_candidate.h"
#include "commands/scan/table_guess.h"

namespace bex {

namespace {

// A table of its own segment or cluster: not a partition, not in the
// recycle bin.
bool isCandidateTable(const ObjectRecord& o, uint32_t userNo) {
  return o.ownerNo == userNo && o.type == kObjTable && o.subname[0] == 0 && !isRecycleBinName(o.name);
}

}  // namespace

GuessCandidate guessCandidateOf(const DictFiles& dir, const UserRecord& user, const ObjectRecord& table) {
  GuessCandidate c;
  c.objNo = table.objNo;
  c.setNames(user.name, table.name);
  // Columns by their place in the stored row (cluster keys first); a column
  // without storage of its own (SEGCOL# 0) has none.
  forEachColumn(dir, table.objNo, [&](const ColumnRecord& col) {
    if (col.segColNo >= 1 && col.segColNo < kGuessColumns) c.addColumn(col.segColNo, col.type, col.length, col.nullFlag);
    return false;
  });
  return c;
}

void loadGuessTables(RunContext& rc, const char* userName) {
  const DictFiles& dir = rc.dictDir;
  UserRecord user;
  if (!findUser(dir, userName, user)) {
    rc.out.error("User (%s) does not exists.\n", userName);
    return;
  }
  size_t leftOut = 0;
  dir.objects().forOwnerType(user.userNo, kObjTable, [&](const ObjectRecord& o) {
    if (!isCandidateTable(o, user.userNo)) return false;
    if (rc.guessCandidates.put(guessCandidateOf(dir, user, o)))
      rc.out.printf(" Loaded Guess Table %s.%s\n", user.name, o.name);
    else
      leftOut++;
    return false;
  });
  if (leftOut)
    rc.out.printf("  Warning: the guess tables are full (%zu); %zu tables of %s were not loaded.\n",
                  kGuessCandidatesMax, leftOut, user.name);
  rc.guessCandidates.sortByObject();
}

void cmdLoad(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  bool script = false, table = false;
  if (cl.nextToken()) {
    script = keywordMatch(cl.token(), "SCRIPT");
    table = keywordMatch(cl.token(), "TABLE");
  }
  if ((!script && !table) || !cl.nextToken()) {
    rc.out.noteError();
    rc.out.write("  LOAD TABLE username\n  LOAD SCRIPT filename\n");
    return;
  }
  if (table) {
    char user[kNameTokenMax + 1];
    copyToken(cl.token(), user, kNameTokenMax);
    loadGuessTables(rc, user);
    return;
  }
  char path[kFileNameMax + 1];
  copyToken(cl.token(), path, kFileNameMax);
  loadScript(rc, path);
}

}  // namespace bex
