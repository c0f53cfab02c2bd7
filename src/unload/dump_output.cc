// The export dump: one table per file, its rows in their stored internal
// form, loadable by imp.
//
// File: header (2,268 bytes), TABLE line, CREATE TABLE line, INSERT line,
// column count and descriptors, rows, then FF FF 0A, "EXIT\nEXIT\n" and
// 2,048 zero bytes. Every 16-bit number is little-endian except the
// character-set ids of the header, which are big-endian.
//
// A row is its values in column order, then 00 00. A value is a 16-bit
// length and its bytes; NULL (and every position a row does not store) is
// FE FF; a LONG or LONG RAW value is FD FF, its stored parts as length and
// bytes, then 00 00; LOB values are written by the LOB reader.
#include "unload/dump_output.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "lob/lob_reader.h"
#include "lob/lob_sinks.h"
#include "unload/column_text.h"
#include "unload/value_join.h"

namespace bex {

namespace {

constexpr uint16_t kNullMark = 0xFFFE;
constexpr uint16_t kLongMark = 0xFFFD;
// The longest value one length field can carry: FFFD to FFFF are marks.
constexpr uint32_t kMaxValueLength = ValueJoin::kMaxLength;
constexpr uint32_t kUserRoom = 1909;
constexpr const char* kDefaultDumpName = "bexdata.dmp";

// Session block of the header: database and client character sets, time
// zone and version. The character-set ids at kDbCharsetAt and kClientCharsetAt
// are filled in per file.
constexpr uint8_t kSessionBlock[220] = {
    0x64, 0x00, 0x00, 0x00, 0x00, 0x60, 0x01, 0x21, 0x0f, 0x05, 0x0b, 0x0c, 0x03, 0x0c, 0x0c, 0x05, 0x04, 0x05, 0x0d,
    0x06, 0x09, 0x07, 0x08, 0x05, 0x0f, 0x05, 0x05, 0x05, 0x0f, 0x05, 0x05, 0x05, 0x05, 0x05, 0x0a, 0x05, 0x05, 0x05,
    0x05, 0x05, 0x04, 0x05, 0x08, 0x23, 0x47, 0x23, 0x23, 0x08, 0x11, 0x23, 0x08, 0x11, 0x41, 0xb0, 0x23, 0x00, 0x83,
    0x03, 0x67, 0x03, 0x67, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x60, 0x01, 0x21, 0x0f, 0x05, 0x0b, 0x0c,
    0x03, 0x0c, 0x0c, 0x05, 0x04, 0x05, 0x0d, 0x06, 0x09, 0x07, 0x08, 0x05, 0x0f, 0x05, 0x05, 0x05, 0x0f, 0x05, 0x05,
    0x05, 0x05, 0x05, 0x0a, 0x05, 0x05, 0x05, 0x05, 0x05, 0x04, 0x05, 0x08, 0x23, 0x47, 0x23, 0x23, 0x08, 0x11, 0x23,
    0x08, 0x11, 0x41, 0xb0, 0x23, 0x00, 0x83, 0x03, 0x67, 0x01, 0x59, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x00, 0x2b, 0x30, 0x30,
    0x3a, 0x30, 0x30, 0x05, 0x00, 0x38, 0x2e, 0x31, 0x2e, 0x36, 0x0a};
constexpr size_t kDbCharsetAt = 57;       // database character set, then national
constexpr size_t kClientCharsetAt = 159;  // client character set, twice

void store16(char* d, uint32_t v) {
  d[0] = static_cast<char>(v & 0xFF);
  d[1] = static_cast<char>((v >> 8) & 0xFF);
}

void put16(Sink& out, uint32_t v) {
  char b[2];
  store16(b, v);
  out.write(b, 2);
}

// A short value is copied as one or two fixed 16-byte moves when the
// block holds that many bytes from it: room for kCopySlack bytes more than
// the values take is kept at the end of the sink.
constexpr uint32_t kCopySlack = 32;

// One value as writeDumpValue writes it, stored at d (room for 2 + len +
// kCopySlack bytes); held: the bytes the block holds from bytes on.
// Returns the end.
char* storeDumpValue(char* d, const uint8_t* bytes, uint32_t len, uint32_t held) {
  if (len == 0 || len > kMaxValueLength) return store16(d, kNullMark), d + 2;
  store16(d, len);
  if (len <= kCopySlack && held >= kCopySlack) {
    memcpy(d + 2, bytes, 16);
    if (len > 16) memcpy(d + 18, bytes + 16, 16);
  } else {
    memcpy(d + 2, bytes, len);
  }
  return d + 2 + len;
}

void putBig16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v & 0xFF);
}

