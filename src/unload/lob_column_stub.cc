// Until the LOB readers exist a LOB value cannot be read: every LOB column
// gets the reference of a value that could not be read.
#include "unload/lob_column.h"

namespace bex {

bool RecoverLobToText(Sink& data, LobFile& lob, BlockContext& bc, const uint8_t*, uint16_t, uint16_t,
                      const ColumnSpec&) {
  writeNullLobReference(data, lob, bc);
  return false;
}

}  // namespace bex
