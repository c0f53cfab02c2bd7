// asm_bench_forge: the disk group of bench/run_asm.sh, one data file of MiB
// mebibytes (default 2048) as ASM file 256 of an EXTERNAL group of 2 disks
// with AUs of 1 MB. The file is made block by block from one table-block
// template (rfn 9, 8 KB blocks: OS header, file header, then table blocks of
// object 90009 with their own addresses), so memory stays small whatever
// its size.
//
//   asm_bench_forge <outdir> [MiB] [--au MB] [--disks N] [--original]
//
// Writes asmbench_d<N>.img, asmbench.disks, asmbench.cfg (+256),
// asmbench.expect and expect/asmbench/; with --original also the plain file
// asmbench09.dbf. Prints "bytes=N cksum=C": the length of what ASM COPY of
// file 256 writes and the CRC `cksum` prints for it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "cksum.h"
#include "forge/asm_group.h"
#include "forge/file_header.h"
#include "forge/table_block.h"
#include "forge/values.h"

using namespace bex::forge;

namespace {

constexpr uint16_t kRfn = 9;
constexpr uint32_t kObjd = 90009, kBlockSize = 8192;

// Makes block n of the file on demand.
class BenchFile {
 public:
  explicit BenchFile(uint32_t last) {
    Facts facts;
    os_ = buildOsHeader(kBlockSize, ByteOrder::Little, last);
    FileHeaderSpec fh;
    fh.tsNumber = kRfn, fh.tsName = "BENCH";
    header_ = buildFileHeader(fh, makeRdba(kRfn, 1), kRfn, kBlockSize, ByteOrder::Little, last, facts);
    TableBlockSpec s;
    s.trans.objd = kObjd;
    for (uint32_t r = 0; r < 60; ++r) {
      TableRow row;
      row.piece.cols = {col(numberInt(100000 + r)), col(format("asm benchmark row %u of a table block", r))};
      s.tables[0].push_back(row);
    }
    hdr_ = s.hdr;
    hdr_.type = 0x06;
    table_ = buildTableBlock(s, kBlockSize, ByteOrder::Little, facts);
  }
  const ForgeBlock& block(uint32_t n) {
    if (n == 0) return os_;
    if (n == 1) return header_;
    hdr_.rdba = makeRdba(kRfn, n);
    table_.put32(4, hdr_.rdba);
    sealBlock(table_, hdr_);
    return table_;
  }

 private:
  ForgeBlock os_, header_, table_;
  BlockHeader hdr_;
};

int usage() {
  std::fprintf(stderr, "usage: asm_bench_forge <outdir> [MiB] [--au MB] [--disks N] [--original]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string outdir = argv[1];
  uint64_t mib = 2048;
  bool original = false;
  ScenarioOptions opts;
  opts.auSize = 1 << 20, opts.disks = 2;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--original") == 0) original = true;
    else if (std::strcmp(argv[i], "--au") == 0 && i + 1 < argc) opts.auSize = static_cast<uint32_t>(std::atoi(argv[++i])) << 20;
    else if (std::strcmp(argv[i], "--disks") == 0 && i + 1 < argc) opts.disks = static_cast<uint32_t>(std::atoi(argv[++i]));
    else if (argv[i][0] != '-') mib = std::strtoull(argv[i], nullptr, 10);
    else return usage();
  }
  if (mib == 0 || opts.auSize == 0 || opts.disks == 0) return usage();
  const uint64_t size = mib << 20;
  const uint32_t last = static_cast<uint32_t>(size / kBlockSize - 1);
  BenchFile file(last);
  Cksum sum;
  // The group reads the file once, in order: the checksum follows it.
  ContentReader read = [&](uint64_t offset, uint8_t* out, size_t len) {
    for (size_t done = 0; done < len; done += kBlockSize) {
      const uint64_t n = (offset + done) / kBlockSize;
      if (n <= last) std::memcpy(out + done, file.block(static_cast<uint32_t>(n)).data(), kBlockSize);
      else std::memset(out + done, 0, kBlockSize);
    }
    if (offset == sum.bytes()) sum.add(out, len);
  };

  ScenarioOut out(outdir, "asmbench", opts);
  AsmGroupSpec shape;
  shape.prefix = "asmbench";
  shape.disks = opts.disks;
  shape.auSize = opts.auSize;
  AsmGroup g(shape);
  AsmFileSpec f;
  f.number = 256, f.original = out.path("asmbench09.dbf"), f.size = size, f.alias = "BENCH09", f.read = read;
  g.add(f);
  out.configLine("+256");
  std::string error;
  if (!g.write(out, error) || !out.finish(error)) {
    std::fprintf(stderr, "asm_bench_forge: %s\n", error.c_str());
    return 1;
  }
  if (original) {
    std::unique_ptr<FILE, int (*)(FILE*)> plain(std::fopen(out.path("asmbench09.dbf").c_str(), "wb"), &std::fclose);
    for (uint32_t n = 0; plain && n <= last; ++n)
      if (std::fwrite(file.block(n).data(), 1, kBlockSize, plain.get()) != kBlockSize) plain.reset();
    if (!plain) {
      std::fprintf(stderr, "asm_bench_forge: cannot write asmbench09.dbf\n");
      return 1;
    }
  }
  std::printf("bytes=%llu cksum=%u\n", static_cast<unsigned long long>(sum.bytes()), sum.value());
  return 0;
}
