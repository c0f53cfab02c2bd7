// LIST: users, the objects of one user, ready-to-run UNLOAD lines for its
// tables, and their CREATE TABLE statements.
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "commands/dict/dict_commands.h"
#include "dict/queries.h"
#include "base/cmdline.h"
#include "base/file_or_console.h"
#include "run/run_context.h"
#include "value/charset.h"

namespace bex {

namespace {

enum class ListKind { kNone, kTable, kView, kProcedure, kFunction, kIndex, kPackage, kDdl, kDropped };

struct KindWord {
  const char* word;
  ListKind kind;
  uint32_t objectType;  // the TYPE# listed by name
};

constexpr KindWord kKindWords[] = {
    {"TABLE", ListKind::kTable, kObjTable},         {"VIEW", ListKind::kView, kObjView},
    {"PROCEDURE", ListKind::kProcedure, kObjProcedure}, {"FUNCTION", ListKind::kFunction, kObjFunction},
    {"INDEX", ListKind::kIndex, kObjIndex},         {"PACKAGE", ListKind::kPackage, kObjPackage},
    {"DDL", ListKind::kDdl, kObjTable},         {"DROPPED", ListKind::kDropped, kObjTable},
};

const KindWord* kindWord(std::string_view tok) {
  for (const KindWord& k : kKindWords)
    if (keywordMatch(tok, k.word)) return &k;
  return nullptr;
}

struct ListRequest {
  const KindWord* kind = nullptr;
  char user[kNameTokenMax + 1] = "";
  char toFile[kFileNameMax + 1] = "";
  bool ranAtOnce = false;  // LIST USER or LIST CHARSET has answered
};

void printUsage(Sink& out) {
  out.noteError();
  out.write("  LIST { TABLE | VIEW | PROCEDURE | FUNCTION |INDEX | PACKAGE | DDL } username\n");
  out.write("  LIST { USER | CHARSET } \n");
}

void listUsers(const DictFiles& dir, Sink& out) {
  unsigned n = 0;
  dir.users().forAll([&](const UserRecord& u) {
    out.printf(" %-31s", u.name);
    if (++n % 3 == 0) out.put('\n');
    return false;
  });
  if (n % 3 != 0) out.put('\n');
  if (n) out.put('\n');
}

// Every object of the user of that TYPE#, recycle-bin names passed over
// when asked to.
template <class Visit>
void forEachUserObject(const DictFiles& dir, uint32_t userNo, uint32_t type, bool skipRecycleBin,
                       Visit&& visit) {
  dir.objects().forOwnerType(userNo, type, [&](const ObjectRecord& o) {
    if (o.ownerNo == userNo && o.type == type && !(skipRecycleBin && isRecycleBinName(o.name))) visit(o);
    return false;
  });
}

void listUnloadLines(Sink& out, const RunContext& rc, const char* user, uint32_t userNo) {
  const char* ext = rc.settings.outputStyle->extension;
  for (uint32_t type : {kObjTable, kObjTablePartition, kObjTableSubpartition}) {
    forEachUserObject(rc.dictDir, userNo, type, true, [&](const ObjectRecord& o) {
      StorageRecord st;
      if (findStorage(rc.dictDir, o.objNo, st) && st.cluster != 0)
        out.printf(" UNLOAD TABLE %s.%s OBJECT %u CLUSTER %u TO %s_%s_%u.%s;\n", user, o.name, st.dataObjNo,
                   st.cluster, user, o.name, st.dataObjNo, ext);
      else if (st.dataObjNo != 0)
        out.printf(" UNLOAD TABLE %s.%s OBJECT %u TO %s_%s_%u.%s;\n", user, o.name, st.dataObjNo, user, o.name,
                   st.dataObjNo, ext);
      else
        out.printf(" UNLOAD TABLE %s.%s OBJECT %u TO %s_%s_%u_NODICT.%s;\n", user, o.name, o.objNo, user, o.name,
                   o.objNo, ext);
    });
  }
}

void listNames(const DictFiles& dir, Sink& out, uint32_t userNo, uint32_t type) {
  forEachUserObject(dir, userNo, type, false, [&](const ObjectRecord& o) { out.printf("   %s \n", o.name); });
}

void listDdl(Sink& out, const RunContext& rc, const char* user, uint32_t userNo) {
  std::string text;
  forEachUserObject(rc.dictDir, userNo, kObjTable, true, [&](const ObjectRecord& o) {
    const bool valid = buildCreateTable(rc.dictDir, o, "", true, false, 0, rc.settings.ignoreNotnull != 0, text);
    out.write(text);
    out.write(";\n");
    if (!valid) out.printf("-- Invalid table %s.%s\n", user, o.name);
    out.flush();
  });
}

void listKind(RunContext& rc, const ListRequest& req, const UserRecord& user, Sink& out) {
  switch (req.kind->kind) {
    case ListKind::kTable: listUnloadLines(out, rc, req.user, user.userNo); break;
    case ListKind::kDdl: listDdl(out, rc, req.user, user.userNo); break;
    case ListKind::kDropped: listDroppedTables(rc, out, req.user, user.userNo); break;
    default: listNames(rc.dictDir, out, user.userNo, req.kind->objectType); break;
  }
}

// The TO file is created only once the user is known; when it cannot be
// created the console gets the lines.
void runList(RunContext& rc, const ListRequest& req) {
  UserRecord user;
  if (!findUser(rc.dictDir, req.user, user)) {
    rc.out.error("User (%s) does not exists.\n", req.user);
    return;
  }
  FileOrConsole to(req.toFile, "wb", rc.out);
  listKind(rc, req, user, to.sink());
}

// Reads the words after LIST. USER and CHARSET answer at once; a kind word
// waits for the user name that follows it.
void readRequest(RunContext& rc, ListRequest& req) {
  CommandLine& cl = rc.cmd;
  const KindWord* pending = nullptr;
  while (cl.nextToken()) {
    const std::string_view tok = cl.token();
    if (keywordMatch(tok, "CHARSET")) {
      listCharsets(rc.out);
      req.ranAtOnce = true;
    } else if (keywordMatch(tok, "USER")) {
      listUsers(rc.dictDir, rc.out);
      req.ranAtOnce = true;
    } else if (const KindWord* k = kindWord(tok)) {
      pending = k;
    } else if (keywordMatch(tok, "TO")) {
      if (cl.nextToken()) copyToken(cl.token(), req.toFile, kFileNameMax);
    } else {
      copyToken(tok, req.user, kNameTokenMax);
      req.kind = pending;
    }
  }
}

}  // namespace

void cmdListDictionary(RunContext& rc) {
  ListRequest req;
  readRequest(rc, req);
  if (!req.kind || !req.user[0]) {
    if (!req.ranAtOnce) printUsage(rc.out);
    return;
  }
  runList(rc, req);
}

}  // namespace bex
