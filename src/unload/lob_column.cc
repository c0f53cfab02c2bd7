#include "unload/lob_column.h"

#include <cstring>

namespace bex {

void lobFileName(const char* dataName, char* out, size_t outSize) {
  const char* dot = strrchr(dataName, '.');
  if (dot)
    snprintf(out, outSize, "%.*sLOB", static_cast<int>(dot - dataName + 1), dataName);
  else
    snprintf(out, outSize, "%s.LOB", dataName);
}

void writeNullLobReference(Sink& data, LobFile& lob) {
  if (!lob.sink) return;
  writeLobReference(data, lob, lob.sink->bytesWritten(), -1);
  lob.sink->write(lob.recordTag.data(), lob.recordTag.size());
}

}  // namespace bex
