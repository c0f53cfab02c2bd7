#include "forge/scan_listing.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace bex::forge {

namespace {

bool writeText(const std::string& path, const std::string& text, std::string& error) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f || std::fwrite(text.data(), 1, text.size(), f.get()) != text.size()) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace

void ScanListing::extent(uint32_t objd, uint16_t rfn, uint32_t first, uint32_t count, uint64_t rows) {
  extents_ += format("%u,%u,%u,%u,%llu,\r\n", objd, rfn, first, count, static_cast<unsigned long long>(rows));
}

void ScanListing::lob(uint32_t objd, const LobId& id, uint32_t page, uint32_t version, uint16_t rfn, uint32_t first,
                      uint32_t count) {
  lobs_ += format("%u,%s,%u,%u,%u,%u,%u,\n", objd, lobIdText(id).c_str(), page, version, rfn, first, count);
}

void ScanListing::append(const ScanListing& other) {
  extents_ += other.extents_;
  lobs_ += other.lobs_;
}

namespace {

// The number after "key=" in the first fact of the kind.
uint64_t factNumber(const Facts& facts, const std::string& kind, const std::string& key) {
  for (const Fact& f : facts) {
    if (f.kind != kind) continue;
    const size_t at = f.rest.find(" " + key + "=");
    if (at != std::string::npos) return std::stoull(f.rest.substr(at + key.size() + 2));
  }
  return 0;
}

uint64_t rowsOf(const ForgeFile& f, uint32_t n) {
  const Facts& facts = f.facts(n);
  return factNumber(facts, "data", "rows") + factNumber(facts, "index", "conro");
}

}  // namespace

void ScanListing::scanFile(const ForgeFile& f) {
  const uint16_t rfn = f.layout().rfn;
  struct DataRun {
    uint32_t objd = 0, first = 0, count = 0;
    uint64_t rows = 0;
  } data;
  struct LobRun {
    bool open = false;
    uint32_t objd = 0, page = 0, version = 0, first = 0, count = 0;
    LobId id{};
  } lobRun;
  auto closeData = [&]() {
    if (data.objd && data.first && data.count) extent(data.objd, rfn, data.first, data.count, data.rows);
    data = DataRun{};
  };
  auto closeLob = [&]() {
    if (lobRun.open) lob(lobRun.objd, lobRun.id, lobRun.page, lobRun.version, rfn, lobRun.first, lobRun.count);
    lobRun = LobRun{};
  };
  const ForgeBlock zeros(f.layout().blockSize, f.layout().order);
  for (uint32_t n = 2; n <= f.lastBlock(); ++n) {
    const ForgeBlock& b = f.block(n) ? *f.block(n) : zeros;
    const uint8_t type = b.at(0);
    if (type == 0x06) {
      closeLob();
      const bool bad = xorFoldBytes(b.data(), b.size()) != 0;
      const uint32_t objd = blockObjd(b);
      if (bad || objd != data.objd) {
        closeData();
        if (!bad) data = DataRun{objd, n, 1, rowsOf(f, n)};
      } else {
        ++data.count;
        data.rows += rowsOf(f, n);
      }
    } else if (type == kLobBlob || type == kLobClob) {
      closeData();
      LobRun here{true, blockObjd(b), readField32(b, kLobPageOffset), readField32(b, kLobVersionOffset), n, 1, {}};
      std::copy(b.data() + kLobIdOffset, b.data() + kLobIdOffset + kLobIdSize, here.id.begin());
      if (lobRun.open && here.objd == lobRun.objd && here.id == lobRun.id && here.page == lobRun.page &&
          here.version == lobRun.version) {
        ++lobRun.count;
      } else {
        closeLob();
        lobRun = here;
      }
    } else {
      closeLob();
      closeData();
    }
  }
  closeLob();
  closeData();
}

bool ScanListing::write(const ScenarioOut& out, const std::string& prefix, std::string& error) const {
  return writeText(out.path(prefix + ".BEXEXT.TXT"), extents_, error) &&
         writeText(out.path(prefix + ".BEXLOB.TXT"), lobs_, error);
}

}  // namespace bex::forge
