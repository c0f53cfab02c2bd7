// DESC / DESCRIBE: the storage row and the column records of one table.
#include <string_view>

#include "dict/ddl_text.h"
#include "commands/dict/dict_commands.h"
#include "dict/queries.h"
#include "base/cmdline.h"
#include "run/run_context.h"

namespace bex {

namespace {

int asInt(uint32_t v) { return static_cast<int>(static_cast<int32_t>(v)); }

void printColumns(const DictFiles& dir, Sink& out, uint32_t objNo) {
  out.write("No. SEQ INT Column Name                   Type            \n");
  out.write("--- --- --- ----------------------------- ----------------\n");
  forEachColumn(dir, objNo, [&](const ColumnRecord& record) {
    ColumnRecord c = record;
    resolveObjectType(dir, c);
    out.printf("%3d %3d %3d %-30s", asInt(c.colNo), asInt(c.segColNo), asInt(c.intColNo), c.name);
    printDescType(out, c, objNo);
    return false;
  });
}

// owner.table split at the first "."; each part cut to a name's length.
bool splitOwnerTable(std::string_view arg, char (&owner)[kDictNameMax + 1], char (&table)[kDictNameMax + 1]) {
  const size_t dot = arg.find('.');
  if (dot == std::string_view::npos) return false;
  copyToken(arg.substr(0, dot), owner, kDictNameMax);
  copyToken(arg.substr(dot + 1), table, kDictNameMax);
  return owner[0] && table[0];
}

}  // namespace

void cmdDesc(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  Sink& out = rc.out;
  if (!cl.nextToken()) {
    out.noteError();
    out.write("  DESC owner.tablename [partition]\n");
    return;
  }
  char owner[kDictNameMax + 1] = "", table[kDictNameMax + 1] = "", partition[kDictNameMax + 1] = "";
  if (!splitOwnerTable(cl.token(), owner, table)) return out.noteError();
  if (cl.nextToken()) copyToken(cl.token(), partition, kDictNameMax);
  UserRecord user;
  const DictFiles& dir = rc.dictDir;
  if (!findUser(dir, owner, user)) {
    out.error("  USER %s does not exists!\n", owner);
    return;
  }
  ObjectRecord obj;
  obj.segmentObjNo = 0;
  if (!findTableObject(dir, user.userNo, table, partition, obj) &&
      !findIndexObject(dir, user.userNo, table, partition, obj)) {
    out.error("  TABLE %s.%s does not exists!\n", owner, table);
    return;
  }
  out.write("\n");
  StorageRecord st;
  findStorage(dir, obj.segmentObjNo, st);
  out.printf("Storage(OBJ#=%u OBJD=%u TS=%u FILE=%u BLOCK=%u CLUSTER=%u)\n", st.objNo, st.dataObjNo, st.ts, st.file,
             st.block, st.cluster);
  printColumns(dir, out, obj.objNo);
  out.write("\n");
}

}  // namespace bex