void putBig16(Sink& out, uint16_t v) {
  uint8_t b[2];
  putBig16(b, v);
  out.write(b, 2);
}

void zeros(Sink& out, size_t n) {
  static const char kZero[256] = {};
  while (n) {
    const size_t k = n < sizeof kZero ? n : sizeof kZero;
    out.write(kZero, k);
    n -= k;
  }
}

bool isLongCode(ColumnTypeCode t) { return t == ColumnTypeCode::kLong || t == ColumnTypeCode::kLongRaw; }

bool hasCharset(uint8_t type) { return type == 1 || type == 9 || type == 96; }

// A row is written as its pieces come: each position once, in order. A
// value continued in the next piece is gathered in join_ until its last
// part; a LONG value is written part by part as one piece sequence.
class DumpRowWriter : public RowWriter {
 public:
  DumpRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, Sink& console)
      : bc_(bc),
        job_(job),
        data_(data),
        console_(console),
        count_(job.columns.count),
        join_(bc.blockSize),
        kinds_(new Kind[count_ + 1]),
        plainEnd_(new uint32_t[count_ + 1]) {
    for (uint32_t pos = 0; pos < count_; pos++)
      kinds_[pos] = isLongCode(job.code(pos)) ? Kind::kLong : isLobType(job.code(pos)) ? Kind::kLob : Kind::kPlain;
    plainEnd_[count_] = count_;
    for (uint32_t pos = count_; pos-- > 0;) plainEnd_[pos] = kinds_[pos] == Kind::kPlain ? plainEnd_[pos + 1] : pos;
  }

  void rowAddress(uint32_t, uint32_t, uint32_t) override { dropping_ = false; }

  void piece(const PieceRef& p) override {
    if (dropping_) return;
    const ColumnList& cols = *p.cols;
    const uint32_t n = cols.count;
    for (uint32_t i = plainRun(p); i < n; i++) {
      const uint32_t pos = p.start + i;
      if (pos >= count_) break;  // the descriptors name count_ positions
      const ColumnRef c = cols.col[i];
      const Part part{p.v->data + c.offset, valueInBlock(c.offset, c.length, p.v->size) ? c.length : 0u,
                      i + 1 == n && p.lastContinues};
      if (i == 0 && p.continues) {
        if (join_.carrying() && pos == next_ && !join_.fits(part.len)) return valueTooLong(p, pos);
        if (goesOn(pos, part)) continue;
      }
      if (pos < next_) continue;  // written already (the piece's flags are damaged)
      if (pos != next_ || join_.carrying() || longOpen_) fillTo(pos);
      if (kinds_[pos] == Kind::kLong)
        longPart(pos, part);
      else if (part.carries)
        join_.start(part.bytes, part.len);  // a part is at most a block
      else if (kinds_[pos] == Kind::kPlain || part.len == 0)
        plainValue(pos, part.bytes, part.len);
      else
        value(pos, part.bytes, part.len);
    }
    if (p.last) endRow();
  }

  void endRowEarly(uint32_t) override {
    if (!dropping_) endRow();
  }

 private:
  enum class Kind : uint8_t { kPlain, kLong, kLob };
  struct Part {
    const uint8_t* bytes;
    uint32_t len;  // 0: NULL
    bool carries;  // goes on in the next piece
  };

  // The leading values of a piece that go straight out: plain values from
  // the row's next position on, with nothing carried or open, and not the
  // last one when it goes on in the next piece. They are stored straight
  // into the sink's buffer. How many it wrote; the rest of the piece takes
  // the general way.
  uint32_t plainRun(const PieceRef& p) {
    if (p.continues || join_.carrying() || longOpen_ || p.start != next_ || p.start >= count_) return 0;
    const ColumnList& cols = *p.cols;
    uint32_t end = cols.count - (p.lastContinues && cols.count ? 1 : 0);
    end = std::min(end, plainEnd_[p.start] - p.start);
    const BlockView& v = *p.v;
    char* first = data_.reserve(0);
    char* stop = first + (data_.capacity() - data_.buffered());
    char* d = first;
    uint32_t i = 0;
    for (; i < end; i++) {
      const ColumnRef c = cols.col[i];
      const uint32_t len = valueInBlock(c.offset, c.length, v.size) ? c.length : 0u;
      const size_t need = 2u + len + kCopySlack;
      if (static_cast<size_t>(stop - d) < need) {
        if (need > data_.capacity()) break;  // the general way writes it
        data_.commit(static_cast<size_t>(d - first));
        first = d = data_.reserve(need);
        stop = first + (data_.capacity() - data_.buffered());
      }
      d = storeDumpValue(d, v.data + c.offset, len, v.size - c.offset);
    }
    data_.commit(static_cast<size_t>(d - first));
    next_ = p.start + i;
    return i;
  }
  // The first column of a piece that continues the previous piece's last
  // one: the next part of the value carried at pos (within the bound), or
  // of the LONG value open at pos. False when nothing goes on there.
  bool goesOn(uint32_t pos, const Part& part) {
    if (join_.carrying() && pos == next_) {
      join_.add(part.bytes, part.len);
      if (!part.carries) flushJoin(true);
      return true;
    }
    if (longOpen_ && pos + 1 == next_) {
      longPart(pos, part);
      return true;
    }
    return false;
  }
  // The carried value: whole, or as far as it was gathered when its next
  // part never came (a LOB locator cut short is nothing).
  void flushJoin(bool whole) {
    join_.stop();
    value(next_, join_.bytes(), whole || kinds_[next_] != Kind::kLob ? join_.length() : 0);
  }
  // Positions before pos that the row did not store; a carried value whose
  // next part never came, and an open LONG value, end first.
  void fillTo(uint32_t pos) {
    if (join_.carrying()) flushJoin(false);
    closeLong();
    while (next_ < pos) {
      put16(data_, kNullMark);
      next_++;
    }
  }
  void closeLong() {
    if (!longOpen_) return;
    put16(data_, 0);
    longOpen_ = false;
  }
  // One stored part of a LONG or LONG RAW value; a NULL LONG is FE FF.
  void longPart(uint32_t pos, const Part& part) {
    if (!longOpen_ && (part.len || part.carries)) {
      put16(data_, kLongMark);
      longOpen_ = true;
    }
    if (part.len) {
      put16(data_, part.len);
      data_.write(part.bytes, part.len);
    } else if (!longOpen_) {
      put16(data_, kNullMark);
    }
    next_ = pos + 1;
    if (!part.carries) closeLong();
  }
  void plainValue(uint32_t pos, const uint8_t* bytes, uint32_t len) {
    writeDumpValue(data_, bytes, len);
    next_ = pos + 1;
  }
  void value(uint32_t pos, const uint8_t* bytes, uint32_t len) {
    const ColumnSpec& cs = job_.column(pos);
    if (len && kinds_[pos] == Kind::kLob) {
      if (bc_.verbose >= kVerboseLobRows)
        console_.printf("Recover dump LOB value row = %llu col = %u ...\n",
                        static_cast<unsigned long long>(bc_.counters->RowCount + 1), pos);
      if (!RecoverLobToDump(data_, bc_, bytes, static_cast<uint16_t>(len), cs.type, cs.charsetForm))
        job_.noteLobLoss(pos, bc_.lobReader->lostWithoutMap());
    } else {
      writeDumpValue(data_, bytes, len);
    }
    next_ = pos + 1;
  }
  void valueTooLong(const PieceRef& p, uint32_t pos) {
    console_.printf("  Value of column %u at %u.%u.%u longer than %u bytes, row ends early.\n", pos + 1, p.rdba,
                    p.table, p.slot, join_.bound());
    join_.stop();
    endRow();
    dropping_ = true;
  }
  void endRow() {
    fillTo(count_);
    put16(data_, 0);
    next_ = 0;
  }

  BlockContext& bc_;
  UnloadJob& job_;
  Sink& data_;
  Sink& console_;
  const uint32_t count_;
  ValueJoin join_;  // the parts of the value at next_ split over pieces
  std::unique_ptr<Kind[]> kinds_;    // of each position
  std::unique_ptr<uint32_t[]> plainEnd_;  // of each position: where its run of plain positions ends
  uint32_t next_ = 0;       // next position of the row to be written
  bool longOpen_ = false;   // a LONG value at position next_ - 1 takes more parts
  bool dropping_ = false;   // the row is closed; its remaining pieces are passed over
};

}  // namespace

