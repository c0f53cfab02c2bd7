// The real Oracle blocks of the shared test data, with Oracle's own view of
// their rows taken from the trace text next to each block, and a converter
// that turns a little-endian table block into its big-endian twin.
#pragma once
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "block/data_block.h"
#include "block_builder.h"

namespace bex::testing {

struct TraceRow {
  int tab = -1, row = -1;
  std::string fb;  // "--H-FL--"
  int lb = -1;
  int cc = -1;  // -1 when the trace shows no columns
  std::vector<Bytes> cols;
  std::vector<bool> nulls;
};

inline std::vector<TraceRow> readTraceRows(const std::string& path) {
  std::vector<TraceRow> rows;
  std::ifstream f(path);
  std::string line;
  while (std::getline(f, line)) {
    int tab, row;
    if (sscanf(line.c_str(), "tab %d, row %d,", &tab, &row) == 2) {
      rows.push_back(TraceRow{});
      rows.back().tab = tab, rows.back().row = row;
      continue;
    }
    if (rows.empty()) continue;
    TraceRow& r = rows.back();
    char fb[16];
    unsigned lb;
    if (line.rfind("tl:", 0) == 0 && sscanf(line.c_str(), "tl: %*d fb: %15s lb: 0x%x", fb, &lb) == 2) {
      r.fb = fb, r.lb = static_cast<int>(lb);
      size_t cc = line.find("cc: ");
      if (cc != std::string::npos) r.cc = std::stoi(line.substr(cc + 4));
      continue;
    }
    int ci;
    if (sscanf(line.c_str(), "col %d:", &ci) == 1) {
      Bytes value;
      bool isNull = line.find("*NULL*") != std::string::npos;
      if (!isNull) {
        std::istringstream in(line.substr(line.find(']') + 1));
        std::string hex;
        while (in >> hex) value.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
      }
      r.cols.push_back(value);
      r.nulls.push_back(isNull);
    }
  }
  return rows;
}

// Swaps every multi-byte field a decoder of a table block reads, then
// reseals the checksum. Rows must not use 0xFE lengths.
inline Bytes toBigEndian(const Bytes& le) {
  Bytes b = le;
  const BlockView v = viewOf(le, 0);
  for (uint32_t off : {4u, 8u, 24u, 28u, 40u}) swap32(&b[off]);
  for (uint32_t off : {12u, 16u, 32u, 36u}) swap16(&b[off]);
  for (uint32_t i = 0; i < txnItc(v); i++) {
    uint8_t* e = &b[44 + 24 * i];
    swap16(e), swap16(e + 2), swap32(e + 4), swap32(e + 8), swap16(e + 12), swap16(e + 16), swap16(e + 18);
    swap32(e + 20);
  }
  const DataHeader h = readDataHeader(v);
  for (uint32_t off = 2; off < 14; off += 2) swap16(&b[h.hdsz + off]);
  for (uint32_t i = 0; i < 2u * h.ntab; i++) swap16(&b[h.tableDir + 2 * i]);
  for (uint32_t i = 0; i < h.nrow; i++) swap16(&b[h.rowDir + 2 * i]);
  seal(b);
  return b;
}

struct RealBlock {
  const char* name;
  bool hasTrace;
};

inline const RealBlock kRealTableBlocks[] = {
    {"10g_f5b16_testblock", true},
    {"11203_i686_f4b13171_scott_deleted", true},
    {"19c_f12b3126_char_varchar", true},
    {"23ai_free_f7b790_capdata_clear", false},
    {"23ai_free_f7b781_tde_encrypted_cols", false},
};

inline std::string blockDumpDir() { return realDataDir() + "/blockdumps/"; }

}  // namespace bex::testing
