#include "dict/dict_records.h"

#include <climits>
#include <cstring>

#include "base/cmdline.h"

namespace bex {

namespace {

// Cuts a line into its ","-separated fields. The line end is not part of
// any field.
class FieldCursor {
 public:
  explicit FieldCursor(std::string_view line) : rest_(line) {
    while (!rest_.empty() && (rest_.back() == '\n' || rest_.back() == '\r')) rest_.remove_suffix(1);
  }
  // The next field; false when the line has no more.
  bool next(std::string_view& field) {
    if (done_) return false;
    const size_t comma = rest_.find(',');
    if (comma == std::string_view::npos) {
      field = rest_;
      done_ = true;
    } else {
      field = rest_.substr(0, comma);
      rest_.remove_prefix(comma + 1);
    }
    return true;
  }
  // Passes n fields over; false when the line ends first.
  bool skip(int n) {
    std::string_view f;
    for (int i = 0; i < n; i++)
      if (!next(f)) return false;
    return true;
  }

 private:
  std::string_view rest_;
  bool done_ = false;
};

enum class Num { kAbsent, kOk, kBad };

// A decimal integer with an optional sign, read from at most the first
// `limit` characters; anything else in them makes the field bad. Negative
// values (a SCALE may be) are kept in two's complement.
Num parseNumber(std::string_view f, size_t limit, uint32_t& out) {
  out = 0;
  if (f.size() > limit) f = f.substr(0, limit);
  if (f.empty()) return Num::kAbsent;
  size_t i = 0;
  const bool neg = f[0] == '-';
  if (f[0] == '-' || f[0] == '+') i++;
  if (i == f.size()) return Num::kBad;
  uint64_t v = 0;
  for (; i < f.size(); i++) {
    if (f[i] < '0' || f[i] > '9') return Num::kBad;
    v = v * 10 + static_cast<uint64_t>(f[i] - '0');
    if (v > UINT32_MAX) return Num::kBad;
  }
  if (neg && v > static_cast<uint64_t>(INT32_MAX) + 1) return Num::kBad;
  out = neg ? static_cast<uint32_t>(0u - static_cast<uint32_t>(v)) : static_cast<uint32_t>(v);
  return Num::kOk;
}

// A field that must hold a number.
bool requiredNumber(FieldCursor& fc, uint32_t& out, size_t limit = kNumberFieldMax) {
  std::string_view f;
  return fc.next(f) && parseNumber(f, limit, out) == Num::kOk;
}

// A field that may be empty or missing (then 0), but not malformed.
bool optionalNumber(FieldCursor& fc, uint32_t& out, size_t limit = kNumberFieldMax) {
  std::string_view f;
  if (!fc.next(f)) {
    out = 0;
    return true;
  }
  return parseNumber(f, limit, out) != Num::kBad;
}

void copyName(std::string_view f, char (&out)[kDictNameMax + 1]) {
  const size_t n = f.size() < kDictNameMax ? f.size() : kDictNameMax;
  if (n) memcpy(out, f.data(), n);
  out[n] = 0;
}

// A text field that must be there and not empty.
bool requiredName(FieldCursor& fc, char (&out)[kDictNameMax + 1]) {
  std::string_view f;
  if (!fc.next(f) || f.empty()) return false;
  copyName(f, out);
  return true;
}

bool lengthOk(std::string_view line) { return line.size() >= kRecordLineMin && line.size() <= kRecordLineMax; }

}  // namespace

bool readUserRecord(std::string_view line, UserRecord& out) {
  while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
  if (line.size() < kUserLineMin || line.size() > kRecordLineMax) return false;
  FieldCursor fc(line);
  return requiredNumber(fc, out.userNo) && requiredName(fc, out.name);
}

bool readRecycleBinRecord(std::string_view line, RecycleBinRecord& out) {
  if (!lengthOk(line)) return false;
  FieldCursor fc(line);
  return requiredNumber(fc, out.objNo) && requiredNumber(fc, out.ownerNo) && requiredName(fc, out.originalName);
}

bool readObjectRecord(std::string_view line, ObjectRecord& out) {
  if (!lengthOk(line)) return false;
  FieldCursor fc(line);
  std::string_view sub, oid;
  if (!requiredNumber(fc, out.objNo) || !requiredNumber(fc, out.ownerNo) || !requiredName(fc, out.name) ||
      !fc.next(sub) || !requiredNumber(fc, out.type))
    return false;
  copyName(sub, out.subname);
  if (!fc.next(oid)) oid = {};
  copyName(oid, out.oid);
  return true;
}

bool readStorageRecord(std::string_view line, StorageRecord& out) {
  if (!lengthOk(line)) return false;
  FieldCursor fc(line);
  const size_t lim = kStorageNumberFieldMax;
  return optionalNumber(fc, out.objNo, lim) && optionalNumber(fc, out.dataObjNo, lim) &&
         optionalNumber(fc, out.ts, lim) && optionalNumber(fc, out.file, lim) && optionalNumber(fc, out.block, lim) &&
         optionalNumber(fc, out.cluster, lim);
}

bool readColumnRecord(std::string_view line, ColumnRecord& out) {
  if (!lengthOk(line)) return false;
  FieldCursor fc(line);
  if (!requiredNumber(fc, out.objNo) || !requiredNumber(fc, out.colNo) || !requiredNumber(fc, out.segColNo) ||
      !requiredName(fc, out.name) || !requiredNumber(fc, out.type) || !requiredNumber(fc, out.length))
    return false;
  out.typeKind = kKindNone;
  out.typeOwner[0] = out.typeName[0] = 0;
  return optionalNumber(fc, out.precision) && optionalNumber(fc, out.scale) && optionalNumber(fc, out.nullFlag) &&
         optionalNumber(fc, out.intColNo) && optionalNumber(fc, out.property) && optionalNumber(fc, out.charsetId) &&
         optionalNumber(fc, out.charsetForm);
}

bool readColumnTypeRecord(std::string_view line, ColumnTypeRecord& out) {
  if (!lengthOk(line)) return false;
  FieldCursor fc(line);
  if (!requiredNumber(fc, out.objNo) || !requiredNumber(fc, out.colNo) || !requiredNumber(fc, out.intColNo) ||
      !requiredName(fc, out.toid))
    return false;
  out.synObjNo = 0;
  return !fc.skip(2) || optionalNumber(fc, out.synObjNo);
}

bool readLeadingNumber(std::string_view line, uint32_t& out) {
  FieldCursor fc(line);
  return requiredNumber(fc, out);
}

bool sameName(std::string_view a, std::string_view b) { return keywordMatch(a, b); }

bool isRecycleBinName(std::string_view name) {
  return name.size() == 30 && name.substr(0, 4) == "BIN$" && name.substr(26, 4) == "==$0";
}

}  // namespace bex
