#include "base/cmdline.h"

#include <cstring>

namespace bex {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void CommandLine::clear() {
  text[0] = 0;
  length = 0;
  rewind();
}

void CommandLine::set(std::string_view s) {
  size_t n = s.size() < kStatementMax ? s.size() : kStatementMax;
  if (n) memcpy(text, s.data(), n);
  text[n] = 0;
  length = static_cast<uint32_t>(n);
  rewind();
}

uint32_t CommandLine::nextToken() {
  uint32_t p = tokenEnd;
  while (p < length && isBlank(text[p])) p++;
  tokenStart = p;
  while (p < length && !isBlank(text[p])) p++;
  tokenEnd = p;
  return tokenEnd - tokenStart;
}

bool keywordMatch(std::string_view token, std::string_view keyword) {
  if (token.size() != keyword.size()) return false;
  for (size_t i = 0; i < token.size(); i++)
    if (asciiUpper(token[i]) != asciiUpper(keyword[i])) return false;
  return true;
}

size_t copyToken(std::string_view tok, char* out, size_t max) {
  size_t n = tok.size() < max ? tok.size() : max;
  if (n) memcpy(out, tok.data(), n);
  out[n] = 0;
  return n;
}

int64_t tokenNumber(std::string_view tok) {
  if (tok.size() > kNumberTokenMax) tok = tok.substr(0, kNumberTokenMax);
  size_t i = 0;
  bool neg = false;
  if (i < tok.size() && (tok[i] == '+' || tok[i] == '-')) neg = tok[i++] == '-';
  uint64_t v = 0;
  for (; i < tok.size() && tok[i] >= '0' && tok[i] <= '9'; i++) v = v * 10 + static_cast<uint64_t>(tok[i] - '0');
  return neg ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
}

static int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint64_t tokenNumberHex(std::string_view tok) {
  if (tok.size() > kNumberTokenMax) tok = tok.substr(0, kNumberTokenMax);
  if (tok.size() >= 2 && tok[0] == '0' && (tok[1] == 'x' || tok[1] == 'X')) {
    uint64_t v = 0;
    for (size_t i = 2; i < tok.size() && hexDigit(tok[i]) >= 0; i++) v = v * 16 + static_cast<uint64_t>(hexDigit(tok[i]));
    return v;
  }
  return static_cast<uint64_t>(tokenNumber(tok));
}

}  // namespace bex
