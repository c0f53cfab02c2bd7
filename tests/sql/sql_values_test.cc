// bex_sum over values whose sum through doubles comes out wrong: each
// expected total is worked out by hand from the values given.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "sql/sql_values.h"

namespace bex {
namespace {

class ExactSum : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    ASSERT_EQ(sqlite3_create_function(db_, "bex_sum", 1, SQLITE_UTF8, nullptr, nullptr, sqlExactSumStep,
                                      sqlExactSumFinal),
              SQLITE_OK);
  }
  void TearDown() override { sqlite3_close(db_); }

  // bex_sum over the rows of "VALUES rows", with its SQLite type: "integer
  // 5", "text 0.5", "null", or "error" when the query failed.
  std::string sum(const std::string& rows) {
    const std::string q = "SELECT typeof(s), s FROM (SELECT bex_sum(column1) AS s FROM (VALUES " + rows + "))";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, q.c_str(), -1, &st, nullptr) != SQLITE_OK) return "error";
    std::string out = "error";
    if (sqlite3_step(st) == SQLITE_ROW) {
      out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      if (const unsigned char* v = sqlite3_column_text(st, 1)) out += " " + std::string(reinterpret_cast<const char*>(v));
    }
    sqlite3_finalize(st);
    return out;
  }

  sqlite3* db_ = nullptr;
};

TEST_F(ExactSum, DecimalsAddUpExactly) {
  // Ten times 0.1 is 1 (through doubles 0.9999999999999999).
  EXPECT_EQ(sum("('0.1'),('0.1'),('0.1'),('0.1'),('0.1'),('0.1'),('0.1'),('0.1'),('0.1'),('0.1')"), "integer 1");
  EXPECT_EQ(sum("('0.1'),('0.2')"), "text 0.3");
  EXPECT_EQ(sum("('-0.3'),('0.1')"), "text -0.2");
  EXPECT_EQ(sum("('1.5'),(-2)"), "text -0.5");
  EXPECT_EQ(sum("('1E+2'),('2.5e-3')"), "text 100.0025");
  // The smallest and largest magnitudes NUMBER stores.
  EXPECT_EQ(sum("('1E-130'),('1E-130')"), "text 0." + std::string(129, '0') + "2");
  EXPECT_EQ(sum("('9.9E+125'),('1E+124')"), "text 1" + std::string(126, '0'));
}

TEST_F(ExactSum, IntegersBeyondDoublesAndSixtyFourBits) {
  // 2^53 + 1 is no double: the double sum of these gives 9007199254740994.
  EXPECT_EQ(sum("('9007199254740993'),(0)"), "integer 9007199254740993");
  EXPECT_EQ(sum("(9007199254740993),(1),(1)"), "integer 9007199254740995");
  // 2^63 - 1 plus 1: past 64 bits the sum is text.
  EXPECT_EQ(sum("(9223372036854775807),(1)"), "text 9223372036854775808");
  EXPECT_EQ(sum("(-9223372036854775807),(-1)"), "integer -9223372036854775808");
  EXPECT_EQ(sum("('123456789012345678901234567890.5'),('-0.5'),(10)"), "text 123456789012345678901234567900");
}

TEST_F(ExactSum, NullsAndWhatIsNoNumber) {
  EXPECT_EQ(sum("(NULL),(NULL)"), "null");
  EXPECT_EQ(sum("(NULL),('2.5')"), "text 2.5");
  EXPECT_EQ(sum("('12'),('x')"), "error");
  EXPECT_EQ(sum("(x'00')"), "error");
  EXPECT_EQ(sum("('1E+200')"), "error");
}

}  // namespace
}  // namespace bex
