#include "forge/compressed_block.h"

#include <algorithm>
#include <optional>

#include "forge/data_layout.h"
#include "forge/table_block.h"
#include "forge/values.h"

namespace bex::forge {

CEntry symRef(uint16_t row) { return CEntry{CEntry::Ref, row, {}, {}}; }
CEntry symLongRef(uint16_t row) { return CEntry{CEntry::LongRef, row, {}, {}}; }
CEntry cval(const Bytes& b) { return CEntry{CEntry::Value, 0, b, {}}; }
CEntry cval(std::string_view text) { return cval(bytesOf(text)); }
CEntry cnull() { return CEntry{CEntry::Null, 0, {}, {}}; }
CEntry crun(std::vector<Column> cols) { return CEntry{CEntry::Run, 0, {}, std::move(cols)}; }

namespace {

constexpr uint8_t kMaxShortRef = 200, kInlineBase = 200, kInlineMax = 49;
constexpr uint8_t kLongValue = 250, kLongRef = 251, kNull = 255;
constexpr uint16_t kNullEnd = 0x8000;

// Encodes one block's rows and, alongside, the column lists a reader builds.
class Encoder {
 public:
  explicit Encoder(const CompressedBlockSpec& s) : s_(s) {}

  // The columns a symbol row expands to.
  const std::vector<Column>& symbolColumns(uint16_t r) { return expanded(r); }

  Bytes symbolRow(uint16_t r) {
    const SymbolRow& row = s_.symbols[r];
    Bytes out{row.flag, row.lock};
    if (r < s_.fullHeaders) out.push_back(static_cast<uint8_t>(countOf(r)));
    else if (countOf(r) != 1) failed_ = true;  // a short header stands for one column
    for (const CEntry& e : row.entries) appendEntry(out, e, /*k=*/0, /*leading=*/0);
    return out;
  }

  // Encodes a data row; `cols` receives the reader's column list.
  Bytes dataRow(const CompressedRow& row, std::vector<Column>& cols) {
    Bytes out{row.flag, row.lock, static_cast<uint8_t>(row.entries.size())};
    if (!s_.lengths.empty()) out.push_back(row.leading);
    if (!(row.flag & kRowF)) appendRowAddr(out, row.head);
    if (!(row.flag & kRowL)) appendRowAddr(out, row.next);
    for (const CEntry& e : row.entries) {
      appendEntry(out, e, static_cast<uint32_t>(cols.size()), row.leading);
      if (e.kind == CEntry::Run) runColumns(e, static_cast<uint32_t>(cols.size()), cols);
      else append(cols, entryColumns(e));
    }
    return out;
  }

  bool failed() const { return failed_; }

 private:
  static void appendRowAddr(Bytes& out, const RowAddr& a) {
    appendBE32(out, a.rdba);
    appendBE16(out, a.slot);
  }
  static void append(std::vector<Column>& to, const std::vector<Column>& more) {
    to.insert(to.end(), more.begin(), more.end());
  }

  void appendEntry(Bytes& out, const CEntry& e, uint32_t k, uint8_t leading) {
    switch (e.kind) {
      case CEntry::Ref:
        if (e.ref <= kMaxShortRef) {
          out.push_back(static_cast<uint8_t>(e.ref));
          break;
        }
        [[fallthrough]];
      case CEntry::LongRef:
        out.push_back(kLongRef);
        appendBE16(out, e.ref);
        break;
      case CEntry::Null:
        out.push_back(kNull);
        break;
      case CEntry::Value:
        // A short inline byte would start a run while k < R: use the long form.
        if (!e.bytes.empty() && e.bytes.size() <= kInlineMax && k >= leading) {
          out.push_back(static_cast<uint8_t>(kInlineBase + e.bytes.size()));
        } else {
          out.push_back(kLongValue);
          appendBE16(out, static_cast<uint16_t>(e.bytes.size()));
        }
        appendBytes(out, e.bytes);
        break;
      case CEntry::Run:
        if (e.run.empty() || e.run.size() > kInlineMax || k >= leading) failed_ = true;
        out.push_back(static_cast<uint8_t>(kInlineBase + e.run.size()));
        for (const Column& c : e.run) appendBytes(out, c.bytes);
        break;
    }
  }

