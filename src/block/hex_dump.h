// The raw hexadecimal layout of OSDUMP (and of the ASM commands): 16 bytes
// a line with a decimal/hexadecimal offset label and a text column; a run
// of lines equal to the last printed one collapses into that line, and
// every 256 bytes the two header lines are printed again.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/sink.h"

namespace bex {

void hexDump(Sink& out, const uint8_t* bytes, size_t length);

// Writes each byte as two hexadecimal digits followed by a blank ("%02x ").
void putHexBytesSpaced(Sink& out, const uint8_t* bytes, size_t length);

}  // namespace bex
