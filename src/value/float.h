// BINARY_FLOAT and BINARY_DOUBLE values: IEEE 754, most significant byte
// first, stored so that the bytes sort like the numbers (positive values
// with the sign bit set, negative values with every bit complemented).
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/sink.h"

namespace bex {

// Chosen by length: 4 bytes BINARY_FLOAT, 8 bytes BINARY_DOUBLE, written as
// "%f" (six decimals); infinities as "Inf"/"-Inf", NaN as "Nan". Any other
// length writes nothing.
void writeFloatText(Sink& out, const uint8_t* v, size_t length);

// As writeFloatText, but the finite values in the shortest text that reads
// back as the same float or double ("1e-10", "0.1", "16777216"): "%f"
// loses every digit of small values.
void writeFloatExactText(Sink& out, const uint8_t* v, size_t length);

// The value of 4 or 8 stored bytes (callers check the length).
double decodeBinaryFloat(const uint8_t* v);
double decodeBinaryDouble(const uint8_t* v);

}  // namespace bex
