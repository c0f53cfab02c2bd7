// Guess mode (SAMPLE, SCAN TABLE): the walkers run as for an unload, but
// nothing is written; each column whose code is not SKIP goes to the
// guesser as its offset and length in the block buffer and its position.
#pragma once
#include <cstdint>

#include "unload/row_writer.h"
#include "unload/unload_job.h"

namespace bex {

using GuessValueHook = void (*)(void* guesser, const uint8_t* block, uint16_t offset, uint16_t length,
                                uint32_t position);

class GuessRowWriter : public RowWriter {
 public:
  GuessRowWriter(const UnloadJob& job, GuessValueHook hook, void* guesser) : job_(job), hook_(hook), guesser_(guesser) {}

  void rowAddress(uint32_t, uint32_t, uint32_t) override {}
  void piece(const PieceRef& p) override {
    for (uint32_t i = 0; i < p.cols->count; i++) {
      const uint32_t pos = p.start + i;
      if (job_.code(pos) == ColumnTypeCode::kSkip) continue;
      hook_(guesser_, p.v->data, p.cols->col[i].offset, p.cols->col[i].length, pos);
    }
  }
  void endRowEarly(uint32_t) override {}

 private:
  const UnloadJob& job_;
  GuessValueHook hook_;
  void* guesser_;
};

}  // namespace bex
