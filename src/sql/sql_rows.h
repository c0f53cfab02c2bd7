// The rows of one stretch of blocks as the block walkers hand them over:
// each value's stored bytes copied into one arena, decoded only when a
// query reads the value. A walk that reads no column (COUNT(*)) keeps
// nothing but the row addresses.
#pragma once
#include <cstdint>
#include <vector>

#include "unload/row_walk.h"
#include "unload/row_writer.h"

namespace bex {

struct SqlRow {
  uint32_t rdba = 0, table = 0, slot = 0;
  uint32_t firstValue = 0, values = 0;
};

class SqlRowWriter : public RowWriter {
 public:
  explicit SqlRowWriter(bool keepValues) : keep_(keepValues) {}

  void clear();
  size_t rows() const { return rows_.size(); }
  const SqlRow& row(size_t i) const { return rows_[i]; }
  // The stored bytes of position pos of row i; false when NULL or absent.
  bool value(size_t i, uint32_t pos, const uint8_t*& v, uint32_t& length) const;

  void rowAddress(uint32_t rdba, uint32_t table, uint32_t slot) override;
  void piece(const PieceRef& p) override;
  void endRowEarly(uint32_t) override {}

 private:
  struct Stored {
    uint32_t offset, length;
  };
  void append(const uint8_t* p, uint32_t n);

  bool keep_;
  std::vector<SqlRow> rows_;
  std::vector<Stored> values_;
  std::vector<uint8_t> bytes_;
};

// Gathers the chunks a block finder hands out, so that a cursor can walk
// them one stretch at a time.
class ChunkList : public ChunkQueue {
 public:
  void submit(const WalkChunk& c) override { chunks.push_back(c); }
  void drain() override {}
  std::vector<WalkChunk> chunks;
};

}  // namespace bex
