// Scenarios "asm", "asmnormal", "asmhigh" and "asmvar": ASM disk groups
// (asm_group.h) holding forged data files, the originals beside them.
//
// asm: an EXTERNAL redundancy group of --disks 1 to 4 disks (default 2) and
//   AUs of --au MB (1, 2, 4, 8, 16, 32 or 64; default 1). It holds the files
//   of the dict scenario as ASM files 256 and 257 (asm.cfg names them "+n";
//   dict.cfg the originals), those of the scan scenario as 258 to 261
//   (asm_scan.cfg; scan.cfg), and as 262 a fine-striped copy of the largest
//   scan file. asm_nohdr.disks lists the group's disks around asm_nohdr.img,
//   whose block 0 is a list head instead of a disk header, with a comment,
//   a blank line and trailing blanks.
// asmnormal, asmhigh: the same files but the striped one in a NORMAL group
//   of 3 disks (2 copies of every extent) or a HIGH group of 4 (3 copies);
//   --disks from 2 or 3 to 4. Disk 0, which holds the primary copy of the
//   file directory's first AU, is missing: its image is written under
//   missing/ and the disk list still names it in the group's directory.
// asmvar: an EXTERNAL group of --disks disks (default 2) with small AUs
//   (default 8 KiB, or the data block size when larger; --au in bytes) and
//   the variable extent table of 20000 extents of 1 AU, then up to 40000
//   extents of 4 AUs. File 256 is asmvar_big05.dbf (rfn 5, sparse): 20040
//   extents, the last one used for 2 of its 4 AUs, with table blocks of
//   object 95001 at its start, across the change of extent size and at its
//   end; asmvar.BEXEXT.TXT is what SCAN DATABASE lists for it. File 257 is
//   asmvar_hole06.dbf (rfn 6, 200 one-AU extents, a table block of object
//   95002 in every block): extent 3 has an empty pointer, and its second
//   indirect block starts at extent 121, leaving out 101 to 120. With the
//   small AU the entries of files 256 and 257 lie in the file directory's
//   129th extent, so they are found through its indirect extents.
//   asmvar.cfg names +256, asmvar_plain.cfg the original.
//
// Every scenario writes <name>.disks, the images <name>_d<N>.img, the
// expectation lines (asmgroup, asmdisk, asmfile, asmhole, asmcopy; see
// expect.h), and under expect/<name>/ road.sql (the whole road: run bex in
// the directory the scenario was forged into), check.sh, and for EXTERNAL
// groups the listings a correct reader writes.
#include <fstream>
#include <sstream>

#include "forge/asm_group.h"
#include "forge/scan_listing.h"
#include "forge/unload_rows.h"
#include "forge/values.h"

