// Helpers of the value decoder tests: bytes from hex text, and the text a
// decoder writes for them.
#pragma once
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/sink.h"

namespace bex::test {

// "C1 02 33", "c10233" or "C1,2,33" (DUMP style) to bytes; non-hex
// characters separate bytes only in the comma form.
inline std::vector<uint8_t> bytesOf(const std::string& hex) {
  std::vector<uint8_t> out;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (hex.find(',') != std::string::npos) {
    int v = 0;
    bool any = false;
    for (char c : hex + ",") {
      if (nibble(c) >= 0) {
        v = v * 16 + nibble(c);
        any = true;
      } else if (c == ',' && any) {
        out.push_back(static_cast<uint8_t>(v));
        v = 0;
        any = false;
      }
    }
    return out;
  }
  int hi = -1;
  for (char c : hex) {
    int n = nibble(c);
    if (n < 0) continue;
    if (hi < 0) {
      hi = n;
    } else {
      out.push_back(static_cast<uint8_t>(hi * 16 + n));
      hi = -1;
    }
  }
  return out;
}

// Text of writeX(sink, bytes, length) for a decoder of that shape.
template <typename Decoder>
std::string textOf(Decoder decode, const std::vector<uint8_t>& v) {
  StringSink out;
  decode(out, v.data(), v.size());
  return out.str();
}

template <typename Decoder>
std::string textOf(Decoder decode, const std::string& hex) {
  return textOf(decode, bytesOf(hex));
}

// Tab-separated rows of a vector file, comment lines left out.
inline std::vector<std::vector<std::string>> readRows(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string f;
    while (std::getline(ss, f, '\t')) fields.push_back(f);
    rows.push_back(fields);
  }
  return rows;
}

}  // namespace bex::test