void writeDumpHeader(Sink& out, uint16_t charset, uint16_t nlsCharset, const char* userName) {
  size_t n = strlen(userName);
  if (n > kUserRoom) n = kUserRoom;
  out.put(0x03);
  putBig16(out, charset);
  out.write("EXPORT:V08.01.07\nU");
  out.write(userName, n);
  out.write("\nRTABLES\n2048\n0\n28\n0\n");
  putBig16(out, charset);
  putBig16(out, charset);
  putBig16(out, nlsCharset);
  static const char kFlags[13] = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0B, 0};
  out.write(kFlags, sizeof kFlags);
  out.write("                                     Tue Mar 22 17:29:25 2005wyndo.dmp");
  zeros(out, 8 + kUserRoom - n);
  uint8_t block[sizeof kSessionBlock];
  memcpy(block, kSessionBlock, sizeof block);
  putBig16(block + kDbCharsetAt, charset);
  putBig16(block + kDbCharsetAt + 2, nlsCharset);
  putBig16(block + kClientCharsetAt, charset);
  putBig16(block + kClientCharsetAt + 2, charset);
  out.write(block, sizeof block);
}

void writeDumpTableStart(Sink& out, const char* target, const char* createText, const TableColumns& cols,
                         bool uniqueName, uint32_t objd, uint16_t charset) {
  std::string name(target);
  for (char& ch : name)
    if (ch == '\t' || ch == '\n' || ch == '\r') ch = ' ';
  out.write("TABLE \"");
  out.write(name);
  out.write("\"\n");
  out.write(createText);
  out.put('\n');
  if (uniqueName)
    out.printf("INSERT INTO \"%s_%u\" (", target, objd);
  else
    out.printf("INSERT INTO \"%s\" (", target);
  for (uint32_t i = 0; i < cols.count; i++) out.printf("%s\"%s\"", i ? "," : "", cols.desc[i].name);
  out.write(") VALUES (");
  for (uint32_t i = 0; i < cols.count; i++) {
    if (i) out.put(',');
    const unsigned pos = i + 1;
    switch (cols.desc[i].typeKind) {
      case kKindXmlType:
        if (cols.column[i].type == ColumnTypeCode::kBlob)
          out.printf("SYS.XMLTYPE.CREATEXMLFROMBINARY(:%u)", pos);
        else
          out.printf("SYS.XMLTYPE.CREATEXML(:%u)", pos);
        break;
      case kKindAnyData: out.printf("SYS.ANYDATA.CONVERTRAW(:%u)", pos); break;
      default: out.printf(":%u", pos);
    }
  }
  out.write(")\n");
  put16(out, cols.count);
  for (uint32_t i = 0; i < cols.count; i++) {
    const ColumnSpec& cs = cols.column[i];
    uint8_t type = codeByte(cs.type);
    if (type == 112) type = 8;
    if (type == 113) type = 24;
    put16(out, type);
    put16(out, type == 8 || type == 24 ? 0x4000 : cols.desc[i].length & 0xFFFF);
    if (!hasCharset(type)) continue;
    const bool own = cs.charsetForm != 0 && cs.charsetId != 0;
    put16(out, own ? cs.charsetId : charset);
    out.put(static_cast<char>(own ? cs.charsetForm : 1));
    out.put(0);
  }
  zeros(out, 4);
}

