#include "forge/dict_segments.h"

#include <map>

#include "forge/row_piece.h"

namespace bex::forge {

namespace {

// Bytes a block spends outside its row pieces: headers with two ITL
// entries, the data header, the table directory, the tail, and a margin.
constexpr uint32_t kBlockOverhead = 160;
constexpr uint32_t kDirEntry = 2, kTableEntry = 4;

uint32_t pieceBytes(const RowPiece& p, ByteOrder order) {
  return static_cast<uint32_t>(encodeRowPiece(p, order).size()) + kDirEntry;
}

TableRow tableRow(std::vector<Column> cols, uint8_t flag = kRowHeadFirstLast) {
  TableRow r;
  r.piece.flag = flag;
  r.piece.cols = std::move(cols);
  return r;
}

void addSegmentHeader(ForgeFile& f, uint32_t objd, uint32_t header, uint32_t blocks) {
  SegmentSpec s;
  s.objd = objd;
  s.extents = {{f.rdba(header), blocks + 1}};
  s.hwmRdba = f.rdba(header + blocks + 1);
  f.addSegment(header, s);
}

bool tooMany(uint32_t used, uint32_t maxBlocks, uint32_t objd, std::string& error) {
  if (maxBlocks == 0 || used <= maxBlocks) return false;
  error = format("segment of object %u needs more than %u blocks", objd, maxBlocks);
  return true;
}

}  // namespace

bool placeHeap(ForgeFile& f, uint32_t objd, uint32_t header, uint32_t maxBlocks, const std::vector<Row>& rows,
               SegmentPlace& out, std::string& error, PlaceMode mode) {
  const FileSpec& fs = f.layout();
  const uint32_t budget = fs.blockSize - kBlockOverhead - kTableEntry;
  TableBlockSpec block;
  uint32_t used = 0, blocks = 0;
  auto flush = [&]() {
    if (block.tables[0].empty()) return;
    block.trans.objd = objd;
    f.addTableBlock(header + 1 + blocks++, block);
    block = TableBlockSpec{};
    used = 0;
  };
  for (const Row& r : rows) {
    TableRow tr = tableRow(columnsOf(r), kRowHeadFirstLast | mode.rowFlags);
    const uint32_t n = pieceBytes(tr.piece, fs.order);
    if (used + n > budget) flush();
    block.tables[0].push_back(tr);
    used += n;
  }
  flush();
  if (tooMany(blocks, maxBlocks, objd, error)) return false;
  if (mode.segmentHeader) addSegmentHeader(f, objd, header, blocks);
  out = SegmentPlace{header, blocks};
  return true;
}

namespace {

// One cluster key with the member rows that carry it, by table.
struct KeyGroup {
  std::vector<Column> key;
  std::vector<std::vector<Row>> members;
};

std::vector<KeyGroup> groupByKey(size_t keyColumns, const std::vector<std::vector<Row>>& tables) {
  std::vector<KeyGroup> groups;
  std::map<std::string, size_t> index;
  for (size_t t = 0; t < tables.size(); ++t) {
    for (const Row& r : tables[t]) {
      std::string k;
      for (size_t i = 0; i < keyColumns; ++i) k += r[i].text + "\x01";
      auto [it, fresh] = index.emplace(k, groups.size());
      if (fresh) {
        KeyGroup g;
        for (size_t i = 0; i < keyColumns; ++i) g.key.push_back(r[i].col);
        g.members.resize(tables.size());
        groups.push_back(std::move(g));
      }
      groups[it->second].members[t].push_back(r);
    }
  }
  return groups;
}

TableRow keyRow(const KeyGroup& g, uint8_t flags) {
  TableRow r = tableRow(g.key, kRowClusterKey | flags);
  uint8_t members = 0;
  for (const auto& m : g.members) members = static_cast<uint8_t>(members + m.size());
  r.piece.keyExtra = {0, members, 0, members};
  return r;
}

TableRow memberRow(const Row& r, size_t keyColumns, uint8_t keySlot, uint8_t flags) {
  TableRow m = tableRow(columnsOf(Row(r.begin() + static_cast<long>(keyColumns), r.end())),
                        kRowC | kRowHeadFirstLast | flags);
  m.piece.keyRow = keySlot;
  return m;
}

}  // namespace

bool placeCluster(ForgeFile& f, uint32_t objd, uint32_t header, uint32_t maxBlocks, size_t keyColumns,
                  const std::vector<std::vector<Row>>& tables, std::vector<std::vector<Row>>& ordered,
                  SegmentPlace& out, std::string& error, PlaceMode mode) {
  const FileSpec& fs = f.layout();
  const uint32_t budget = fs.blockSize - kBlockOverhead - kTableEntry * static_cast<uint32_t>(tables.size() + 1);
  ordered.assign(tables.size(), {});
  TableBlockSpec block;
  block.tables.resize(tables.size() + 1);
  uint32_t used = 0, blocks = 0;
  auto flush = [&]() {
    if (block.tables[0].empty()) return;
    block.trans.objd = objd;
    f.addTableBlock(header + 1 + blocks++, block);
    block = TableBlockSpec{};
    block.tables.resize(tables.size() + 1);
    used = 0;
  };
  // A key whose rows do not fit one block goes on in the next ones, each
  // with a key row of its own.
  for (KeyGroup g : groupByKey(keyColumns, tables)) {
    while (true) {
      const uint32_t keyBytes = pieceBytes(keyRow(g, mode.rowFlags).piece, fs.order);
      uint32_t need = keyBytes;
      for (const auto& rows : g.members)
        for (const Row& r : rows) need += pieceBytes(memberRow(r, keyColumns, 0, mode.rowFlags).piece, fs.order);
      if (used + need > budget) flush();
      KeyGroup here = g, rest = g;
      for (auto& m : here.members) m.clear();
      for (auto& m : rest.members) m.clear();
      uint32_t take = used + keyBytes, taken = 0;
      bool full = false;
      for (size_t t = 0; t < g.members.size(); ++t)
        for (const Row& r : g.members[t]) {
          const uint32_t n = pieceBytes(memberRow(r, keyColumns, 0, mode.rowFlags).piece, fs.order);
          full = full || (take + n > budget && taken > 0);
          (full ? rest : here).members[t].push_back(r);
          if (!full) take += n, taken++;
        }
      const uint8_t slot = static_cast<uint8_t>(block.tables[0].size());
      block.tables[0].push_back(keyRow(here, mode.rowFlags));
      for (size_t t = 0; t < here.members.size(); ++t) {
        for (const Row& r : here.members[t]) {
          block.tables[t + 1].push_back(memberRow(r, keyColumns, slot, mode.rowFlags));
          ordered[t].push_back(r);
        }
      }
      used = take;
      if (!full) break;
      flush();
      g = rest;
    }
  }
  flush();
  if (tooMany(blocks, maxBlocks, objd, error)) return false;
  if (mode.segmentHeader) addSegmentHeader(f, objd, header, blocks);
  out = SegmentPlace{header, blocks};
  return true;
}

}  // namespace bex::forge
