// DESC / DESCRIBE: the storage row and the column records of one table.
#include <string_view>

#include "dict/ddl_text.h"
#include "dict/dict_commands.h"
#include "dict/queries.h"
#include "base/cmdline.h"
#include "run/run_context.h"

namespace bex {

namespace {

int asInt(uint32_t v) { return static_cast<int>(static_cast<int32_t>(v)); }

const char* notNull(const ColumnRecord& c) { return c.nullFlag ? "NOT NULL" : ""; }

void printNumber(Sink& out, const ColumnRecord& c) {
  const int scale = asInt(c.scale), prec = asInt(c.precision);
  if (c.precision == 0)
    out.printf("NUMBER %s\n", notNull(c));
  else if (scale == kFloatScale && c.precision == kFloatDefaultPrecision)
    out.printf("FLOAT %s\n", notNull(c));
  else if (scale == kFloatScale)
    out.printf("FLOAT(%d) %s\n", prec, notNull(c));
  else if (c.precision <= kNumberPrecisionMax && scale != 0)
    out.printf("NUMBER(%d,%d) %s\n", prec, scale, notNull(c));
  else if (c.precision <= kNumberPrecisionMax)
    out.printf("NUMBER(%d) %s\n", prec, notNull(c));
  else if (scale != 0)
    out.printf("NUMBER(*,%d) %s\n", scale, notNull(c));
  else
    out.printf("FLOAT %s\n", notNull(c));
}

void printColumns(const DictDirectory& dir, Sink& out, uint32_t objNo) {
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

void printDescType(Sink& out, const ColumnRecord& c, uint32_t tableObjNo) {
  const char* nn = notNull(c);
  const int len = asInt(c.length), half = asInt(c.length / 2);
  const int prec = asInt(c.precision), scale = asInt(c.scale), intCol = asInt(c.intColNo);
  const int tab = asInt(tableObjNo);
  const bool national = c.charsetForm == kCharsetFormNational;
  switch (c.type) {
    case 1: national ? out.printf("NVARCHAR2(%d) %s\n", half, nn) : out.printf("VARCHAR2(%d) %s\n", len, nn); break;
    case 2: printNumber(out, c); break;
    case 8: out.printf("LONG %s\n", nn); break;
    case 9: national ? out.printf("NCHAR VARYING(%d) %s\n", half, nn) : out.printf("VARCHAR(%d) %s\n", len, nn); break;
    case 12: out.printf("DATE %s\n", nn); break;
    case 23: out.printf("RAW(%d) %s\n", len, nn); break;
    case 24: out.printf("LONG RAW %s\n", nn); break;
    case 58: case 111: case 121: case 122: case 123:
      c.typeKind ? out.printf("%s.%s", c.typeOwner, c.typeName) : out.printf("UNKNOWN_%u", c.type);
      out.write("\n");
      break;
    case 69: out.write("ROWID\n"); break;
    case 96: national ? out.printf("NCHAR(%d) %s\n", half, nn) : out.printf("CHAR(%d) %s\n", len, nn); break;
    case 100: out.printf("BINARY_FLOAT %s\n", nn); break;
    case 101: out.printf("BINARY_DOUBLE %s\n", nn); break;
    case 105: case 106: out.write("MLSLABEL\n"); break;
    case 112:
      national ? out.printf("NCLOB %s (SYS_IL%010dC%05d$$)\n", nn, tab, intCol)
               : out.printf("CLOB %s (SYS_IL%010dC%05d$$)\n", nn, tab, intCol);
      break;
    case 113: out.printf("BLOB %s (SYS_IL%010dC%05d$$)\n", nn, tab, intCol); break;
    case 114: out.write("BFILE\n"); break;
    case 115: out.write("CFILE\n"); break;
    case 180: scale ? out.printf("TIMESTAMP(%d) %s\n", scale, nn) : out.printf("TIMESTAMP %s\n", nn); break;
    case 181:
      scale ? out.printf("TIMESTAMP(%d) WITH TIME ZONE %s\n", scale, nn)
            : out.printf("TIMESTAMP WITH TIME ZONE %s\n", nn);
      break;
    case 182:
      prec ? out.printf("INTERVAL YEAR(%d) TO MONTH %s\n", prec, nn) : out.printf("INTERVAL YEAR TO MONTH %s\n", nn);
      break;
    case 183:
      prec ? out.printf("INTERVAL DAY(%d) TO SECOND(%d) %s\n", prec, scale, nn)
           : out.printf("INTERVAL DAY TO SECOND %s\n", nn);
      break;
    case 208: out.write("UROWID\n"); break;
    case 231:
      scale ? out.printf("TIMESTAMP(%d) WITH LOCAL TIME ZONE %s\n", scale, nn)
            : out.printf("TIMESTAMP WITH LOCAL TIME ZONE %s\n", nn);
      break;
    default: out.printf("UNKNOWN_%u\n", c.type); break;
  }
}

void cmdDesc(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  Sink& out = rc.out;
  if (!cl.nextToken()) {
    out.write("  DESC owner.tablename [partition]\n");
    return;
  }
  char owner[kDictNameMax + 1] = "", table[kDictNameMax + 1] = "", partition[kDictNameMax + 1] = "";
  if (!splitOwnerTable(cl.token(), owner, table)) return;
  if (cl.nextToken()) copyToken(cl.token(), partition, kDictNameMax);
  UserRecord user;
  const DictDirectory& dir = rc.dictDir;
  if (!findUser(dir, owner, user)) {
    out.printf("  USER %s does not exists!\n", owner);
    return;
  }
  ObjectRecord obj;
  obj.segmentObjNo = 0;
  if (!findTableObject(dir, user.userNo, table, partition, obj) &&
      !findIndexObject(dir, user.userNo, table, partition, obj)) {
    out.printf("  TABLE %s.%s does not exists!\n", owner, table);
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