void writeDumpValue(Sink& out, const uint8_t* bytes, uint32_t len) {
  if (len == 0 || len > kMaxValueLength) return put16(out, kNullMark);
  put16(out, len);
  out.write(bytes, len);
}

void writeDumpTrailer(Sink& out) {
  out.write("\xFF\xFF\nEXIT\nEXIT\n");
  zeros(out, 2048);
}

namespace {

// The header declares CHARSET and NLSCHARSET while each character column
// declares the set the dictionary stores it in: imp converts each column
// from its own, but a header that disagrees is most often a CHARSET left at
// its default. Said once, for the first such column.
void warnCharsetMismatch(Sink& console, const TableColumns& cols, uint16_t charset, uint16_t nlsCharset) {
  for (uint32_t i = 0; i < cols.count; i++) {
    const ColumnSpec& cs = cols.column[i];
    if (!hasCharset(codeByte(cs.type)) || cs.charsetForm == 0 || cs.charsetId == 0) continue;
    const bool national = cs.charsetForm == kCharsetFormNational;
    const uint16_t declared = national ? nlsCharset : charset;
    if (cs.charsetId == declared) continue;
    console.printf("  Warning: column %s is stored in character set %u, the dump header says %u (SET %s).\n",
                   cols.desc[i].name, cs.charsetId, declared, national ? "NLSCHARSET" : "CHARSET");
    return;
  }
}

// Header, table line, CREATE TABLE, INSERT text and column descriptors.
void writeDumpPrologue(const OutputEnv& env, const UnloadJob& job, const UserRecord& user, const ObjectRecord& table,
                       uint32_t objd, Sink& data) {
  warnCharsetMismatch(env.console, job.columns, env.charset, env.nlsCharset);
  const char* target = job.target[0] ? job.target : table.name;
  std::string create;
  buildCreateTable(env.dict, table, target, false, env.uniqueTname, objd, env.ignoreNotnull, create);
  writeDumpHeader(data, env.charset, env.nlsCharset, user.name);
  writeDumpTableStart(data, target, create.c_str(), job.columns, env.uniqueTname, objd, env.charset);
}

// The export dump of one table: header and table start, the rows in their
// stored form, the trailer.
class DumpFormat : public OutputFormat {
 public:
  DumpFormat(const OutputEnv& env, UnloadJob& job) : env_(env), job_(job) {}

