#include "scan/column_guess.h"

#include "lob/lob_locator.h"

namespace bex {

namespace {

bool printableOrSpace(uint32_t c) { return (c >= 0x20 && c < 0x7F) || (c >= 0x09 && c <= 0x0D); }

// A zero byte may end the value in the byte-wise readings.
bool zeroAtEnd(const uint8_t* p, uint32_t i, uint32_t n) { return p[i] == 0 && i + 1 == n; }

bool continuation(uint8_t b) { return b >= 0x80 && b <= 0xBF; }

bool utf8Reading(const uint8_t* p, uint32_t n) {
  for (uint32_t i = 0; i < n;) {
    const uint8_t b = p[i];
    uint32_t follow;
    if (b < 0x80) {
      if (!printableOrSpace(b) && !zeroAtEnd(p, i, n)) return false;
      i++;
      continue;
    }
    if (b >= 0xC0 && b <= 0xDF) follow = 1;
    else if (b >= 0xE0 && b <= 0xEF) follow = 2;
    else if (b >= 0xF0 && b <= 0xF7) follow = 3;
    else return false;
    if (n - i <= follow) return false;
    for (uint32_t k = 1; k <= follow; k++)
      if (!continuation(p[i + k])) return false;
    i += follow + 1;
  }
  return true;
}

bool doubleByteReading(const uint8_t* p, uint32_t n) {
  for (uint32_t i = 0; i < n;) {
    const uint8_t b = p[i];
    if (b < 0x80) {
      if (!printableOrSpace(b) && !zeroAtEnd(p, i, n)) return false;
      i++;
      continue;
    }
    if (b < 0x81 || b == 0xFF || i + 1 >= n) return false;
    const uint8_t t = p[i + 1];
    if (t < 0x40 || t == 0x7F || t == 0xFF) return false;
    i += 2;
  }
  return true;
}

bool sevenBitReading(const uint8_t* p, uint32_t n) {
  for (uint32_t i = 0; i < n; i++)
    if (!printableOrSpace(p[i]) && !zeroAtEnd(p, i, n)) return false;
  return true;
}

bool wideUnit(uint32_t u) {
  return (u < 0x80 && printableOrSpace(u)) || (u >= 0x3400 && u <= 0x4D85) || (u >= 0x4E00 && u <= 0x9FEF) ||
         (u >= 0xF900 && u <= 0xFAD9);
}

bool utf16Reading(const uint8_t* p, uint32_t n, bool bigEndian) {
  if (n % 2 != 0) return false;
  for (uint32_t i = 0; i < n; i += 2) {
    const uint32_t u = bigEndian ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]);
    if (!wideUnit(u)) return false;
  }
  return true;
}

// The type after a later value, by the fail bits (the value has been
// tested); number: the value itself passes the NUMBER test.
uint8_t demoted(const ColumnGuessEntry& c, bool number) {
  switch (c.type) {
    case kGuessNumber: return (c.fails & kFailNumber) ? kGuessVarchar : c.type;
    case kGuessVarchar: return (c.fails & kFailText) ? kGuessRaw : c.type;
    case kGuessDate:
    case kGuessTimestamp:
    case kGuessTimestampTz:
      if (!(c.fails & (kFailLength | kFailDate))) return c.type;
      return number ? kGuessNumber : kGuessVarchar;
    case kGuessFloat:
    case kGuessDouble: return (c.fails & kFailLength) ? kGuessVarchar : c.type;
    case kGuessClob: return (c.fails & kFailClob) ? kGuessVarchar : c.type;
    case kGuessBlob: return (c.fails & kFailBlob) ? kGuessVarchar : c.type;
    default: return c.type;
  }
}

uint8_t firstValueType(const ColumnGuessEntry& c, uint32_t n) {
  if (!(c.fails & kFailDate)) return n == 7 ? kGuessDate : n == 11 ? kGuessTimestamp : kGuessTimestampTz;
  if (!(c.fails & kFailNumber)) return kGuessNumber;
  if (!(c.fails & kFailClob)) return kGuessClob;
  if (!(c.fails & kFailBlob)) return kGuessBlob;
  const bool text = !(c.fails & kFailText);
  if (n == 4 && !text) return kGuessFloat;
  if (n == 8 && !text) return kGuessDouble;
  if (text) return kGuessVarchar;
  return c.type;
}

}  // namespace

bool numberValueTest(const uint8_t* p, uint32_t n) {
  if (n == 0) return false;
  // 0x80 alone is zero; with digits it is the exponent of the smallest
  // positive numbers (1e-130 is 0x80 0x02).
  if (p[0] >= 0x80) {
    if (n > 21) return false;
    for (uint32_t i = 1; i < n; i++)
      if (p[i] < 1 || p[i] > 100) return false;
    return true;
  }
  // A negative number: its exponent byte, digits 2 to 101, and the closing
  // 102, which a number of all 20 digits goes without.
  if (n < 2 || n > 22) return false;
  const uint32_t digitsEnd = p[n - 1] == 102 ? n - 1 : n;
  if (digitsEnd == n && n != 21) return false;
  for (uint32_t i = 1; i < digitsEnd; i++)
    if (p[i] < 2 || p[i] > 101) return false;
  return true;
}

