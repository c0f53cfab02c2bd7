#include "forge/table_block.h"

#include "forge/data_layout.h"
#include "forge/values.h"

namespace bex::forge {

std::string rowAddrText(const RowAddr& a) { return format("0x%08x:%u", a.rdba, a.slot); }

std::string columnsText(const std::vector<Column>& cols) {
  std::string s;
  for (size_t i = 0; i < cols.size(); ++i) {
    if (i) s += ',';
    if (!cols[i].null) s += hex(cols[i].bytes);
  }
  return s;
}

// The column list a reader builds: a cluster member's key columns come first.
static std::vector<Column> parsedColumns(const TableBlockSpec& s, const RowPiece& p) {
  std::vector<Column> cols;
  if ((p.flag & kRowC) && !s.tables.empty() && p.keyRow < s.tables[0].size())
    cols = s.tables[0][p.keyRow].piece.cols;
  cols.insert(cols.end(), p.cols.begin(), p.cols.end());
  return cols;
}

static void rowFacts(const TableBlockSpec& s, const DataLayout& l, uint32_t hdsz,
                     const std::vector<Bytes>& pieces, Facts& facts) {
  size_t n = 0;
  for (size_t t = 0; t < s.tables.size(); ++t) {
    facts.push_back({"tab", format("tab=%zu first=%zu nrow=%zu", t, n, s.tables[t].size())});
    for (size_t k = 0; k < s.tables[t].size(); ++k, ++n) {
      const TableRow& r = s.tables[t][k];
      if (r.free) {
        facts.push_back({"free", format("tab=%zu slot=%zu", t, k)});
        continue;
      }
      const RowPiece& p = r.piece;
      std::vector<Column> cols = parsedColumns(s, p);
      RowAddr none;
      facts.push_back(
          {"row", format("tab=%zu slot=%zu offs=%u flag=%s lock=%u committed=%d head=%s next=%s "
                         "ncols=%zu cols=%s piece=%s",
                         t, k, hdsz + l.offs[t][k], rowFlagLetters(p.flag).c_str(), p.lock,
                         lockCommitted(s.trans, p.lock) ? 1 : 0,
                         rowAddrText(hasHeadAddress(p.flag) ? p.head : none).c_str(),
                         rowAddrText(hasNextAddress(p.flag) ? p.next : none).c_str(), cols.size(),
                         columnsText(cols).c_str(), hex(pieces[n]).c_str())});
    }
  }
}

ForgeBlock buildTableBlock(const TableBlockSpec& s, uint32_t blockSize, ByteOrder order,
                           Facts& facts) {
  ForgeBlock b(blockSize, order);
  BlockHeader hdr = s.hdr;
  hdr.type = 0x06;
  TransHeader trans = s.trans;
  trans.typ = kTypData;
  writeBlockHeader(b, hdr);
  writeTransHeader(b, trans);
  const uint32_t hdsz = headerSize(trans);
  if (trans.flg == kFlgExtra8) {
    Bytes extra = s.flgExtra;
    extra.resize(8, 0);
    b.putBytes(hdsz - 8, extra);
  }
  for (const Junk& j : s.junk) b.putBytes(j.offset, j.bytes);

  DataHeaderSpec d;
  d.frre = s.frre;
  d.avsp = s.avsp;
  d.tosp = s.tosp;
  std::vector<Bytes> pieces;
  for (const auto& table : s.tables) {
    d.tables.emplace_back();
    for (const TableRow& r : table) {
      pieces.push_back(r.free ? Bytes{} : encodeRowPiece(r.piece, order));
      d.tables.back().push_back({pieces.back(), r.offset, r.free});
    }
  }
  DataLayout l = layoutData(b, hdsz, d);
  sealBlock(b, hdr);

  facts.push_back({"data", format("hdsz=%u itc=%zu flg=0x%02x flag=0x00 ntab=%zu nrow=%u fsbo=%u "
                                  "fseo=%u rows=%zu",
                                  hdsz, trans.itl.size(), trans.flg, s.tables.size(), l.nrow,
                                  l.fsbo, l.fseo, s.tables.empty() ? 0 : s.tables[0].size())});
  itlFacts(trans, facts);
  rowFacts(s, l, hdsz, pieces, facts);
  return b;
}

}  // namespace bex::forge