  bool open(const UnloadSubject& s, UnloadOutput& out) override {
    out_ = &out;
    out.open(job_.outputName[0] ? job_.outputName : kDefaultDumpName, false, env_.console);
    opened_ = out.opened();
    if (opened_ && s.table) writeDumpPrologue(env_, job_, *s.user, *s.table, s.objd, out.data());
    writer_ = std::make_unique<DumpRowWriter>(env_.bc, job_, out.data(), env_.console);
    return true;
  }
  RowWriter& rowWriter() override { return *writer_; }
  bool close() override {
    if (opened_) writeDumpTrailer(out_->data());
    writer_.reset();
    return out_->close(keepsFiles(env_));
  }
  void removeFiles() override {
    if (opened_) out_->removeData();
  }
  void nameFiles(ReportEntry& e) const override { e.wrote(out_->dataName()); }

 private:
  const OutputEnv env_;
  UnloadJob& job_;
  UnloadOutput* out_ = nullptr;
  std::unique_ptr<RowWriter> writer_;
  bool opened_ = false;  // the data file was created (close() ends what opened() tells)
};

}  // namespace

std::unique_ptr<OutputFormat> makeDumpFormat(const OutputEnv& env, UnloadJob& job, const UnloadOptions&) {
  return std::make_unique<DumpFormat>(env, job);
}

std::unique_ptr<RowWriter> makeDumpRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile&, Sink& console,
                                             bool) {
  return std::make_unique<DumpRowWriter>(bc, job, data, console);
}

}  // namespace bex