namespace bex::forge {

bool buildDictScenario(ScenarioOut& out, std::string& error);
bool buildScanScenario(ScenarioOut& out, std::string& error);

namespace {

constexpr uint32_t kFirstFile = 256, kMaxDisks = 4;
constexpr uint32_t kBigObj = 95001, kHoleObj = 95002;

std::string aliasStem(const std::string& path) {
  std::string s = baseName(path);
  s = s.substr(0, s.find('.'));
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string configLine(const Original& o, uint32_t number) {
  return o.hsize ? format("+%u %u", number, o.hsize) : format("+%u", number);
}

// Adds the original as file `number`, plain or fine-striped.
bool addOriginal(AsmGroup& g, const Original& o, uint32_t number, bool fine, std::string& error) {
  Bytes bytes;
  if (!readWhole(o.path, bytes, error)) return false;
  AsmFileSpec f;
  f.number = number, f.original = o.path, f.size = bytes.size(), f.fine = fine;
  f.alias = aliasStem(o.path) + (fine ? "_STRIPED" : "");
  if (!fine) f.userAlias = baseName(o.path);
  f.read = bytesReader(std::move(bytes));
  g.add(std::move(f));
  return true;
}

std::string roadHead(const ScenarioOptions& o) {
  std::string s = "REM The ASM road on the forged group; run bex in the directory the scenario was forged into.\n";
  if (o.order == ByteOrder::Big) s += "SET BYTE_ORDER BIG\n";
  if (o.blockSize != 8192) s += format("SET BLOCK_SIZE %u\n", o.blockSize);
  return s;
}

bool writeRoad(ScenarioOut& out, const AsmGroup& g, const std::string& road, std::string& error) {
  return g.writeCheckScript(out, error) &&
         writeTextFile(out.path("expect/" + out.name() + "/road.sql"), road, error);
}

bool auOption(const ScenarioOptions& o, uint32_t fallback, uint32_t& au, std::string& error) {
  au = o.auSize ? o.auSize : fallback;
  if ((au & (au - 1)) == 0 && au >= 8192 && au >= o.blockSize && au <= (64u << 20)) return true;
  error = format("AU size %u is not a power of two from 8192 (and the block size) to 64 MB", au);
  return false;
}

// The group beside asm.disks whose list also names an image without a disk
// header.
bool writeNoHeaderList(ScenarioOut& out, const AsmGroup& g, uint32_t disks, ByteOrder order, std::string& error) {
  const std::string image = out.path("asm_nohdr.img");
  const ForgeBlock b = asmListHead(4096, order);
  std::string list = "# the disks of asm.disks and one whose block 0 is not a disk header\n\n" +
                     out.path(g.imageName(0)) + "\n" + image + "  \n";
  for (uint32_t d = 1; d < disks; ++d) list += out.path(g.imageName(d)) + "\n";
  out.note("asm_nohdr.disks: ASM OPEN prints \"Invalid Disk : " + image + "\" and enters the disks of asm.disks");
  Bytes mb(1 << 20);
  std::copy_n(b.data(), b.size(), mb.begin());
  return writeTextFile(image, std::string(mb.begin(), mb.end()), error) &&
         writeTextFile(out.path("asm_nohdr.disks"), list, error);
}

bool buildGroupScenario(ScenarioOut& out, uint32_t copies, uint32_t defaultDisks, std::string& error) {
  const ScenarioOptions& o = out.options();
  AsmGroupSpec shape;
  shape.prefix = out.name();
  shape.copies = copies;
  shape.disks = o.disks ? o.disks : defaultDisks;
  shape.order = o.order;
  shape.missingDisk = copies > 1 ? 0 : -1;
  if (shape.disks < copies || shape.disks > kMaxDisks) {
    error = format("%s takes %u to %u disks", out.name().c_str(), copies, kMaxDisks);
    return false;
  }
  if (!auOption(o, 1 << 20, shape.auSize, error)) return false;
  if (shape.auSize < (1u << 20)) {
    error = out.name() + " takes AUs of 1 MB or more";
    return false;
  }
  std::vector<Original> dict, scan;
  if (!forgeBeside(out, "dict", buildDictScenario, dict, error) || !forgeBeside(out, "scan", buildScanScenario, scan, error))
    return false;
  AsmGroup g(shape);
  std::string scanConfig;
  uint32_t number = kFirstFile;
  for (const Original& f : dict) {
    out.configLine(configLine(f, number));
    if (!addOriginal(g, f, number++, false, error)) return false;
  }
  const Original* largest = nullptr;
  uint64_t largestSize = 0;
  for (const Original& f : scan) {
    scanConfig += configLine(f, number) + "\n";
    if (!addOriginal(g, f, number++, false, error)) return false;
    const uint64_t size = static_cast<uint64_t>(std::ifstream(f.path, std::ios::binary | std::ios::ate).tellg());
    if (!largest || size > largestSize) largest = &f, largestSize = size;
  }
  if (copies == 1 && largest && !addOriginal(g, *largest, number, true, error)) return false;
  if (!g.write(out, error) || !writeTextFile(out.path(out.name() + "_scan.cfg"), scanConfig, error)) return false;
  if (copies == 1 && !writeNoHeaderList(out, g, shape.disks, shape.order, error)) return false;
  const std::string& n = out.name();
  std::string road = roadHead(o) +
                     "OPEN dict.cfg\nSCAN DATABASE\n"
                     "! cp BEXDICT/BEXEXT.TXT dict.BEXEXT.TXT && cp BEXDICT/BEXLOB.TXT dict.BEXLOB.TXT\n" +
                     g.roadCommands();
  if (copies == 1) road += "! sh expect/" + n + "/check.sh listings\n";
  road += "! sh expect/" + n + "/check.sh copies\n" + "OPEN " + n + ".cfg\nSCAN DATABASE\n! sh expect/" + n +
          "/check.sh scan dict\nUNLOAD TABLE DICT$;\n! sh expect/check.sh dict\n";
  for (const char* user : {"SCOTT", "HR"})
    road += format("LIST TABLE %s TO %s_%s.sql\n@%s_%s.sql\n! sh expect/check.sh rows %s\n", user, n.c_str(), user,
                   n.c_str(), user, user);
  road += "OPEN " + n + "_scan.cfg\nSCAN DATABASE\n! sh expect/" + n + "/check.sh scan scan\nEXIT\n";
  return writeRoad(out, g, road, error);
}

// Table blocks of objd, three rows each, in blocks first .. last.
void tableBlocks(ForgeFile& f, uint32_t objd, uint32_t first, uint32_t last) {
  for (uint32_t n = first; n <= last; ++n) {
    TableBlockSpec s;
    s.trans.objd = objd;
    for (uint32_t r = 0; r < 3; ++r) {
      TableRow row;
      row.piece.cols = {col(numberInt(int64_t{n} * 10 + r)), col(format("block %u row %u", n, r))};
      s.tables[0].push_back(row);
    }
    f.addTableBlock(n, s);
  }
}

ContentReader forgeFileReader(const ForgeFile& f) {
  return [&f](uint64_t offset, uint8_t* out, size_t len) {
    const uint32_t bsize = f.layout().blockSize;
    std::fill(out, out + len, 0);
    for (size_t done = 0; done < len;) {
      const uint64_t at = offset + done;
      const size_t in = static_cast<size_t>(at % bsize), n = std::min<size_t>(bsize - in, len - done);
      if (const ForgeBlock* b = f.block(static_cast<uint32_t>(at / bsize))) std::copy_n(b->data() + in, n, out + done);
      done += n;
    }
  };
}

}  // namespace

bool buildAsmScenario(ScenarioOut& out, std::string& error) { return buildGroupScenario(out, 1, 2, error); }
bool buildAsmNormalScenario(ScenarioOut& out, std::string& error) { return buildGroupScenario(out, 2, 3, error); }
bool buildAsmHighScenario(ScenarioOut& out, std::string& error) { return buildGroupScenario(out, 3, 4, error); }

bool buildAsmVarScenario(ScenarioOut& out, std::string& error) {
  const ScenarioOptions& o = out.options();
  AsmGroupSpec shape;
  shape.prefix = out.name();
  shape.disks = o.disks ? o.disks : 2;
  shape.order = o.order;
  shape.levels = {{20000, 1}, {40000, 4}};
  if (shape.disks > kMaxDisks) {
    error = format("asmvar takes 1 to %u disks", kMaxDisks);
    return false;
  }
  if (!auOption(o, std::max(8192u, o.blockSize), shape.auSize, error)) return false;
  const uint32_t perAu = shape.auSize / o.blockSize;
  const uint32_t bigAus = 20000 + 39 * 4 + 2, holeAus = 200;

  FileSpec bigSpec = out.fileSpec("asmvar_big05.dbf", 5);
  bigSpec.headerSize = 0, bigSpec.sparse = true, bigSpec.blocks = bigAus * perAu - 1;
  bigSpec.header.tsNumber = 5, bigSpec.header.tsName = "BIG";
  ForgeFile big(bigSpec);
  tableBlocks(big, kBigObj, 2, 9);
  tableBlocks(big, kBigObj, 19998 * perAu, 20006 * perAu - 1);
  tableBlocks(big, kBigObj, (bigAus - 6) * perAu, bigAus * perAu - 1);
  FileSpec holeSpec = out.fileSpec("asmvar_hole06.dbf", 6);
  holeSpec.headerSize = 0, holeSpec.blocks = holeAus * perAu - 1;
  holeSpec.header.tsNumber = 6, holeSpec.header.tsName = "HOLES";
  ForgeFile hole(holeSpec);
  tableBlocks(hole, kHoleObj, 2, holeAus * perAu - 1);
  if (!out.add(big, error, false) || !out.add(hole, error, false)) return false;
  ScanListing listing;
  listing.scanFile(big);

  AsmGroup g(shape);
  AsmFileSpec b;
  b.number = kFirstFile, b.original = bigSpec.name, b.size = uint64_t{bigAus} * shape.auSize;
  b.alias = "BIG05", b.read = forgeFileReader(big);
  g.add(b);
  AsmFileSpec h;
  h.number = kFirstFile + 1, h.original = holeSpec.name, h.size = uint64_t{holeAus} * shape.auSize;
  h.alias = "HOLE06", h.read = forgeFileReader(hole);
  h.emptyPointers = {3};
  h.skipFirst = 101, h.skipCount = 20;
  g.add(h);
  out.configLine("+256");
  if (!g.write(out, error) || !listing.write(out, "asmvar", error) ||
      !writeTextFile(out.path("asmvar_plain.cfg"), bigSpec.name + "\n", error))
    return false;
  const std::string unload = format("UNLOAD OBJECT %u COLUMN NUMBER COLUMN VARCHAR2 TO", kBigObj);
  const std::string road = roadHead(o) +
                           "OPEN asmvar_plain.cfg\nSCAN DATABASE\n! sh expect/asmvar/check.sh scan asmvar\n" + unload +
                           " asmvar.plain.txt;\n" + g.roadCommands() +
                           "! sh expect/asmvar/check.sh listings\n! sh expect/asmvar/check.sh copies\n"
                           "OPEN asmvar.cfg\nSCAN DATABASE\n! sh expect/asmvar/check.sh scan asmvar\n" +
                           unload + " asmvar.asm.txt;\n! cmp asmvar.plain.txt asmvar.asm.txt && echo asmvar.asm.txt same\nEXIT\n";
  out.note("the ASM EXTENT statements of the road print expect/asmvar/EXTENT.txt last");
  return writeRoad(out, g, road, error);
}

}  // namespace bex::forge
