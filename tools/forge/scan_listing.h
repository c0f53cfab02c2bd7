// The listings a database scan must write for a scenario's files: the
// extent listing (one line per run of table or index blocks of one object,
// "\r\n" line ends) and the LOB listing (one line per run of LOB blocks of
// one LOB id, page and version, "\n" line ends). A scenario declares them
// run by run, or has them found in a forged file by scanFile. Scenarios
// write them next to their data files as <prefix>.BEXEXT.TXT and
// <prefix>.BEXLOB.TXT.
#pragma once
#include <cstdint>
#include <string>

#include "forge/forge_file.h"
#include "forge/lob_block.h"
#include "forge/scenario.h"

namespace bex::forge {

class ScanListing {
 public:
  void extent(uint32_t objd, uint16_t rfn, uint32_t first, uint32_t count, uint64_t rows);
  void lob(uint32_t objd, const LobId& id, uint32_t page, uint32_t version, uint16_t rfn, uint32_t first,
           uint32_t count);
  void append(const ScanListing& other);

  // The runs of one file, from block 2 to its highest block: table and
  // index blocks (type 0x06) of one object in a row, a block failing the
  // checksum ending its run and starting none, their row or entry counts
  // taken from the blocks' facts; LOB blocks (0x1B, 0x28) of one object,
  // LOB id, page and version in a row. Any other block ends both runs.
  void scanFile(const ForgeFile& f);

  const std::string& extents() const { return extents_; }
  const std::string& lobs() const { return lobs_; }

  bool write(const ScenarioOut& out, const std::string& prefix, std::string& error) const;

 private:
  std::string extents_, lobs_;
};

}  // namespace bex::forge
