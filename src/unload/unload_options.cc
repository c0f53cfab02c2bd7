#include "unload/unload_options.h"

#include <cstring>

namespace bex {

namespace {

struct TypeWord {
  const char* word;
  ColumnTypeCode code;
};

// Longer keywords come before the keywords they begin with. NCHAR is
// recognised by its first four letters.
constexpr TypeWord kTypeWords[] = {
    {"CHAR", ColumnTypeCode::kChar},
    {"NCHA", ColumnTypeCode::kNchar},
    {"NCLOB", ColumnTypeCode::kNclob},
    {"VARCHAR2", ColumnTypeCode::kVarchar2},
    {"VARCHAR", ColumnTypeCode::kVarchar},
    {"LONGRAW", ColumnTypeCode::kLongRaw},
    {"LONG", ColumnTypeCode::kLong},
    {"RAW", ColumnTypeCode::kRaw},
    {"NUMBER", ColumnTypeCode::kNumber},
    {"DATE", ColumnTypeCode::kDate},
    {"TIMESTAMP_LTZ", ColumnTypeCode::kTimestampLtz},
    {"TIMESTAMP_TZ", ColumnTypeCode::kTimestampTz},
    {"TIMESTAMPLTZ", ColumnTypeCode::kTimestampLtz},
    {"TIMESTAMPTZ", ColumnTypeCode::kTimestampTz},
    {"TIMESTAMP", ColumnTypeCode::kTimestamp},
    {"BINARY_FLOAT", ColumnTypeCode::kBinaryFloat},
    {"BINARY_DOUBLE", ColumnTypeCode::kBinaryDouble},
    {"SKIP", ColumnTypeCode::kSkip},
    {"BLOB", ColumnTypeCode::kBlob},
    {"CLOB", ColumnTypeCode::kClob},
    {"VARRAY", ColumnTypeCode::kVarray},
    {"NARRAY", ColumnTypeCode::kNarray},
};

bool startsWithKeyword(std::string_view word, std::string_view keyword) {
  return word.size() >= keyword.size() && keywordMatch(word.substr(0, keyword.size()), keyword);
}

enum class Opt { kTable, kObject, kCluster, kColumn, kTo, kFile, kBlock, kPartition, kChunk, kLob, kExtent, kAs, kLimit, kIndex, kAppend };

struct OptionWord {
  const char* word;
  Opt opt;
  uint32_t maxLength;  // longest value the option's field holds
};

constexpr OptionWord kOptions[] = {
    {"TABLE", Opt::kTable, kFileNameMax},    {"OBJECT", Opt::kObject, kFileNameMax},
    {"CLUSTER", Opt::kCluster, kFileNameMax}, {"COLUMN", Opt::kColumn, kFileNameMax},
    {"TO", Opt::kTo, kFileNameMax},           {"FILE", Opt::kFile, kFileNameMax},
    {"BLOCK", Opt::kBlock, kFileNameMax},     {"PARTITION", Opt::kPartition, kNameTokenMax},
    {"CHUNK", Opt::kChunk, kFileNameMax},     {"LOB", Opt::kLob, kFileNameMax},
    {"EXTENT", Opt::kExtent, kExtentNameMax}, {"AS", Opt::kAs, kFileNameMax},
    {"LIMIT", Opt::kLimit, kFileNameMax},     {"INDEX", Opt::kIndex, kFileNameMax},
    {"APPEND", Opt::kAppend, 0},
};

const OptionWord* findOption(std::string_view tok) {
  for (const OptionWord& o : kOptions)
    if (keywordMatch(tok, o.word)) return &o;
  return nullptr;
}

uint32_t numberValue(std::string_view tok) { return static_cast<uint32_t>(tokenNumber(tok)); }

// colid.fid.blockid, all three non-zero; otherwise the option is ignored.
void setLobAddress(std::string_view v, UnloadJob& job) {
  uint32_t part[3] = {0, 0, 0};
  size_t i = 0;
  for (uint32_t k = 0; k < 3; k++) {
    uint64_t n = 0;
    size_t start = i;
    while (i < v.size() && v[i] >= '0' && v[i] <= '9') {
      n = n * 10 + static_cast<uint64_t>(v[i] - '0');
      if (n > 0xFFFFFFFFu) return;
      i++;
    }
    if (i == start) return;
    part[k] = static_cast<uint32_t>(n);
    if (k < 2) {
      if (i >= v.size() || v[i] != '.') return;
      i++;
    }
  }
  if (part[0] == 0 || part[1] == 0 || part[2] == 0) return;
  if (part[0] >= kMaxSegmentColumns || part[1] > 0xFFFF) return;
  ColumnSpec& c = job.columns.column[part[0] - 1];
  c.lobIndexFile = static_cast<uint16_t>(part[1]);
  c.lobIndexBlock = part[2];
}

void copyUpper(std::string_view v, char* out, size_t max) {
  size_t n = copyToken(v, out, max);
  for (size_t i = 0; i < n; i++)
    if (out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
}

void applyOption(Opt opt, std::string_view v, UnloadJob& job, UnloadOptions& opts) {
  switch (opt) {
    case Opt::kTable: copyToken(v, job.tableArg, kFileNameMax); break;
    case Opt::kObject: job.objectOverride = numberValue(v); break;
    case Opt::kCluster: job.clusterTable = numberValue(v); break;
    case Opt::kColumn:
      if (job.typeListLength < kMaxSegmentColumns) job.columns.column[job.typeListLength++].type = columnTypeCode(v);
      break;
    case Opt::kTo: copyToken(v, job.outputName, kFileNameMax); break;
    case Opt::kFile: job.fileFilter = numberValue(v); break;
    case Opt::kBlock: job.blockFilter = numberValue(v); break;
    case Opt::kPartition: copyToken(v, job.partition, kNameTokenMax); break;
    case Opt::kChunk: {
      int64_t n = tokenNumber(v);
      job.chunkCount = n < 1 ? 1 : static_cast<uint32_t>(n > 0xFFFFFFFF ? 0xFFFFFFFF : n);
      break;
    }
    case Opt::kLob: setLobAddress(v, job); break;
    case Opt::kExtent: copyToken(v, job.extentListing, kExtentNameMax); break;
    case Opt::kAs: copyUpper(v, job.target, kFileNameMax); break;
    case Opt::kLimit: {
      int64_t n = tokenNumber(v);
      opts.rowLimit = n < static_cast<int64_t>(kMinRowLimit) ? kMinRowLimit : static_cast<uint64_t>(n);
      break;
    }
    case Opt::kIndex: job.indexPrefix = numberValue(v); break;
    case Opt::kAppend: opts.append = true; break;
  }
}

// The current token, or, when it starts with a single quote, the text up to
// the closing one (blanks included) without the quotes.
std::string_view quotedToken(CommandLine& cl) {
  const std::string_view t = cl.token();
  if (t.empty() || t[0] != '\'') return t;
  const std::string_view rest(cl.text + cl.tokenStart + 1, cl.length - cl.tokenStart - 1);
  const size_t close = rest.find('\'');
  const size_t n = close == std::string_view::npos ? rest.size() : close;
  cl.tokenEnd = cl.tokenStart + 1 + static_cast<uint32_t>(n) + (close == std::string_view::npos ? 0 : 1);
  return rest.substr(0, n);
}

}  // namespace

ColumnTypeCode columnTypeCode(std::string_view word) {
  for (const TypeWord& t : kTypeWords)
    if (startsWithKeyword(word, t.word)) return t.code;
  return ColumnTypeCode::kUnknown;
}

bool parseUnloadOptions(CommandLine& cl, UnloadJob& job, UnloadOptions& opts, Sink& out) {
  // After COLUMN every word up to the next option keyword is one more type
  // word, so that the guessed lines (COLUMN NUMBER VARCHAR DATE ...) run as
  // written.
  bool typeWords = false;
  while (cl.nextToken()) {
    std::string_view word = cl.token();
    const OptionWord* o = findOption(word);
    if (!o && typeWords) {
      applyOption(Opt::kColumn, word, job, opts);
      continue;
    }
    if (!o) {
      out.error("  Unknown UNLOAD option %.*s ignored.\n", static_cast<int>(word.size()), word.data());
      continue;
    }
    if (o->opt == Opt::kAppend) {  // a word without a value
      opts.append = true;
      continue;
    }
    if (!cl.nextToken()) break;
    std::string_view v = o->opt == Opt::kTo ? quotedToken(cl) : cl.token();
    if (v.size() > o->maxLength) {
      out.error("  Value of %s is too long (at most %u characters)!\n", o->word, o->maxLength);
      return false;
    }
    applyOption(o->opt, v, job, opts);
    typeWords = o->opt == Opt::kColumn;
  }
  return true;
}

UnloadOptions unloadOptionsFromSettings(const BlockContext& bc, const OutputStyleSpec* style) {
  UnloadOptions o;
  o.style = style;
  o.rowAddress = bc.rowAddress != 0;
  return o;
}

void chooseStyleByName(UnloadOptions& opts, std::string_view outputName) {
  if (outputName.size() <= 4) return;
  if (const OutputStyleSpec* named = styleOfName(outputName))
    opts.style = named;
  else if (opts.style->onlyNamedByTo)
    opts.style = defaultOutputStyle();
}

bool splitTableName(const char* arg, UnloadJob& job) {
  job.owner[0] = job.table[0] = 0;
  const char* dot = strchr(arg, '.');
  size_t ownerLen = dot ? static_cast<size_t>(dot - arg) : strlen(arg);
  const char* rest = dot ? dot + 1 : arg + ownerLen;
  size_t restLen = strlen(rest);
  if (ownerLen > kNameTokenMax || restLen > kNameTokenMax) return false;
  memcpy(job.owner, arg, ownerLen);
  job.owner[ownerLen] = 0;
  memcpy(job.table, rest, restLen + 1);
  return true;
}

void printUnloadUsage(Sink& out) {
  out.noteError();
  out.write(
      "  UNLOAD TABLE user.tablename [LIMIT rows] [LOB colid.fid.blockid] [TO filename]\n"
      "  UNLOAD OBJECT objd [LIMIT rows] [CLUSTER clusterid] [LOB colid.fid.blockid]\n"
      "         [FILE rfn] [BLOCK blockid] [COLUMN coltype] [TO filename]\n"
      "  Note: \n"
      "     coltype -- SKIP CHAR VARCHAR VARCHAR2 LONG DATE VARRAY/NARRAY \n"
      "             -- NUMBER RAW LONGRAW TIMESTAMP TIMESTAMPTZ\n"
      "             -- TIMESTAMPLTZ BINARY_FLOAT BINARY_DOUBLE\n");
}

}  // namespace bex