  // The run rule a reader applies, over the bytes the run stored.
  void runColumns(const CEntry& e, uint32_t k, std::vector<Column>& cols) {
    const std::vector<uint16_t>& a = s_.lengths;
    if (k + e.run.size() >= a.size()) {
      failed_ = true;
      return;
    }
    Bytes stored;
    for (const Column& c : e.run) appendBytes(stored, c.bytes);
    uint16_t start = a[k];
    if (start & kNullEnd) {
      start = 0;
      for (uint32_t l = 0; l < k; ++l)
        if (!(a[l] & kNullEnd)) start = a[l];
    }
    size_t pos = 0;
    for (uint32_t c = k; c < k + e.run.size(); ++c) {
      uint16_t len = static_cast<uint16_t>(a[c + 1] - start);
      if (len & kNullEnd) len = 0;
      if (pos + len > stored.size()) failed_ = true;
      Bytes v(stored.begin() + std::min(pos, stored.size()),
              stored.begin() + std::min(pos + len, stored.size()));
      cols.push_back(v.empty() ? nullCol() : col(v));
      pos += len;
      start = static_cast<uint16_t>(start + len);
    }
  }

  std::vector<Column> entryColumns(const CEntry& e) {
    switch (e.kind) {
      case CEntry::Ref:
      case CEntry::LongRef:
        if (e.ref < s_.symbols.size()) return expanded(e.ref);
        failed_ = true;
        return {};
      case CEntry::Null: return {nullCol()};
      case CEntry::Value: return {e.bytes.empty() ? nullCol() : col(e.bytes)};
      case CEntry::Run: return {};
    }
    return {};
  }

  uint32_t entryCount(const CEntry& e) {
    if (e.kind == CEntry::Ref && e.ref <= kMaxShortRef)
      return e.ref < s_.fullHeaders && e.ref < s_.symbols.size() ? countOf(e.ref) : 1;
    return 1;
  }

  uint32_t countOf(uint16_t r) {
    uint32_t n = 0;
    for (const CEntry& e : s_.symbols[r].entries) n += entryCount(e);
    return n;
  }

  // Memoised expansion; references must point to earlier rows (no cycles).
  const std::vector<Column>& expanded(uint16_t r) {
    if (memo_.size() < s_.symbols.size()) memo_.resize(s_.symbols.size());
    if (!memo_[r]) {
      std::vector<Column> cols;
      for (const CEntry& e : s_.symbols[r].entries) {
        if ((e.kind == CEntry::Ref || e.kind == CEntry::LongRef) && e.ref >= r) {
          failed_ = true;
          continue;
        }
        append(cols, entryColumns(e));
      }
      memo_[r] = std::move(cols);
    }
    return *memo_[r];
  }

