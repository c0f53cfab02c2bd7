#include "forge/scan_listing.h"

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

bool ScanListing::write(const ScenarioOut& out, const std::string& prefix, std::string& error) const {
  return writeText(out.path(prefix + ".BEXEXT.TXT"), extents_, error) &&
         writeText(out.path(prefix + ".BEXLOB.TXT"), lobs_, error);
}

}  // namespace bex::forge
