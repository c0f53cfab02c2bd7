#include "lob/lob_sinks.h"

#include <algorithm>
#include <cinttypes>

#include "block/block_header.h"
#include "lob/lob_reader.h"
#include "value/charset.h"
#include "value/hex.h"

namespace bex {

namespace {

constexpr uint16_t kDumpNull = 0xFFFE, kDumpBlocksStart = 0xFFFD, kDumpBlocksEnd = 0x0000;
constexpr uint32_t kDumpInlineMax = 4000;
// The longest piece one length can say: FFFD to FFFF are marks. A converted
// block that comes out longer goes on in a second piece.
constexpr size_t kDumpPieceMax = 0xFFFC;
constexpr int kVerbosePieces = 3;  // VERBOSE above 2 announces every piece

LobKind kindOf(const ColumnSpec& col) {
  if (col.type == ColumnTypeCode::kBlob) return LobKind::kBlob;
  const bool national = col.type == ColumnTypeCode::kNclob || col.charsetForm == kCharsetFormNational;
  return national ? LobKind::kNclob : LobKind::kClob;
}

Conversion* conversionFor(BlockContext& bc, LobKind kind) {
  if (kind == LobKind::kBlob || !bc.conversions) return nullptr;
  return kind == LobKind::kNclob ? &bc.conversions->nclob : &bc.conversions->clob;
}

void writeLe16(Sink& out, uint16_t v) {
  out.put(static_cast<char>(v & 0xFF));
  out.put(static_cast<char>(v >> 8));
}

// Text: bytes into the LOB file, converted for character LOBs.
class TextPieces : public LobPieceSink {
 public:
  TextPieces(Sink& lob, Conversion* conv, Sink& console, const BlockContext& bc, LobKind kind, uint32_t rowRdba)
      : conv_(conv ? *conv : off_), converter_(lob, conv_), console_(console), bc_(bc),
        word_(kind == LobKind::kBlob ? "BLOB" : "CLOB"), rowRdba_(rowRdba) {
    converter_.begin();
  }
  void inlineValue(const uint8_t* p, size_t n) override {
    announce("inline", rowRdba_);
    converter_.piece(p, n);
  }
  void beginBlocks() override {}
  void blockPiece(const uint8_t* p, size_t n, uint32_t rdba) override {
    announce("outline", rdba);
    converter_.piece(p, n);
  }
  void endBlocks() override {}
  // Characters the conversion replaced in the value.
  uint64_t finish() {
    converter_.end();
    return converter_.replaced();
  }

 private:
  void announce(const char* how, uint32_t rdba) {
    if (bc_.verbose >= kVerbosePieces) console_.printf("Recover %s %s from RDBA=%u ...\n", how, word_, rdba);
  }

  Conversion off_;
  Conversion& conv_;
  LobConverter converter_;
  Sink& console_;
  const BlockContext& bc_;
  const char* word_;
  uint32_t rowRdba_;
};

// Export dump: the bytes of one piece collected in a buffer and written
// with their length at piece(), or whenever a length can say no more.
class DumpPiece : public Sink {
 public:
  explicit DumpPiece(Sink& dump) : Sink(buf_, sizeof buf_), dump_(dump) {}
  // Ends the piece; false when it holds no bytes (and nothing was written).
  bool piece() {
    flush();
    const bool any = bytesWritten() != ended_;
    ended_ = bytesWritten();
    return any;
  }

 protected:
  // Large writes come here whole, past the buffer: cut them too.
  bool emit(const char* p, size_t n) override {
    for (size_t cut = 0; cut < n; cut += kDumpPieceMax) {
      const size_t len = n - cut < kDumpPieceMax ? n - cut : kDumpPieceMax;
      writeLe16(dump_, static_cast<uint16_t>(len));
      dump_.write(p + cut, len);
    }
    return true;
  }

 private:
  char buf_[kDumpPieceMax];
  Sink& dump_;
  uint64_t ended_ = 0;
};

// One converter for the whole value, so that a character split over two
// blocks is carried from the one piece into the next.
class DumpPieces : public LobPieceSink {
 public:
  DumpPieces(Sink& dump, Conversion* conv, Sink& console, const BlockContext& bc, uint32_t rowRdba, bool offline)
      : dump_(dump), out_(dump), conv_(conv ? *conv : off_), converter_(out_, conv_), console_(console), bc_(bc),
        rowRdba_(rowRdba), blockWord_(offline ? "offline" : "outline") {
    converter_.begin();
  }
  void inlineValue(const uint8_t* p, size_t n) override {
    announce("inline", rowRdba_);
    if (n == 0 || n > kDumpInlineMax) return writeLe16(dump_, kDumpNull);
    converter_.piece(p, n);
    converter_.end();
    if (!out_.piece()) writeLe16(dump_, kDumpNull);  // converted to nothing: an empty value
  }
  void beginBlocks() override { writeLe16(dump_, kDumpBlocksStart); }
  void blockPiece(const uint8_t* p, size_t n, uint32_t rdba) override {
    announce(blockWord_, rdba);
    converter_.piece(p, n);
    written_ = out_.piece() || written_;
  }
  void endBlocks() override {
    converter_.end();
    written_ = out_.piece() || written_;
    if (!written_) {
      writeLe16(dump_, 1);
      dump_.put(' ');
    }
    writeLe16(dump_, kDumpBlocksEnd);
  }
  void local() { blockWord_ = "local"; }
  uint64_t replaced() const { return converter_.replaced(); }

