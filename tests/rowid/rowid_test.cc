#include "rowid/rowid.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace bex;

namespace {

std::string run(const std::string& statement) {
  CommandLine cl;
  cl.set(statement);
  cl.nextToken();
  StringSink out;
  rowidCommand(cl, out);
  return out.str();
}

std::string report(uint32_t objd, uint32_t rdba, uint16_t slot) {
  StringSink out;
  createRowid(out, objd, rdba, slot);
  return out.str();
}

}  // namespace

TEST(Rowid, CreateFromFileAndBlock) {
  EXPECT_EQ(run("ROWID CREATE OBJECT 1 FILE 1 BLOCK 1 SLOT 0"),
            "\nOBJD  = 1\nRDBA  = 0x00400001 = 4194305\nRFN#  = 1\nBID#  = 1\nSLOT  = 0\n"
            "ROWID = AAAAABAABAAAAABAAA\n\n");
}

TEST(Rowid, RdbaWinsOverFileAndBlockAndKeywordsComeInAnyOrder) {
  std::string expected = run("ROWID CREATE OBJECT 1 FILE 1 BLOCK 1 SLOT 0");
  EXPECT_EQ(run("rowid create object 1 rdba 0x00400001 slot 0"), expected);
  EXPECT_EQ(run("ROWID CREATE SLOT 0 RDBA 0X00400001 FILE 7 BLOCK 9 OBJECT 1"), expected);
  EXPECT_EQ(run("ROWID CREATE OBJECT 1 RDBA 4194305 SLOT 0 stray"), expected);
}

TEST(Rowid, CreateWithoutPartsAndOutOfRangeValues) {
  EXPECT_EQ(run("ROWID CREATE"), report(0, 0, 0));
  // File above 1023, block above 2^22 - 1 and slot above 65535 keep their bits.
  EXPECT_EQ(run("ROWID CREATE OBJECT 4294967297 FILE 1025 BLOCK 4194305 SLOT 65537"),
            report(1, (1u << 22) | 1, 1));
}

TEST(Rowid, UsageAndUnknownVerb) {
  EXPECT_EQ(run("ROWID"),
            "  ROWID CREATE OBJECT objd {[FILE rfn BLOCK bid] | [RDBA rdba]} SLOT slot \n  ROWID PARSE  rowid\n");
  EXPECT_EQ(run("ROWID MAKE"), "");
}

TEST(Rowid, ParseReportsEach18CharacterToken) {
  std::string ok = report(1, 0x00400001, 0);
  EXPECT_EQ(run("ROWID PARSE AAAAABAABAAAAABAAA"), ok);
  EXPECT_EQ(run("ROWID PARSE short AAAAA.AABAAAAABAAA AAAAABAABAAAAABAAA"), "Invalid rowid value : . !\n" + ok);
}

TEST(Rowid, ParseFileFieldAbove1023KeepsTenBits) {
  // "BAB" = 64*64 + 1 = 4097, which is 1 modulo 1024.
  std::string out = run("ROWID PARSE AAAAABBABAAAAABAAA");
  EXPECT_NE(out.find("RFN#  = 1\n"), std::string::npos);
  EXPECT_NE(out.find("ROWID = AAAAABAABAAAAABAAA\n"), std::string::npos);
}

TEST(Rowid, ParseErrors) {
  StringSink out;
  parseRowid(out, "AAAA");
  EXPECT_EQ(out.str(), "Invalid rowid length!\n");
}

// Texts written out, not made by the code under test: three ROWIDs Oracle
// printed next to the block dumps of the shared real data (seg/obj 0x123ba
// at rdba 0x03000c36; seg/obj 0x12f8b, file 4 block 13171, row 1; seg/obj
// 0x11aee in a bigfile tablespace, rdba 0x00000316: no file bits), and
// block numbers at 2^21 and 2^22 - 1 with every other field at its top.
TEST(Rowid, CreateAndParseAgreeWithWrittenTexts) {
  struct Vector {
    uint32_t objd, file, block, slot;
    const char* rdba;  // as the report prints it
    const char* text;
  };
  const Vector vectors[] = {
      {74682, 12, 3126, 0, "0x03000c36 = 50334774", "AAASO6AAMAAAAw2AAA"},
      {77707, 4, 13171, 1, "0x01003373 = 16790387", "AAAS+LAAEAAADNzAAB"},
      {72430, 0, 790, 0, "0x00000316 = 790", "AAARruAAAAAAAMWAAA"},
      {1, 1, 2097152, 0, "0x00600000 = 6291456", "AAAAABAABAAIAAAAAA"},
      {73181, 4, 4194303, 65535, "0x013fffff = 20971519", "AAAR3dAAEAAP///P//"},
      {4294967295, 1023, 4194303, 65535, "0xffffffff = 4294967295", "D/////AP/AAP///P//"},
  };
  for (const Vector& v : vectors) {
    const std::string expected = "\nOBJD  = " + std::to_string(v.objd) + "\nRDBA  = " + v.rdba +
                                 "\nRFN#  = " + std::to_string(v.file) + "\nBID#  = " + std::to_string(v.block) +
                                 "\nSLOT  = " + std::to_string(v.slot) + "\nROWID = " + v.text + "\n\n";
    EXPECT_EQ(run("ROWID CREATE OBJECT " + std::to_string(v.objd) + " FILE " + std::to_string(v.file) + " BLOCK " +
                  std::to_string(v.block) + " SLOT " + std::to_string(v.slot)),
              expected);
    EXPECT_EQ(run("ROWID CREATE OBJECT " + std::to_string(v.objd) + " RDBA " + std::string(v.rdba, 10) + " SLOT " +
                  std::to_string(v.slot)),
              expected);
    EXPECT_EQ(run(std::string("ROWID PARSE ") + v.text), expected);
  }
}

TEST(Rowid, EncodeDecodeRoundTrip) {
  std::mt19937 rng(7);
  for (int i = 0; i < 2000; i++) {
    uint32_t objd = rng(), rdba = rng();
    uint16_t slot = static_cast<uint16_t>(rng());
    StringSink digits;
    encodeRowidDigits(digits, objd, 6);
    encodeRowidDigits(digits, rdba >> 22, 3);
    encodeRowidDigits(digits, rdba & 0x3FFFFF, 6);
    encodeRowidDigits(digits, slot, 3);
    ASSERT_EQ(digits.str().size(), 18u);
    StringSink parsed;
    parseRowid(parsed, digits.str());
    ASSERT_EQ(parsed.str(), report(objd, rdba, slot)) << digits.str();
  }
}
