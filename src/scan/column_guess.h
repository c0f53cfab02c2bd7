// ColumnGuess: the column layout of a data object guessed from sample
// values, with the value tests it is built on, the type words and the
// UNLOAD OBJECT line that unloads the object with the guessed types.
#pragma once
#include <cstdint>

#include "base/sink.h"

namespace bex {

inline constexpr uint32_t kGuessColumns = 1024;

// Fail bits: a value of the column failed that test (0x01: a length
// differed from the first value's).
inline constexpr uint8_t kFailLength = 0x01;
inline constexpr uint8_t kFailNumber = 0x02;
inline constexpr uint8_t kFailDate = 0x04;
inline constexpr uint8_t kFailClob = 0x08;
inline constexpr uint8_t kFailBlob = 0x10;
inline constexpr uint8_t kFailText = 0x20;

// Guessed type codes (Oracle's type numbers).
inline constexpr uint8_t kGuessNumber = 2;
inline constexpr uint8_t kGuessVarchar = 9;
inline constexpr uint8_t kGuessDate = 12;
inline constexpr uint8_t kGuessRaw = 23;
inline constexpr uint8_t kGuessFloat = 100;
inline constexpr uint8_t kGuessDouble = 101;
inline constexpr uint8_t kGuessClob = 112;
inline constexpr uint8_t kGuessBlob = 113;
inline constexpr uint8_t kGuessTimestamp = 180;
inline constexpr uint8_t kGuessTimestampTz = 181;

struct ColumnGuessEntry {
  uint16_t nonnull = 0;   // non-empty values seen
  uint16_t firstlen = 0;  // length of the first non-empty value
  uint16_t maxlen = 0;
  uint8_t fails = 0;
  uint8_t type = kGuessRaw;
};

struct ColumnGuess {
  uint32_t count = 0;  // one more than the highest position seen
  uint16_t blockSize = 0;  // values running past blockSize - 4 are ignored
  ColumnGuessEntry col[kGuessColumns];

  void reset(uint16_t size) {
    count = 0;
    blockSize = size;
    for (ColumnGuessEntry& c : col) c = ColumnGuessEntry{};
  }
};

bool numberValueTest(const uint8_t* p, uint32_t n);
bool dateValueTest(const uint8_t* p, uint32_t n);
// A locator of lobType (kLobTypeClob, kLobTypeBlob) by its fixed part.
bool lobLocatorTest(const uint8_t* p, uint32_t n, uint16_t lobType);
bool textValueTest(const uint8_t* p, uint32_t n);

// One value of column position pos, at offset in a block of g.blockSize bytes.
void GuessValue(ColumnGuess& g, uint32_t pos, const uint8_t* block, uint32_t offset, uint32_t length);

// " NUMBER", " VARCHAR", ... for column c.
const char* guessTypeWord(const ColumnGuessEntry& c);

// The UNLOAD OBJECT line; cluster < 0 leaves out the CLUSTER option (SAMPLE).
void writeLayoutLine(Sink& out, const ColumnGuess& g, uint32_t objd, int cluster);

}  // namespace bex
