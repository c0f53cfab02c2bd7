#include "run/run_context.h"

#include <cstdlib>
#include <cstring>

#include "base/connection_string.h"

namespace bex {

RunContext::RunContext(FILE* consoleIn, Sink& output, std::string dictDirectory)
    : console(consoleIn),
      out(output),
      dictDir(std::move(dictDirectory)),
      report(dictDir.file(RecoveryReport::kFileName)) {
  bc.registry = &registry;
  bc.corruptList = &corruptList;
  bc.skipList = &skipList;
  caches[0].allocate(kPrimaryCacheDefault);
  caches[1].allocate(kLobCacheSize);
  bc.cache = &caches[0];
  bc.lobCache = &caches[1];
  blockBuffer.reset(new uint8_t[bc.blockSize]());
  bc.block = blockBuffer.get();
  conversions.openDefaults();
  bc.conversions = &conversions;
  lobMap = std::make_unique<LobMap>(dictDir);
  bc.lobMap = lobMap.get();
  lobReader = std::make_unique<LobReader>(bc, out);
  bc.lobReader = lobReader.get();
  bc.progress = &progress;
  bc.report = &report.entry();
  out.setOverlay(&progress);
  if (const char* chunk = getenv("BEX_TEST_CHUNK_BLOCKS")) parallelChunkBlocks = static_cast<uint32_t>(strtoul(chunk, nullptr, 10));
}

RunContext::~RunContext() {
  progress.end();
  out.setOverlay(nullptr);
  CloseLobMap(*lobMap);
  registry.clear();
  if (script) fclose(script);
  if (unloadLog) fclose(unloadLog);
  conversions.closeAll();
}

void RunContext::setBlockSize(uint16_t size) {
  blockBuffer.reset(new uint8_t[size]());
  bc.block = blockBuffer.get();
  bc.blockSize = size;
  emptyReadCaches();
}

void RunContext::emptyReadCaches() {
  for (ReadCache& c : caches) c.empty();
}

void RunContext::resetStatement() {
  bc.rowLimit = kNoRowLimit;
  cmd.rewind();
  dictDir.recheck();
}

bool RunContext::endStatement() {
  progress.end();
  const bool failed = out.errorNoted();
  out.clearErrorNote();
  // The report never holds the password of a connection string.
  report.finish(maskPgPasswords(std::string_view(cmd.text, cmd.length)), failed);
  return failed;
}

}  // namespace bex
