// rman_bench_forge: the backup set of bench/run_rman.sh: two data files
// (rfn 2 and 3, 8 KiB blocks) of MiB / 2 mebibytes each in one backup set,
// multiplexed in chunks of 64 blocks, in pieces of at most 512 MiB. Every
// 50th block was never formatted and is left out. Blocks are made from one
// table-block template (only the address changes, then the checksum is
// sealed again) and written as they are made, so memory stays small.
//
//   rman_bench_forge <outdir> [MiB]
//
// Writes rmanbench_<n>.bkp and rmanbench.cfg. Prints "bytes=N runs=R
// file2=C file3=C": the bytes of the pieces, the lines RMAN SCAN lists, and
// the CRC `cksum` prints for RMAN_3.DBF and RMAN_4.DBF as RMAN RESTORE FILE
// 3 and 4 write them.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "cksum.h"
#include "forge/backup_piece.h"
#include "forge/file_header.h"
#include "forge/table_block.h"
#include "forge/values.h"

using namespace bex::forge;

namespace {

constexpr uint32_t kBlockSize = 8192, kChunk = 64, kPieceBlocks = 65536, kUnusedEvery = 50;
constexpr uint16_t kFiles[] = {2, 3};

// One data file: its blocks in ascending order, the never formatted ones
// passed over, and the CRC of the file a restore writes.
class BenchFile {
 public:
  BenchFile(uint16_t rfn, uint32_t last) : rfn_(rfn), last_(last) {
    Facts facts;
    FileHeaderSpec fh;
    fh.tsNumber = rfn, fh.tsName = "BENCH";
    header_ = buildFileHeader(fh, makeRdba(rfn, 1), rfn, kBlockSize, ByteOrder::Little, last, facts);
    TableBlockSpec s;
    s.trans.objd = 90000 + rfn;
    for (uint32_t r = 0; r < 60; ++r) {
      TableRow row;
      row.piece.cols = {col(numberInt(100000 + r)), col(format("rman benchmark row %u of a table block", r))};
      s.tables[0].push_back(row);
    }
    hdr_ = s.hdr;
    hdr_.type = 0x06;
    table_ = buildTableBlock(s, kBlockSize, ByteOrder::Little, facts);
    const std::string zeros(kBlockSize, '\0');
    sum_.add(reinterpret_cast<const uint8_t*>(zeros.data()), kBlockSize);  // block 0: not backed up
  }
  bool done() const { return next_ > last_; }
  uint16_t rfn() const { return rfn_; }
  // The next formatted block, its number in n.
  const ForgeBlock& next(uint32_t& n) {
    static const std::string zeros(kBlockSize, '\0');
    if (next_ % kUnusedEvery == 0) {  // never formatted: zeros in the restored file
      sum_.add(reinterpret_cast<const uint8_t*>(zeros.data()), kBlockSize);
      next_++;
    }
    n = next_++;
    const ForgeBlock* b = &header_;
    if (n > 1) {
      hdr_.rdba = makeRdba(rfn_, n);
      table_.put32(4, hdr_.rdba);
      sealBlock(table_, hdr_);
      b = &table_;
    }
    sum_.add(b->data(), kBlockSize);
    // A restored file ends with the last block backed up.
    if (next_ == last_ && last_ % kUnusedEvery == 0) next_++;
    return *b;
  }
  uint32_t crc() const { return sum_.value(); }

 private:
  uint16_t rfn_;
  uint32_t last_, next_ = 1;
  ForgeBlock header_, table_;
  BlockHeader hdr_;
  Cksum sum_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: rman_bench_forge <outdir> [MiB]\n");
    return 2;
  }
  const std::string outdir = argv[1];
  const uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 2048;
  const uint32_t last = static_cast<uint32_t>((mib << 20) / 2 / kBlockSize - 1);
  BenchFile files[] = {BenchFile(kFiles[0], last), BenchFile(kFiles[1], last)};
  BackupSetSpec set{"BEXDB", "TAG_BENCH", 2001, 1, 0, 0x00012100, kPieceBlocks, kChunk};
  std::string config;
  uint64_t bytes = 0, runs = 0;
  uint32_t pieceNo = 0, inPiece = 0;
  std::unique_ptr<FILE, int (*)(FILE*)> piece(nullptr, &std::fclose);
  auto put = [&](const uint8_t* p) {
    if (std::fwrite(p, 1, kBlockSize, piece.get()) != kBlockSize) std::exit(1);
    bytes += kBlockSize;
  };
  // Piece control blocks from the forge's layout of a one-block piece.
  auto control = [&](bool header) {
    BackupPiece b(kBlockSize, ByteOrder::Little);
    if (header) b.header(set, pieceNo, kPieceBlocks + 2);
    else b.trailer(set, pieceNo);
    put(b.bytes().data());
  };
  uint16_t lastRfn = 0;
  uint32_t lastBlock = 0;
  for (bool more = true; more;) {
    more = false;
    for (BenchFile& f : files) {
      for (uint32_t k = 0; k < kChunk && !f.done(); ++k, more = true) {
        if (!piece || inPiece == kPieceBlocks) {
          if (piece) control(false);
          const std::string name = format("rmanbench_%u.bkp", ++pieceNo);
          piece.reset(std::fopen((outdir + "/" + name).c_str(), "wb"));
          if (!piece) return 1;
          config += name + "\n";
          control(true);
          inPiece = 0, lastRfn = 0;
        }
        uint32_t n;
        put(f.next(n).data());
        if (f.rfn() != lastRfn || n != lastBlock + 1) runs++;
        lastRfn = f.rfn(), lastBlock = n;
        inPiece++;
      }
    }
  }
  control(false);
  piece.reset();
  std::unique_ptr<FILE, int (*)(FILE*)> cfg(std::fopen((outdir + "/rmanbench.cfg").c_str(), "w"), &std::fclose);
  if (!cfg || std::fputs(config.c_str(), cfg.get()) < 0) return 1;
  std::printf("bytes=%llu runs=%llu file%u=%u file%u=%u\n", static_cast<unsigned long long>(bytes),
              static_cast<unsigned long long>(runs), kFiles[0] + 1, files[0].crc(), kFiles[1] + 1, files[1].crc());
  return 0;
}
