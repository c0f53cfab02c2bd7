#include "rowid/rowid.h"

#include "base/rdba.h"

namespace bex {

namespace {

const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int digitValue(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

uint64_t decodeField(std::string_view digits) {
  uint64_t v = 0;
  for (char c : digits) v = v * 64 + static_cast<uint64_t>(digitValue(c));
  return v;
}

void printUsage(Sink& out) {
  out.noteError();
  out.write("  ROWID CREATE OBJECT objd {[FILE rfn BLOCK bid] | [RDBA rdba]} SLOT slot \n");
  out.write("  ROWID PARSE  rowid\n");
}

void createCommand(CommandLine& cl, Sink& out) {
  enum { kNone, kObject, kSlot, kFile, kBlock, kRdba } pending = kNone;
  uint64_t objd = 0, slot = 0, file = 0, block = 0, rdba = 0;
  while (cl.nextToken()) {
    std::string_view t = cl.token();
    if (keywordMatch(t, "OBJECT")) pending = kObject;
    else if (keywordMatch(t, "SLOT")) pending = kSlot;
    else if (keywordMatch(t, "FILE")) pending = kFile;
    else if (keywordMatch(t, "BLOCK")) pending = kBlock;
    else if (keywordMatch(t, "RDBA")) pending = kRdba;
    else {
      switch (pending) {
        case kObject: objd = static_cast<uint64_t>(tokenNumber(t)); break;
        case kSlot: slot = static_cast<uint64_t>(tokenNumber(t)); break;
        case kFile: file = static_cast<uint64_t>(tokenNumber(t)); break;
        case kBlock: block = static_cast<uint64_t>(tokenNumber(t)); break;
        case kRdba: rdba = tokenNumberHex(t); break;
        case kNone: break;
      }
      pending = kNone;
    }
  }
  uint32_t address = static_cast<uint32_t>(rdba);
  if (address == 0) address = makeRdba(static_cast<uint32_t>(file), static_cast<uint32_t>(block));
  createRowid(out, static_cast<uint32_t>(objd), address, static_cast<uint16_t>(slot));
}

}  // namespace

void encodeRowidDigits(Sink& out, uint64_t value, int count) {
  for (int i = count - 1; i >= 0; i--) out.put(kDigits[(value >> (6 * i)) & 63]);
}

void createRowid(Sink& out, uint32_t objd, uint32_t rdba, uint16_t slot) {
  out.write("\n");
  out.printf("OBJD  = %u\n", objd);
  out.printf("RDBA  = 0x%08x = %u\n", rdba, rdba);
  out.printf("RFN#  = %u\n", rdbaFile(rdba));
  out.printf("BID#  = %u\n", rdbaBlock(rdba));
  out.printf("SLOT  = %u\n", static_cast<unsigned>(slot));
  out.write("ROWID = ");
  encodeRowidDigits(out, objd, 6);
  encodeRowidDigits(out, rdbaFile(rdba), 3);
  encodeRowidDigits(out, rdbaBlock(rdba), 6);
  encodeRowidDigits(out, slot, 3);
  out.write("\n\n");
}

void parseRowid(Sink& out, std::string_view text) {
  if (text.size() != kRowidLength) {
    out.error("Invalid rowid length!\n");
    return;
  }
  for (char c : text) {
    if (digitValue(c) < 0) {
      out.error("Invalid rowid value : %c !\n", c);
      return;
    }
  }
  uint32_t objd = static_cast<uint32_t>(decodeField(text.substr(0, 6)));
  uint32_t file = static_cast<uint32_t>(decodeField(text.substr(6, 3)));
  uint32_t block = static_cast<uint32_t>(decodeField(text.substr(9, 6)));
  uint16_t slot = static_cast<uint16_t>(decodeField(text.substr(15, 3)));
  createRowid(out, objd, makeRdba(file, block), slot);
}

void rowidCommand(CommandLine& cl, Sink& out) {
  if (!cl.nextToken()) {
    printUsage(out);
    return;
  }
  if (keywordMatch(cl.token(), "CREATE")) {
    createCommand(cl, out);
  } else if (keywordMatch(cl.token(), "PARSE")) {
    while (cl.nextToken())
      if (cl.token().size() == kRowidLength) parseRowid(out, cl.token());
  }
}

}  // namespace bex
