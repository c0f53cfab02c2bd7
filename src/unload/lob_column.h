// LOB columns in text output: the value goes to the LOB file and the data
// file gets a SQL*Loader LOB location reference "%s.%ld.%ld/" (LOB file
// name, offset of the value's first byte plus one, bytes written or -1).
#pragma once
#include <cstdint>

#include "base/sink.h"
#include "lob/lob_sinks.h"
#include "value/column_type.h"

namespace bex {

// LOB file name of a data file: up to and including the last "." followed by
// "LOB", or the whole name followed by ".LOB" when it has no ".".
void lobFileName(const char* dataName, char* out, size_t outSize);

// The reference of a NULL (or unreadable) LOB: length -1, and the record
// tag in the LOB file.
void writeNullLobReference(Sink& data, LobFile& lob);

}  // namespace bex
