// A run context with data files opened by OPEN from a scratch directory,
// and ScanFile over every slot into in-memory listings.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commands/datafile/datafile_commands.h"
#include "datafile/registry.h"
#include "datafile/slot_reader.h"
#include "scan/scan_file.h"
#include "test_files.h"
#include "test_shell.h"

namespace bex::testing {

struct Listings {
  std::string ext, lob;
  uint64_t errors = 0;
};

struct ScanFixture {
  TestShell sh;
  ScratchDir dir;

  // OPENs the given files (paths relative to the scratch directory).
  std::string open(const std::vector<std::string>& files) {
    std::string cfg = dir.file("scan.cfg");
    FILE* f = fopen(cfg.c_str(), "w");
    for (const std::string& name : files) fprintf(f, "%s\n", dir.file(name).c_str());
    fclose(f);
    return sh.run(cmdOpen, "OPEN " + cfg);
  }
  Listings scan(uint32_t window = kScanWindowSize) {
    Listings l;
    StringSink ext, lob;
    SlotReader reader(sh.rc.bc, window);
    for (uint32_t slot = 0; slot < sh.rc.registry.count; slot++) ScanFile(sh.rc.bc, reader, slot, lob, ext, l.errors);
    l.ext = ext.str();
    l.lob = lob.str();
    return l;
  }
};

}  // namespace bex::testing
