// Hexadecimal text for every type without a text form of its own (RAW,
// LONG RAW, ROWID, INTERVAL, unknown columns): two upper-case digits per
// byte, no separator, prefix or line break.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/sink.h"

namespace bex {

void writeHexText(Sink& out, const uint8_t* v, size_t length);

}  // namespace bex
