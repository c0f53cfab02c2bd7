#include "forge/load_oracle.h"

#include "forge/values.h"

namespace bex::forge {

namespace {

constexpr uint8_t kRawCode = 23, kLongRawCode = 24, kClobCode = 112, kBlobCode = 113, kNclobCode = 255;

LoadedRow loadedRow(const Row& r, const SegmentColumns& sc) {
  LoadedRow out;
  for (size_t pos = 0; pos < sc.count && pos < sc.codes.size(); ++pos) {
    if (sc.codes[pos] == 0) continue;
    out.push_back(pos < r.size() ? loadedValue(r[pos], sc.codes[pos]) : std::nullopt);
  }
  return out;
}

}  // namespace

LoadedValue loadedValue(const Val& v, uint8_t code) {
  if (code == kClobCode || code == kBlobCode || code == kNclobCode) return v.load;
  if (v.col.null || v.col.bytes.empty()) return std::nullopt;
  if (code == kRawCode || code == kLongRawCode) return std::string(v.col.bytes.begin(), v.col.bytes.end());
  return v.loaded();
}

std::vector<LoadedRow> loadedRows(const TableDef& t, const SegmentColumns& sc) {
  std::vector<LoadedRow> rows;
  for (const Row& r : t.rows) rows.push_back(loadedRow(r, sc));
  for (const PartDef& p : t.parts)
    for (const Row& r : p.rows) rows.push_back(loadedRow(r, sc));
  return rows;
}

bool writeLoadedRows(const std::string& dir, const std::string& owner, const std::string& table,
                     const std::vector<LoadedRow>& rows, std::string& error) {
  std::string text = "# " + owner + "." + table + " as loaded: one line per row, a value per field (- NULL, x hex)\n";
  for (const LoadedRow& r : rows) {
    text += "row";
    for (const LoadedValue& v : r) text += v ? " x" + hex(reinterpret_cast<const uint8_t*>(v->data()), v->size()) : " -";
    text += "\n";
  }
  return writeTextFile(dir + owner + "." + table, text, error);
}

}  // namespace bex::forge
