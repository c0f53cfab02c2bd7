// Arbitrary stored values through the value writer of every type code: the
// first byte chooses the code and the character-set form, the rest is the
// value, in an exactly-sized heap buffer.
#include <cstring>
#include <memory>

#include "base/block_context.h"
#include "value/charset.h"
#include "value/column_type.h"

namespace {

class NullSink : public bex::Sink {
 public:
  NullSink() : Sink(buf_, sizeof buf_) {}

 protected:
  bool emit(const char*, size_t) override { return true; }

 private:
  char buf_[4096];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static NullSink out;
  static bex::Conversions conv = [] {
    bex::Conversions c;
    c.openDefaults();
    return c;
  }();
  bex::BlockContext bc;
  bc.conversions = &conv;
  bc.byteOrder = data[1] & 1;
  bex::ColumnSpec col;
  col.type = static_cast<bex::ColumnTypeCode>(data[0]);
  col.charsetForm = (data[1] & 2) ? bex::kCharsetFormNational : 1;
  size_t n = size - 2;
  std::unique_ptr<uint8_t[]> value(new uint8_t[n ? n : 1]);
  if (n) memcpy(value.get(), data + 2, n);
  if (n) bex::writeColumnValue(out, value.get(), n, col, bc);
  return 0;
}
