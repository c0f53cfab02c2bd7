// ForgeFile: one synthetic data file, built block by block and written with
// its expectation lines.
//
//   ForgeFile f({.name = "users01.dbf", .rfn = 4});
//   f.addTableBlock(10, rows);          // the rdba is filled in when 0
//   f.addSegment(2, segSpec);           // also places its extent map blocks
//   f.write("out/users01.dbf", expect, error);
//
// Blocks never added are written as zeros. Blocks 0 (OS header) and 1 (file
// header) are generated unless withHeader is off or they were added.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "forge/bitmap_block.h"
#include "forge/block_header.h"
#include "forge/compressed_block.h"
#include "forge/expect.h"
#include "forge/file_header.h"
#include "forge/forge_block.h"
#include "forge/index_block.h"
#include "forge/lob_block.h"
#include "forge/segment_header.h"
#include "forge/table_block.h"
#include "forge/undo_block.h"

namespace bex::forge {

struct FileSpec {
  std::string name;  // as written in the configuration and expectations
  uint16_t rfn = 1;
  uint32_t blockSize = 8192;
  ByteOrder order = ByteOrder::Little;
  uint32_t headerSize = 0;  // bytes before block 0
  uint32_t blocks = 0;      // highest block number; 0 = highest block added
  bool bigfile = false;     // rdbas carry the whole block number, file bits 0
  bool withHeader = true;
  bool sparse = false;      // blocks never added are left as holes
  FileHeaderSpec header;
};

class ForgeFile {
 public:
  explicit ForgeFile(FileSpec fs);

  const FileSpec& layout() const { return layout_; }
  uint32_t rdba(uint32_t block) const;
  // The highest block number the file will have.
  uint32_t lastBlock() const;

  void addTableBlock(uint32_t block, TableBlockSpec s);
  void addCompressedBlock(uint32_t block, CompressedBlockSpec s);
  void addIndexLeaf(uint32_t block, IndexLeafSpec s);
  void addUndoBlock(uint32_t block, UndoBlockSpec s);
  void addUndoSegment(uint32_t block, UndoSegmentSpec s);
  void addLobBlock(uint32_t block, LobBlockSpec s);
  void addLobChunkBlock(uint32_t block, LobChunkSpec s);
  void addBitmapBlock(uint32_t block, BitmapBlockSpec s);
  // Places the header at `block` and each map block at the block its rdba
  // names (map rdbas must lie in this file).
  void addSegment(uint32_t block, SegmentSpec s);
  // Any block image, with the facts known about it.
  void addBlock(uint32_t block, ForgeBlock b, Facts facts = {});

  const ForgeBlock* block(uint32_t n) const;
  // The facts recorded for block n (none for a block never added).
  const Facts& facts(uint32_t n) const;
  bool has(uint32_t n) const { return blocks_.count(n) != 0; }

  // Blocks whose description did not fit, as "block N" texts.
  std::string problems() const;

  // Writes the file to `path` and appends its expectation lines to `expect`.
  bool write(const std::string& path, std::string& expect, std::string& error);

 private:
  template <typename Description, typename Builder>
  void addBuilt(uint32_t block, Description s, Builder build);
  struct Entry {
    ForgeBlock block;
    Facts facts;
  };
  void ensureHeaderBlocks();
  BlockHeader fixAddress(BlockHeader h, uint32_t block) const;
  std::string blockLine(uint32_t n, const ForgeBlock& b) const;

  FileSpec layout_;
  std::map<uint32_t, Entry> blocks_;
};

// Data object number as a reader takes it for the block's type (0 if none).
uint32_t blockObjd(const ForgeBlock& b);
uint32_t readField32(const ForgeBlock& b, uint32_t off);

}  // namespace bex::forge
