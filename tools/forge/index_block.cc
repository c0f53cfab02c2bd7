#include "forge/index_block.h"

#include <algorithm>

#include "forge/table_block.h"
#include "forge/values.h"

namespace bex::forge {

namespace {

constexpr uint32_t kIndexHeaderSize = 36;

bool isIot(const IndexLeafSpec& s) {
  return std::any_of(s.entries.begin(), s.entries.end(), [](const IndexEntry& e) { return e.iot; });
}

uint8_t entryFlag(const IndexEntry& e) {
  return e.iot ? (e.flag | kEntryIotRow) : (e.flag & static_cast<uint8_t>(~kEntryIotRow));
}

Bytes encodeEntry(const IndexEntry& e, uint8_t ledsz, ByteOrder order) {
  Bytes out{entryFlag(e), e.lock};
  Bytes data = e.data;
  data.resize(ledsz, 0);
  appendBytes(out, data);
  for (const Column& c : e.keys) appendColumn(out, c, order);
  if (!e.iot) return out;
  out.push_back(e.row.flag);
  out.push_back(e.row.lock);
  out.push_back(static_cast<uint8_t>(e.row.cols.size()));
  if (!(e.row.flag & kRowL)) {
    appendBE32(out, e.row.next.rdba);
    appendBE16(out, e.row.next.slot);
  }
  for (const Column& c : e.row.cols) appendColumn(out, c, order);
  return out;
}

}  // namespace

Bytes rowidData(uint32_t rdba, uint16_t slot) {
  Bytes b;
  appendBE32(b, rdba);
  appendBE16(b, slot);
  return b;
}

namespace {

struct Placed {
  std::vector<Bytes> pieces;
  std::vector<int64_t> offs;  // relative to hdsz
  int64_t space = 0, lowest = 0;
  uint16_t deleted = 0;
};

// Entries go downward from the block tail in directory order.
Placed placeEntries(ForgeBlock& b, const IndexLeafSpec& s, uint32_t hdsz, uint8_t conco) {
  Placed pl;
  int64_t top = static_cast<int64_t>(b.size()) - kBlockTailSize - hdsz;
  pl.space = pl.lowest = top;
  for (const IndexEntry& e : s.entries) {
    pl.pieces.push_back(encodeEntry(e, s.kdxledsz, b.order()));
    int64_t at = e.offset >= 0 ? e.offset : (top -= static_cast<int64_t>(pl.pieces.back().size()));
    if (at < 0) b.markOverflow();
    else b.putBytes(static_cast<uint32_t>(hdsz + at), pl.pieces.back());
    pl.offs.push_back(at);
    pl.lowest = std::min(pl.lowest, at);
    if (e.flag & kEntryDeleted) ++pl.deleted;
    if (e.keys.size() != conco) b.markOverflow();  // a reader reads kdxconco keys
  }
  return pl;
}

void writeIndexHeader(ForgeBlock& b, const IndexLeafSpec& s, uint32_t hdsz, uint8_t conco,
                      const Placed& pl) {
  const uint16_t conro = static_cast<uint16_t>(s.entries.size());
  const int64_t cofbo = kIndexHeaderSize + 2 * conro;
  if (cofbo > pl.lowest) b.markOverflow();
  b.put8(hdsz + 0, 0);  // leaf
  b.put8(hdsz + 1, s.kdxcolok);
  b.put8(hdsz + 2, isIot(s) ? (s.kdxcoopc | kOpcIot) : s.kdxcoopc);
  b.put8(hdsz + 3, conco);
  b.put32(hdsz + 4, s.kdxcosdc);
  b.put16(hdsz + 8, conro);
  b.put16(hdsz + 10, static_cast<uint16_t>(cofbo));
  b.put16(hdsz + 12, static_cast<uint16_t>(std::max<int64_t>(pl.lowest, 0)));
  b.put16(hdsz + 14, static_cast<uint16_t>(std::max<int64_t>(pl.lowest - cofbo, 0)));
  b.put16(hdsz + 16, s.kdxlespl);
  b.put16(hdsz + 18, pl.deleted);
  b.put32(hdsz + 20, s.next);
  b.put32(hdsz + 24, s.prev);
  b.put8(hdsz + 28, s.kdxledsz);
  b.put16(hdsz + 32, static_cast<uint16_t>(pl.space));
  for (uint16_t i = 0; i < conro; ++i)
    b.put16(hdsz + kIndexHeaderSize + 2 * i, static_cast<uint16_t>(std::max<int64_t>(pl.offs[i], 0)));
}

void indexFacts(const IndexLeafSpec& s, const TransHeader& trans, uint32_t hdsz, uint8_t conco,
                const Placed& pl, Facts& facts) {
  facts.push_back({"index", format("level=0 iot=%d conco=%u conro=%zu ledsz=%u next=0x%08x prev=0x%08x",
                                   isIot(s) ? 1 : 0, conco, s.entries.size(), s.kdxledsz, s.next,
                                   s.prev)});
  itlFacts(trans, facts);
  for (size_t i = 0; i < s.entries.size(); ++i) {
    const IndexEntry& e = s.entries[i];
    std::vector<Column> cols = e.keys;
    if (e.iot) cols.insert(cols.end(), e.row.cols.begin(), e.row.cols.end());
    Bytes data = e.data;
    data.resize(s.kdxledsz, 0);
    RowAddr next = e.iot && !(e.row.flag & kRowL) ? e.row.next : RowAddr{};
    facts.push_back({"entry", format("slot=%zu offs=%lld flag=0x%02x lock=%u committed=%d data=%s "
                                     "next=%s ncols=%zu cols=%s piece=%s",
                                     i, static_cast<long long>(hdsz + pl.offs[i]), entryFlag(e),
                                     e.lock, lockCommitted(trans, e.lock) ? 1 : 0, hex(data).c_str(),
                                     rowAddrText(next).c_str(), cols.size(),
                                     columnsText(cols).c_str(), hex(pl.pieces[i]).c_str())});
  }
}

}  // namespace

ForgeBlock buildIndexLeaf(const IndexLeafSpec& s, uint32_t blockSize, ByteOrder order, Facts& facts) {
  ForgeBlock b(blockSize, order);
  BlockHeader hdr = s.hdr;
  hdr.type = 0x06;
  TransHeader trans = s.trans;
  trans.typ = kTypIndex;
  writeBlockHeader(b, hdr);
  writeTransHeader(b, trans);
  const uint32_t hdsz = headerSize(trans);
  const uint8_t conco = s.kdxconco ? s.kdxconco
                        : s.entries.empty() ? 0
                                            : static_cast<uint8_t>(s.entries[0].keys.size());
  Placed pl = placeEntries(b, s, hdsz, conco);
  writeIndexHeader(b, s, hdsz, conco, pl);
  sealBlock(b, hdr);
  indexFacts(s, trans, hdsz, conco, pl, facts);
  return b;
}

}  // namespace bex::forge