  const CompressedBlockSpec& s_;
  std::vector<std::optional<std::vector<Column>>> memo_;
  bool failed_ = false;
};

Bytes compressionHeader(const CompressedBlockSpec& s, ByteOrder order) {
  Bytes h(8, 0);
  put16(h.data() + 2, s.fullHeaders, order);
  h[5] = static_cast<uint8_t>(s.lengths.size());
  h[6] = static_cast<uint8_t>(s.trailing.size());
  for (uint16_t a : s.lengths) append16(h, a, order);
  appendBytes(h, s.trailing);
  if (h.size() & 1) h.push_back(0);
  return h;
}

std::string pieceFact(size_t t, size_t k, uint32_t offs, uint8_t flag, uint8_t lock, bool committed,
                      const RowAddr& head, const RowAddr& next, const std::vector<Column>& cols,
                      const Bytes& piece) {
  return format("tab=%zu slot=%zu offs=%u flag=%s lock=%u committed=%d head=%s next=%s ncols=%zu "
                "cols=%s piece=%s",
                t, k, offs, rowFlagLetters(flag).c_str(), lock, committed ? 1 : 0,
                rowAddrText(head).c_str(), rowAddrText(next).c_str(), cols.size(),
                columnsText(cols).c_str(), hex(piece).c_str());
}

}  // namespace

std::vector<uint16_t> lengthArrayFor(const std::vector<Column>& cols) {
  std::vector<uint16_t> a{0};
  uint16_t end = 0;
  for (const Column& c : cols) {
    if (c.null || c.bytes.empty()) {
      a.push_back(static_cast<uint16_t>(kNullEnd | end));
    } else {
      end = static_cast<uint16_t>(end + c.bytes.size());
      a.push_back(end);
    }
  }
  return a;
}

ForgeBlock buildCompressedBlock(const CompressedBlockSpec& s, uint32_t blockSize, ByteOrder order,
                                Facts& facts) {
  ForgeBlock b(blockSize, order);
  BlockHeader hdr = s.hdr;
  hdr.type = 0x06;
  TransHeader trans = s.trans;
  trans.typ = kTypData;
  writeBlockHeader(b, hdr);
  writeTransHeader(b, trans);
  const uint32_t hdsz = headerSize(trans);

  Encoder enc(s);
  DataHeaderSpec d;
  d.flag = kDataFlagCompressed;
  d.compression = compressionHeader(s, order);
  d.tables.resize(2);
  std::vector<Bytes> symbolBytes, rowBytes;
  std::vector<std::vector<Column>> rowCols(s.rows.size());
  for (uint16_t r = 0; r < s.symbols.size(); ++r) {
    symbolBytes.push_back(enc.symbolRow(r));
    d.tables[0].push_back({symbolBytes.back(), -1, false});
  }
  for (size_t r = 0; r < s.rows.size(); ++r) {
    rowBytes.push_back(enc.dataRow(s.rows[r], rowCols[r]));
    d.tables[1].push_back({rowBytes.back(), s.rows[r].offset, false});
  }
  DataLayout l = layoutData(b, hdsz, d);
  if (enc.failed() || s.symbols.size() > 0xffff) b.markOverflow();
  sealBlock(b, hdr);

  facts.push_back({"data", format("hdsz=%u itc=%zu flg=0x%02x flag=0x40 ntab=2 nrow=%u fsbo=%u "
                                  "fseo=%u rows=%zu",
                                  hdsz, trans.itl.size(), trans.flg, l.nrow, l.fsbo, l.fseo,
                                  s.rows.size())});
  itlFacts(trans, facts);
  facts.push_back({"tab", format("tab=0 first=0 nrow=%zu", s.symbols.size())});
  for (uint16_t r = 0; r < s.symbols.size(); ++r)
    facts.push_back({"row", pieceFact(0, r, hdsz + l.offs[0][r], s.symbols[r].flag,
                                      s.symbols[r].lock, lockCommitted(trans, s.symbols[r].lock),
                                      {}, {}, enc.symbolColumns(r), symbolBytes[r])});
  facts.push_back({"tab", format("tab=1 first=%zu nrow=%zu", s.symbols.size(), s.rows.size())});
  for (size_t r = 0; r < s.rows.size(); ++r) {
    const CompressedRow& row = s.rows[r];
    facts.push_back({"row", pieceFact(1, r, hdsz + l.offs[1][r], row.flag, row.lock,
                                      lockCommitted(trans, row.lock),
                                      row.flag & kRowF ? RowAddr{} : row.head,
                                      row.flag & kRowL ? RowAddr{} : row.next, rowCols[r],
                                      rowBytes[r])});
  }
  return b;
}

}  // namespace bex::forge
