// The statement being executed and its token cursor.
//
// Tokens are runs of non-blank characters (isspace in the C locale). The text
// is never modified while tokenising: a handler that needs a token as a string
// copies it with copyToken into a buffer of its own, cut to the buffer's limit.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/limits.h"

namespace bex {

struct CommandLine {
  char text[kStatementMax + 1] = {0};
  uint32_t length = 0;
  uint32_t tokenStart = 0;  // current token: [tokenStart, tokenEnd)
  uint32_t tokenEnd = 0;

  void clear();
  void set(std::string_view s);  // replaces the text (cut to kStatementMax) and rewinds
  void rewind() { tokenStart = tokenEnd = 0; }

  // Advances to the next token; returns its length, 0 when none is left.
  uint32_t nextToken();
  std::string_view token() const { return {text + tokenStart, tokenEnd - tokenStart}; }
  // Text from the start of the current token to the end of the statement.
  std::string_view fromToken() const { return {text + tokenStart, length - tokenStart}; }
};

bool isBlank(char c);
// Upper case for ASCII letters only; every other byte as it is.
inline char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// A token matches a keyword when the lengths are equal and the characters
// are equal ignoring ASCII case. No abbreviations.
bool keywordMatch(std::string_view token, std::string_view keyword);

// Copies at most max characters of tok into out and terminates it; returns
// the number of characters copied. out must hold max + 1 bytes.
size_t copyToken(std::string_view tok, char* out, size_t max);

// Reads a decimal integer with an optional sign the way the command parser
// does: the token is first cut to 31 characters; no leading digits give 0.
int64_t tokenNumber(std::string_view tok);
// As tokenNumber, but "0x"/"0X" selects hexadecimal. Result is unsigned.
uint64_t tokenNumberHex(std::string_view tok);

}  // namespace bex
