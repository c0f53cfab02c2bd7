// Oracle character-set names and ids, and the three iconv conversions that
// national-character, NCLOB and CLOB data pass through on the way out.
#pragma once
#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/sink.h"

namespace bex {

struct OracleCharset {
  const char* name;
  uint64_t id;
};

// 247 rows in Oracle's order, then an end row {nullptr, 0}.
extern const OracleCharset OracleCharsetTable[];
inline constexpr size_t kOracleCharsetCount = 247;

// Id of the first row whose name equals name ignoring case; otherwise name
// read as an unsigned decimal number (0 without leading digits).
uint16_t findCharsetId(std::string_view name);
// Name of the row with this id, or nullptr.
const char* charsetName(uint16_t id);

// LIST CHARSET.
void listCharsets(Sink& out);

// How iconv names the bytes of an Oracle character set. A database in a
// multi-byte set stores its CLOB values as UTF-16BE (as AL16UTF16 stores
// national text); one in a single-byte set stores them in the set itself.
struct IconvCharset {
  uint16_t id;
  const char* name;
  bool multiByte;
};
inline constexpr uint16_t kCharsetAl16Utf16 = 2000;
// The entry of an Oracle character-set id, or nullptr for a set without one.
const IconvCharset* iconvCharset(uint16_t id);

inline const iconv_t kInvalidIconv = reinterpret_cast<iconv_t>(-1);

// One conversion descriptor; invalid ("OFF") when it could not be opened.
struct Conversion {
  iconv_t cd = kInvalidIconv;
  char source[64] = "";  // the iconv names converted from and to, as given to open()
  char target[64] = "";
  // What a LOB value gets in place of a character the conversion rejects:
  // U+FFFD, or "?" when the target set has no U+FFFD, in source bytes the
  // descriptor converts (none when neither converts).
  uint8_t substitute[8] = {};
  size_t substituteLen = 0;
  size_t unit = 1;                 // bytes of the source's shortest character
  iconv_t measure = kInvalidIconv;  // source to UTF-8: how long a rejected character is
  // UTF-16BE to UTF-8 (AL16UTF16 text out as UTF-8): LOB values take a
  // one-step path of their own instead of iconv's two, with the same bytes.
  bool utf16ToUtf8 = false;
  bool valid() const { return cd != kInvalidIconv; }
  // Closes the current descriptor and opens one from `from` to `to`.
  void open(const char* from, const char* to);
  // A descriptor of its own for what `from` converts (for another thread);
  // false when it could not be opened as from's was.
  bool openLike(const Conversion& from);
  void close();
  // Length of the character at p[0, n) that the conversion rejected: one
  // unit when it is no character of the source; 0 when it is cut off by n.
  size_t rejectedLength(const uint8_t* p, size_t n) const;

 private:
  void findSubstitute(const char* source);
};

struct Conversions {
  Conversion nchar;  // NCHAR, NVARCHAR2, form-2 VARCHAR2/CHAR
  Conversion nclob;  // NCLOB, form-2 CLOB
  Conversion clob;   // CLOB
  void openDefaults();  // "UTF-16"/"UCS-2BE"/"UCS-2BE" to "GBK"
  // Descriptors of their own for what from's convert; false when one of
  // them could not be opened as from's was.
  bool openLike(const Conversions& from);
  void closeAll();
};

inline constexpr size_t kConvertOutMax = 65536;
inline constexpr size_t kCharacterMax = 8;  // longer than any character of any conversion

// Writes one value through the descriptor; on any conversion failure, or
// with an invalid descriptor, writes the stored bytes unchanged.
void convertValue(Sink& out, Conversion& conv, const uint8_t* value, size_t length);
// Converts a LOB value that arrives in pieces (one block payload at a
// time). A character cut by a piece's end is carried into the next piece
// instead of being written half converted. Each character the conversion
// rejects (no character of the source, or none of the target), and a
// character cut off by the value's end, is written as the conversion's
// substitute, and the value goes on converting after it; replaced() counts
// them. Without a valid descriptor every piece is written unchanged.
class LobConverter {
 public:
  LobConverter(Sink& out, Conversion& conv) : out_(out), conv_(conv) {}
  void begin();
  void piece(const uint8_t* p, size_t length);
  void end();
  // Characters of the value written as the substitute.
  uint64_t replaced() const { return replaced_; }

 private:
  void convertRun(const uint8_t* p, size_t length);
  void convertUtf16Run(const uint8_t* p, size_t length);
  void substitute();

  Sink& out_;
  Conversion& conv_;
  uint8_t carry_[kCharacterMax];
  size_t carryLen_ = 0;
  uint64_t replaced_ = 0;
};

}  // namespace bex
