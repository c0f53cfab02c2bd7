#include "lob/lob_sinks.h"

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
  void finish() { converter_.end(); }

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

// Export dump: each piece collected in a buffer of its own and written with
// its length when flushed, or when the buffer is full.
class DumpPiece : public Sink {
 public:
  explicit DumpPiece(Sink& dump) : Sink(buf_, sizeof buf_), dump_(dump) {}

 protected:
  bool emit(const char* p, size_t n) override {
    writeLe16(dump_, n == 0 ? kDumpNull : static_cast<uint16_t>(n));
    dump_.write(p, n);
    return true;
  }

 private:
  char buf_[kDumpPieceMax];
  Sink& dump_;
};

class DumpPieces : public LobPieceSink {
 public:
  DumpPieces(Sink& dump, Conversion* conv, Sink& console, const BlockContext& bc, uint32_t rowRdba, bool offline)
      : dump_(dump), conv_(conv ? *conv : off_), console_(console), bc_(bc), rowRdba_(rowRdba),
        blockWord_(offline ? "offline" : "outline") {}
  void inlineValue(const uint8_t* p, size_t n) override {
    announce("inline", rowRdba_);
    if (n == 0 || n > kDumpInlineMax) return writeLe16(dump_, kDumpNull);
    piece(p, n);
  }
  void beginBlocks() override { writeLe16(dump_, kDumpBlocksStart); }
  void blockPiece(const uint8_t* p, size_t n, uint32_t rdba) override {
    announce(blockWord_, rdba);
    piece(p, n);
    written_ = true;
  }
  void endBlocks() override {
    if (!written_) {
      writeLe16(dump_, 1);
      dump_.put(' ');
    }
    writeLe16(dump_, kDumpBlocksEnd);
  }
  void local() { blockWord_ = "local"; }

 private:
  void piece(const uint8_t* p, size_t n) {
    if (n == 0) return writeLe16(dump_, kDumpNull);
    DumpPiece out(dump_);
    LobConverter c(out, conv_);
    c.begin();
    c.piece(p, n);
    c.end();
    out.flush();
  }
  void announce(const char* how, uint32_t rdba) {
    if (bc_.verbose >= kVerbosePieces) console_.printf("Recover %s BLOB/CLOB from RDBA=%u ...\n", how, rdba);
  }

  Sink& dump_;
  Conversion off_;
  Conversion& conv_;
  Sink& console_;
  const BlockContext& bc_;
  uint32_t rowRdba_;
  const char* blockWord_;
  bool written_ = false;
};

uint32_t rowRdbaOf(const BlockContext& bc) { return blockRdba(viewOf(bc)); }

}  // namespace

bool RecoverLocatorToText(Sink& data, LobFile& lob, BlockContext& bc, const uint8_t* v, uint16_t len, uint32_t rowRdba,
                          const ColumnSpec& col) {
  const LobKind kind = kindOf(col);
  const uint64_t start = lob.sink->bytesWritten();
  TextPieces pieces(*lob.sink, conversionFor(bc, kind), bc.lobReader->console(), bc, kind, rowRdba);
  uint64_t errors = 0;
  LobPath path = bc.lobReader->read(v, len, pieces, errors);
  pieces.finish();
  if (path == LobPath::kInvalid) {
    bc.lobReader->console().write(kind == LobKind::kBlob ? "Invalid BLOB: " : "Invalid CLOB: ");
    writeHexText(bc.lobReader->console(), v, len);
    bc.lobReader->console().put('\n');
  }
  data.printf("%s.%" PRId64 ".%" PRId64 "/", lob.name, static_cast<int64_t>(start + 1),
              static_cast<int64_t>(lob.sink->bytesWritten() - start));
  lob.sink->write(bc.recordTag, bc.recordTagLen);
  return errors == 0;
}

bool RecoverLobToText(Sink& data, LobFile& lob, BlockContext& bc, const uint8_t* block, uint16_t pos, uint16_t len,
                      const ColumnSpec& col) {
  const uint32_t rowRdba = blockRdba(BlockView{block, bc.blockSize, bc.byteOrder});
  return RecoverLocatorToText(data, lob, bc, block + pos, len, rowRdba, col);
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
  return errors == 0;
}

}  // namespace bex