bool dateValueTest(const uint8_t* p, uint32_t n) {
  if (n != 7 && n != 11 && n != 13) return false;
  return p[0] >= 51 && p[0] <= 149 && p[2] >= 1 && p[2] <= 12 && p[3] >= 1 && p[3] <= 31 && p[4] <= 24 &&
         p[5] <= 60 && p[6] <= 60;
}

// A locator's fixed part alone, or a locator of at least 30 bytes whose
// length word says so; the locator sizes rows hold, version 1, the LOB type,
// and a LOB id with at least 3 zero bytes.
bool lobLocatorTest(const uint8_t* p, uint32_t n, uint16_t lobType) {
  if (n != kLobFixedSize && n < 30) return false;
  const LobLocator loc = parseLobLocator(p, n);
  if (n != kLobFixedSize && n != kLobFixedSize + loc.restLength) return false;
  if ((loc.size != 0x54 && loc.size != 0x70) || loc.version != 1 || loc.lobType != lobType) return false;
  uint32_t zeros = 0;
  for (uint8_t b : loc.lobId) zeros += b == 0;
  return zeros >= 3;
}

bool textValueTest(const uint8_t* p, uint32_t n) {
  return utf8Reading(p, n) || doubleByteReading(p, n) || sevenBitReading(p, n) || utf16Reading(p, n, true) ||
         utf16Reading(p, n, false);
}

void GuessValue(ColumnGuess& g, uint32_t pos, const uint8_t* block, uint32_t offset, uint32_t length) {
  if (pos >= kGuessColumns || g.blockSize < 4 || offset > g.blockSize - 4u || length > g.blockSize - 4u - offset)
    return;
  if (pos + 1 > g.count) g.count = pos + 1;
  if (length == 0) return;
  ColumnGuessEntry& c = g.col[pos];
  const uint8_t* p = block + offset;
  const uint16_t n = static_cast<uint16_t>(length);
  if (c.nonnull < UINT16_MAX) c.nonnull++;
  if (c.firstlen == 0) c.firstlen = n;
  if (n > c.maxlen) c.maxlen = n;
  if (n != c.firstlen) c.fails |= kFailLength;
  if (!(c.fails & kFailNumber) && !numberValueTest(p, n)) c.fails |= kFailNumber;
  if (!(c.fails & kFailDate) && !dateValueTest(p, n)) c.fails |= kFailDate;
  if (!(c.fails & kFailClob) && !lobLocatorTest(p, n, kLobTypeClob)) c.fails |= kFailClob;
  if (!(c.fails & kFailBlob) && !lobLocatorTest(p, n, kLobTypeBlob)) c.fails |= kFailBlob;
  if (!(c.fails & kFailText) && !textValueTest(p, n)) c.fails |= kFailText;
  if (c.nonnull == 1) {
    c.type = firstValueType(c, n);
    return;
  }
  c.type = demoted(c, numberValueTest(p, n));
}

const char* guessTypeWord(const ColumnGuessEntry& c) {
  switch (c.type) {
    case 1: return " VARCHAR2";
    case kGuessNumber: return " NUMBER";
    case kGuessVarchar: return " VARCHAR";
    case kGuessDate: return " DATE";
    case kGuessFloat: return " BINARY_FLOAT";
    case kGuessDouble: return " BINARY_DOUBLE";
    case kGuessClob: return " CLOB";
    case kGuessBlob: return " BLOB";
    case kGuessTimestamp: return " TIMESTAMP";
    case kGuessTimestampTz: return " TIMESTAMPTZ";
    default: return c.nonnull ? " RAW" : " UNKNOWN";
  }
}

void writeLayoutLine(Sink& out, const ColumnGuess& g, uint32_t objd, int cluster) {
  if (cluster < 0)
    out.printf("UNLOAD OBJECT %u COLUMN ", objd);
  else
    out.printf("UNLOAD OBJECT %u CLUSTER %d COLUMN ", objd, cluster);
  const uint32_t n = g.count < kGuessColumns ? g.count : kGuessColumns;
  for (uint32_t i = 0; i < n; i++) {
    if (i % 10 == 0) out.write(" \n      ");
    out.write(guessTypeWord(g.col[i]));
  }
  if (n % 10 == 0 || n % 10 > 4) out.write(" \n      ");
  out.printf(" TO OBJD%010uC%03u.txt; \n", objd, cluster < 0 ? 0u : static_cast<unsigned>(cluster));
}

}  // namespace bex
