#include "forge/row_piece.h"

namespace bex::forge {

Column col(const Bytes& b) { return Column{b, false}; }
Column col(std::string_view text) { return Column{bytesOf(text), false}; }
Column nullCol() { return Column{{}, true}; }

bool isClusterKeyRow(uint8_t flag) { return (flag & kRowClusterKey) == kRowClusterKey; }
bool hasHeadAddress(uint8_t flag) {
  return !isClusterKeyRow(flag) && (flag & (kRowH | kRowF)) == kRowF;
}
bool hasNextAddress(uint8_t flag) { return !isClusterKeyRow(flag) && !(flag & kRowL); }

void appendColumn(Bytes& out, const Column& c, ByteOrder order) {
  if (c.null) {
    out.push_back(kLenNull);
    return;
  }
  if (c.bytes.size() <= kLenShortMax) {
    out.push_back(static_cast<uint8_t>(c.bytes.size()));
  } else {
    out.push_back(kLenLong);
    append16(out, static_cast<uint16_t>(c.bytes.size()), order);
  }
  appendBytes(out, c.bytes);
}

static void appendRowAddr(Bytes& out, const RowAddr& a) {
  appendBE32(out, a.rdba);
  appendBE16(out, a.slot);
}

Bytes encodeRowPiece(const RowPiece& piece, ByteOrder order) {
  Bytes out{piece.flag, piece.lock, static_cast<uint8_t>(piece.cols.size())};
  if (piece.flag & kRowC) out.push_back(piece.keyRow);
  if (isClusterKeyRow(piece.flag)) {
    Bytes extra = piece.keyExtra;
    extra.resize(kClusterKeyExtra, 0);
    appendBytes(out, extra);
  } else {
    if (hasHeadAddress(piece.flag)) appendRowAddr(out, piece.head);
    if (hasNextAddress(piece.flag)) appendRowAddr(out, piece.next);
  }
  for (const Column& c : piece.cols) appendColumn(out, c, order);
  return out;
}

std::string rowFlagLetters(uint8_t flag) {
  static const char kLetters[] = "KCHDFLPN";
  std::string s(8, '-');
  for (int i = 0; i < 8; ++i)
    if (flag & (0x80 >> i)) s[i] = kLetters[i];
  return s;
}

}  // namespace bex::forge
