#include "value/collection.h"

#include "base/byte_order.h"
#include "value/number.h"

namespace bex {
namespace {

constexpr uint8_t kElementNull = 255;
constexpr uint8_t kElementLongLength = 254;  // a 16-bit length follows

inline bool hasImageHeader(const uint8_t* v, size_t length) {
  return length >= 2 && v[0] == 0x00 && v[1] == 0x01;
}

// Walks the elements and hands each one's bytes to writeElement. An element
// whose bytes would run past the end of the value ends the walk unwritten:
// a cut-short number or string would be a wrong value.
template <typename WriteElement>
void walkCollection(Sink& out, const uint8_t* v, size_t length, uint8_t byteOrder,
                    WriteElement writeElement) {
  const bool header = hasImageHeader(v, length);
  size_t pos = header ? kCollectionHeaderBytes : 0;
  bool first = true;
  while (pos < length) {
    const uint8_t lead = v[pos];
    size_t start = pos + 1;
    size_t size = lead;
    if (lead == kElementLongLength) {
      if (length - pos < 3) return;
      size = get16(v + pos + 1, byteOrder);
      start = pos + 3;
    }
    if (lead != kElementNull && size > length - start) return;
    if (!header || !first) out.put(',');
    first = false;
    if (lead == kElementNull) {
      out.write("NULL");
      pos++;
      continue;
    }
    writeElement(v + start, size);
    pos = start + size;
  }
}

}  // namespace

void writeNumberCollectionText(Sink& out, const uint8_t* v, size_t length, uint8_t byteOrder) {
  walkCollection(out, v, length, byteOrder,
                 [&out](const uint8_t* e, size_t n) { writeNumberText(out, e, n); });
}

void writeStringCollectionText(Sink& out, const uint8_t* v, size_t length, uint8_t byteOrder) {
  walkCollection(out, v, length, byteOrder,
                 [&out](const uint8_t* e, size_t n) { out.write(e, n); });
}

}  // namespace bex
