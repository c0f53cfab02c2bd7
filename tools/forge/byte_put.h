// Writer-side byte order. The forge writes every 16- and 32-bit field of a
// block in the file's byte order, except the fields Oracle always stores most
// significant byte first (row addresses in row headers, lengths inside
// compressed rows), which have their own BE writers.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace bex::forge {

enum class ByteOrder : uint8_t { Little = 0, Big = 1 };

using Bytes = std::vector<uint8_t>;

inline void putBE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void putBE32(uint8_t* p, uint32_t v) {
  putBE16(p, static_cast<uint16_t>(v >> 16));
  putBE16(p + 2, static_cast<uint16_t>(v));
}
inline void putLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putLE32(uint8_t* p, uint32_t v) {
  putLE16(p, static_cast<uint16_t>(v));
  putLE16(p + 2, static_cast<uint16_t>(v >> 16));
}
inline void put16(uint8_t* p, uint16_t v, ByteOrder o) {
  o == ByteOrder::Big ? putBE16(p, v) : putLE16(p, v);
}
inline void put32(uint8_t* p, uint32_t v, ByteOrder o) {
  o == ByteOrder::Big ? putBE32(p, v) : putLE32(p, v);
}

// Reading back a field of a block the forge made or took over.
inline uint16_t get16(const uint8_t* p, ByteOrder o) {
  return o == ByteOrder::Big ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}
inline uint32_t get32(const uint8_t* p, ByteOrder o) {
  return o == ByteOrder::Big ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                             : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
}

// Appending forms, for building row pieces and entries byte by byte.
inline void append16(Bytes& b, uint16_t v, ByteOrder o) {
  b.resize(b.size() + 2);
  put16(b.data() + b.size() - 2, v, o);
}
inline void append32(Bytes& b, uint32_t v, ByteOrder o) {
  b.resize(b.size() + 4);
  put32(b.data() + b.size() - 4, v, o);
}
inline void appendBE16(Bytes& b, uint16_t v) { append16(b, v, ByteOrder::Big); }
inline void appendBE32(Bytes& b, uint32_t v) { append32(b, v, ByteOrder::Big); }
inline void appendBytes(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

inline Bytes bytesOf(std::string_view s) { return Bytes(s.begin(), s.end()); }

}  // namespace bex::forge
