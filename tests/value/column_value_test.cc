#include "value/column_type.h"

#include <gtest/gtest.h>

#include "base/block_context.h"
#include "value/charset.h"
#include "value_test_util.h"

using namespace bex;
using C = ColumnTypeCode;
using bex::test::bytesOf;

namespace {

class ColumnValue : public ::testing::Test {
 protected:
  void SetUp() override {
    conversions.openDefaults();
    bc.conversions = &conversions;
  }
  void TearDown() override { conversions.closeAll(); }

  std::string text(C type, const std::string& bytes, uint16_t form = 1) {
    ColumnSpec col;
    col.type = type;
    col.charsetForm = form;
    StringSink out;
    writeColumnValue(out, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), col, bc);
    return out.str();
  }
  std::string hexText(C type, const std::string& hex) {
    auto v = bytesOf(hex);
    return text(type, std::string(v.begin(), v.end()));
  }

  Conversions conversions;
  BlockContext bc;
};

const std::string kChineseUtf16("\x4e\x2d\x65\x87", 4);  // U+4E2D U+6587
const std::string kChineseGbk("\xd6\xd0\xce\xc4", 4);

}  // namespace

TEST_F(ColumnValue, StoredByteTypes) {
  EXPECT_EQ(text(C::kVarchar2, "a|b\r\n"), "a|b\r\n");
  EXPECT_EQ(text(C::kVarchar, "x "), "x ");
  EXPECT_EQ(text(C::kLong, std::string("\x00\xff", 2)), std::string("\x00\xff", 2));
  EXPECT_EQ(text(C::kChar, "ab  "), "ab");
  EXPECT_EQ(text(C::kChar, " a \t"), " a \t");
  EXPECT_EQ(text(C::kChar, "    "), "");
}

TEST_F(ColumnValue, NationalCharacterValuesAreConverted) {
  ASSERT_TRUE(conversions.nchar.valid()) << "this C library lacks UTF-16 to GBK";
  EXPECT_EQ(text(C::kVarchar2, kChineseUtf16, kCharsetFormNational), kChineseGbk);
  EXPECT_EQ(text(C::kVarchar, kChineseUtf16, kCharsetFormNational), kChineseGbk);
  EXPECT_EQ(text(C::kNchar, kChineseUtf16), kChineseGbk);  // whatever the form
  // Converted CHAR values keep their blanks.
  EXPECT_EQ(text(C::kChar, std::string("\x00\x61\x00\x20", 4), kCharsetFormNational), "a ");
  EXPECT_EQ(text(C::kChar, kChineseUtf16), kChineseUtf16);  // form 1: as stored
  EXPECT_EQ(text(C::kLong, kChineseUtf16, kCharsetFormNational), kChineseUtf16);
  // Odd length cannot be converted: the stored bytes.
  EXPECT_EQ(text(C::kNchar, std::string("\x4e\x2d\x65", 3)), std::string("\x4e\x2d\x65", 3));
  // A run without conversions writes national values as stored.
  bc.conversions = nullptr;
  EXPECT_EQ(text(C::kNchar, kChineseUtf16), kChineseUtf16);
}

TEST_F(ColumnValue, DecodedTypes) {
  EXPECT_EQ(hexText(C::kNumber, "C1 02 33"), "1.5");
  EXPECT_EQ(hexText(C::kDate, "78 7C 0C 1F 18 3C 3C"), "2024-12-31 23:59:59");
  for (C t : {C::kTimestamp, C::kTimestampLtz})
    EXPECT_EQ(hexText(t, "78 7C 0C 1F 18 3C 3C 07 5B CD 15"), "2024-12-31 23:59:59.123456");
  // WITH TIME ZONE carries its offset, as its control-file mask asks.
  EXPECT_EQ(hexText(C::kTimestampTz, "78 7C 0C 1F 18 3C 3C 07 5B CD 15 15 5A"),
            "2025-01-01 01:29:59.123456 +01:30");
  // The length, not the declared type, picks float or double.
  EXPECT_EQ(hexText(C::kBinaryFloat, "BF F0 00 00 00 00 00 00"), "1.000000");
  EXPECT_EQ(hexText(C::kBinaryDouble, "BF 80 00 00"), "1.000000");
  EXPECT_EQ(hexText(C::kNarray, "02 C1 02 FF"), ",1,NULL");
  EXPECT_EQ(hexText(C::kVarray, "01 61 FF"), ",a,NULL");
  bc.byteOrder = kBigEndian;
  EXPECT_EQ(hexText(C::kNarray, "FE 00 02 C1 02"), ",1");
}

TEST_F(ColumnValue, TypesWithoutTextFormAreHex) {
  EXPECT_EQ(hexText(C::kRaw, "0A FF"), "0AFF");
  for (C t : {C::kLongRaw, C::kRowid, C::kIntervalYm, C::kIntervalDs, C::kUrowid, C::kUnknown, C::kOpaqueType, C{3},
                C{252}})
    EXPECT_EQ(hexText(t, "00 01 7F 80 FE"), "00017F80FE") << int(codeByte(t));
  std::string big(1000, '\xab');
  EXPECT_EQ(text(C::kRaw, big), [] {
    std::string s;
    for (int i = 0; i < 1000; i++) s += "AB";
    return s;
  }());
}

TEST_F(ColumnValue, SkipAndLobColumnsWriteNothing) {
  for (C t : {C::kSkip, C::kClob, C::kBlob, C::kNclob}) {
    EXPECT_EQ(text(t, "abc"), "") << int(codeByte(t));
  }
  EXPECT_TRUE(isLobType(C::kClob) && isLobType(C::kBlob) && isLobType(C::kNclob));
  EXPECT_FALSE(isLobType(C::kRaw) || isLobType(C::kLong) || isLobType(C::kSkip));
}
