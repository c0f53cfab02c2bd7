// Extended ROWID text: 18 base-64 digits (A-Z a-z 0-9 + /), most significant
// first: data object number (6), relative file number (3), block (6), slot (3).
#pragma once
#include <cstdint>
#include <string_view>

#include "base/cmdline.h"
#include "base/sink.h"

namespace bex {

inline constexpr size_t kRowidLength = 18;

// Prints the low 6 * count bits of value as count base-64 digits.
void encodeRowidDigits(Sink& out, uint64_t value, int count);
// The report for these parts.
void createRowid(Sink& out, uint32_t objd, uint32_t rdba, uint16_t slot);
// Checks and decodes one text and prints its report or one error line.
void parseRowid(Sink& out, std::string_view text);

// ROWID CREATE ... / ROWID PARSE ...; cl is positioned after ROWID.
void rowidCommand(CommandLine& cl, Sink& out);

}  // namespace bex
