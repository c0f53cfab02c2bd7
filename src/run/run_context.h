// RunContext: the single state of one run, owned by the command loop.
// Everything long-lived lives here; handlers get it by reference and read
// the settings they need directly.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "asm/asm_file.h"
#include "datafile/block_list.h"
#include "datafile/read_cache.h"
#include "datafile/registry.h"
#include "dict/dict_files.h"
#include "lob/lob_map.h"
#include "lob/lob_reader.h"
#include "rman/piece_source.h"
#include "run/loaded_tables.h"
#include "run/source_opener.h"
#include "run/unload_history.h"
#include "unload/output_style.h"
#include "scan/guess_candidate.h"
#include "sql/sql_table.h"
#include "base/block_context.h"
#include "base/block_map.h"
#include "base/cmdline.h"
#include "base/extent_listing.h"
#include "base/progress.h"
#include "base/recovery_report.h"
#include "base/sink.h"
#include "value/charset.h"

namespace bex {

// Settings that belong to the loop itself; the rest live in the BlockContext.
struct Settings {
  uint16_t charset = 852;
  uint16_t nlsCharset = 2000;
  uint16_t tablespace = 0;
  uint8_t deletedRow = 0;
  uint8_t commitedOnly = 0;
  uint8_t uniqueTname = 0;
  uint8_t emptyFiles = 0;
  uint8_t ignoreNotnull = 0;
  const OutputStyleSpec* outputStyle = defaultOutputStyle();  // OUTPUT_STYLE
  // The tags: an unload takes them when it starts.
  uint16_t fieldTagLen = 1;
  uint16_t recordTagLen = 2;
  uint16_t longTagLen = 0;
  char fieldTag[kTagBufferSize] = "|";
  char recordTag[kTagBufferSize] = "\r\n";
  char longTag[kTagBufferSize] = "";
  // FIELD_TAG was given a value: CSV output separates with it instead of
  // its own ",".
  bool fieldTagSet = false;
  // PG_TARGET: the PostgreSQL server UNLOAD ... TO PG_TARGET writes into.
  std::string pgTarget;
  // Keys the user gave a value with SET in this run: what OPEN learns from
  // the file headers and UNLOAD TABLE DICT$ from the dictionary fills only
  // the others.
  bool blockSizeSet = false, byteOrderSet = false, bigfileSet = false;
  bool charsetSet = false, nlsCharsetSet = false;
  bool iconvNcharSet = false, iconvNclobSet = false, iconvClobSet = false;
};

struct RunContext {
  // dictDir: where the dictionary files, scan listings and LOB maps are
  // read and written (the program creates the default at start).
  RunContext(FILE* console, Sink& out, std::string dictDir = DictDirectory::kDefault);
  ~RunContext();
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  FILE* console;
  FILE* script = nullptr;  // the one open script (init.sql or an @ file)
  CommandLine cmd;
  Sink& out;  // standard output

  Settings settings;
  BlockContext bc;
  const DictFiles dictDir;  // with the index of its dictionary files

  AsmContext asmContext;  // the ASM disk group "+n" data files are read from
  PieceFiles pieceFiles;  // the files of RMAN OPEN, "RMAN FILE n", read from the backup pieces
  SourceOpener sources{&asmContext, &pieceFiles};  // opens every slot; other paths are plain files
  DataFileRegistry registry;  // after the storages: its sources may read through them
  BlockList corruptList;
  BlockList skipList;
  ReadCache caches[2];  // primary (CACHE_SIZE) and LOB reads
  std::unique_ptr<uint8_t[]> blockBuffer;
  Conversions conversions;
  std::unique_ptr<LobMap> lobMap;  // in dictDir; opened lazily by UNLOAD, closed at the end
  std::unique_ptr<LobReader> lobReader;
  GuessCandidates guessCandidates;  // tables loaded by LOAD TABLE, for SCAN TABLE
  ExtentIndex extentIndex;          // the extent listing last read, for UNLOAD and SCAN TABLE
  ChecksumRuns checksumRuns;        // the block map's rejected runs, for UNLOAD
  SqlWalkNotes sqlNotes;  // the damaged blocks the SQL statements met (bex_damage)

  // Blocks in one chunk of a parallel UNLOAD; 0: the default size. A test
  // knob only, read once from the environment variable
  // BEX_TEST_CHUNK_BLOCKS, so that tests can put chunk boundaries inside
  // the chains of small forged tables.
  uint32_t parallelChunkBlocks = 0;
  // LOB bytes of one chunk a parallel UNLOAD holds in memory before it
  // spills the rest to a file; 0: the default. A test knob only.
  size_t parallelLobMemory = 0;
  // The buffer a worker's data goes through (and the memory it looks for
  // its turn after) in a parallel UNLOAD; 0: the data file's. A test knob
  // only: small, a chunk is handed on in the middle of its rows.
  size_t parallelDataBuffer = 0;

  FILE* unloadLog = nullptr;
  UnloadHistory unloaded;  // UNLOAD TABLE, for LOAD SCRIPT
  // PostgreSQL tables this run loaded rows into (target and name): the
  // partitions of one table go into it one after the other. A loader
  // beside the road of `bex recover --to` points at the road's.
  LoadedTables ownTablesLoaded;
  LoadedTables* pgTablesLoaded = &ownTablesLoaded;
  Progress progress;      // of the command running; drawn where main says
  RecoveryReport report;  // BEXREPORT.JSONL in dictDir

  // Releases the block buffer and allocates one of the new size; empties
  // the read caches.
  void setBlockSize(uint16_t size);
  // Every change to what a relative file number names (OPEN, CHECK, and the
  // settings the probe reads) or to the cache geometry empties all caches:
  // they are keyed by rfn and count whole blocks of the current size.
  void emptyReadCaches();
  // Before every statement.
  void resetStatement();
  // Ends a statement: the progress line is erased and the recovery report
  // gets the line of a reported command. True when the statement failed.
  bool endStatement();
};

}  // namespace bex
