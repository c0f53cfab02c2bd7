#include "unload/column_text.h"

namespace bex {

bool writeColumnText(Sink& data, LobFile& lob, BlockContext& bc, const uint8_t* block, uint32_t offset,
                     uint32_t length, const ColumnSpec& col) {
  const bool present = valueInBlock(offset, length, bc.blockSize);
  if (isLobType(col.type)) {
    if (!lob.sink) return !present;
    if (!present) {
      writeNullLobReference(data, lob);
      return true;
    }
    return RecoverLobToText(data, lob, bc, block, static_cast<uint16_t>(offset), static_cast<uint16_t>(length), col);
  }
  if (present) writeColumnValue(data, block + offset, length, col, bc);
  return true;
}

bool writeJoinedLobText(Sink& data, LobFile& lob, BlockContext& bc, const uint8_t* v, uint32_t length,
                        uint32_t rowRdba, const ColumnSpec& col) {
  if (!lob.sink) return length == 0;
  if (length == 0) {
    writeNullLobReference(data, lob);
    return true;
  }
  return recoverLocatorToText(data, lob, bc, v, static_cast<uint16_t>(length), rowRdba, col);
}

}  // namespace bex