 private:
  void announce(const char* how, uint32_t rdba) {
    if (bc_.verbose >= kVerbosePieces) console_.printf("Recover %s BLOB/CLOB from RDBA=%u ...\n", how, rdba);
  }

  Sink& dump_;
  DumpPiece out_;
  Conversion off_;
  Conversion& conv_;
  LobConverter converter_;
  Sink& console_;
  const BlockContext& bc_;
  uint32_t rowRdba_;
  const char* blockWord_;
  bool written_ = false;
};

uint32_t rowRdbaOf(const BlockContext& bc) { return blockRdba(viewOf(bc)); }

// A value is whole when nothing of it was lost and its conversion took
// every character.
bool wholeValue(BlockContext& bc, uint64_t errors, uint64_t replaced, uint32_t rowRdba) {
  if (replaced && bc.verbose)
    bc.lobReader->console().printf("  LOB: %llu characters not converted, each written as the substitute, row at "
                                   "RDBA=0x%08x\n",
                                   static_cast<unsigned long long>(replaced), rowRdba);
  return errors == 0 && replaced == 0;
}

}  // namespace

size_t formatLobReference(char* out, const char* name, uint64_t start, int64_t length) {
  const int n = snprintf(out, kLobReferenceMax, "%s.%" PRId64 ".%" PRId64 "/", name, static_cast<int64_t>(start + 1),
                         length);
  return n < 0 ? 0 : std::min(static_cast<size_t>(n), kLobReferenceMax - 1);
}

void writeLobReference(Sink& data, LobFile& lob, uint64_t start, int64_t length) {
  if (lob.references) lob.references->push_back(LobReference{data.bytesWritten(), start, length});
  char text[kLobReferenceMax];
  data.write(text, formatLobReference(text, lob.name, start, length));
}

bool recoverLocatorToText(Sink& data, LobFile& lob, BlockContext& bc, const uint8_t* v, uint16_t len, uint32_t rowRdba,
                          const ColumnSpec& col) {
  const LobKind kind = kindOf(col);
  const uint64_t start = lob.sink->bytesWritten();
  TextPieces pieces(*lob.sink, conversionFor(bc, kind), bc.lobReader->console(), bc, kind, rowRdba);
  uint64_t errors = 0;
  LobPath path = bc.lobReader->read(v, len, pieces, errors);
  const uint64_t replaced = pieces.finish();
  if (path == LobPath::kInvalid) {
    bc.lobReader->console().write(kind == LobKind::kBlob ? "Invalid BLOB: " : "Invalid CLOB: ");
    writeHexText(bc.lobReader->console(), v, len);
    bc.lobReader->console().put('\n');
  }
  writeLobReference(data, lob, start, static_cast<int64_t>(lob.sink->bytesWritten() - start));
  lob.sink->write(lob.recordTag.data(), lob.recordTag.size());
  return wholeValue(bc, errors, replaced, rowRdba);
}

bool RecoverLobToText(Sink& data, LobFile& lob, BlockContext& bc, const uint8_t* block, uint16_t pos, uint16_t len,
                      const ColumnSpec& col) {
  const uint32_t rowRdba = blockRdba(BlockView{block, bc.blockSize, bc.byteOrder});
  return recoverLocatorToText(data, lob, bc, block + pos, len, rowRdba, col);
}

bool RecoverLobToDump(Sink& dump, BlockContext& bc, const uint8_t* v, uint16_t len, ColumnTypeCode type,
                      uint16_t charsetForm) {
  Sink& console = bc.lobReader->console();
  const bool character = type == ColumnTypeCode::kClob;
  const LobKind kind = !character ? LobKind::kBlob : charsetForm == kCharsetFormNational ? LobKind::kNclob
                                                                                          : LobKind::kClob;
  if (len == 0) {
    if (bc.verbose >= kVerbosePieces) console.printf("Recover empty BLOB/CLOB from RDBA=%u ...\n", rowRdbaOf(bc));
    writeLe16(dump, kDumpNull);
    return true;
  }
  const LobLocator loc = parseLobLocator(v, len);
  DumpPieces pieces(dump, conversionFor(bc, kind), console, bc, rowRdbaOf(bc), loc.offline);
  if (loc.valid && loc.chunkList()) pieces.local();
  uint64_t errors = 0;
  LobPath path = bc.lobReader->read(v, len, pieces, errors);
  if (path == LobPath::kInvalid) {
    console.write("Invalid CLOB \n");
    writeLe16(dump, kDumpNull);
  } else if (path == LobPath::kNoChunks) {
    writeLe16(dump, kDumpNull);
  }
  return wholeValue(bc, errors, pieces.replaced(), rowRdbaOf(bc));
}

}  // namespace bex
