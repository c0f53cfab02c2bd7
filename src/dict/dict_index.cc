#include "dict/dict_index.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unordered_set>

#include "base/cmdline.h"
#include "dict/column_map.h"

namespace bex {

namespace {

// Reading lines back: small windows, as most lookups want one line.
constexpr size_t kLookupWindow = 16 * 1024;
// A file that keeps changing while it is indexed is indexed as last read.
constexpr int kIndexAttempts = 3;

uint32_t mix(uint64_t v) {
  v ^= v >> 33;
  v *= 0xff51afd7ed558ccdull;
  v ^= v >> 33;
  v *= 0xc4ceb9fe1a85ec53ull;
  v ^= v >> 33;
  return static_cast<uint32_t>(v);
}

FileSignature signatureOf(bool present, const struct stat& st) {
  FileSignature s;
  if (!present) return s;
  s.present = true;
  s.device = st.st_dev, s.inode = st.st_ino, s.size = static_cast<uint64_t>(st.st_size);
  s.modified = st.st_mtim.tv_sec, s.modifiedNs = st.st_mtim.tv_nsec;
  s.changed = st.st_ctim.tv_sec, s.changedNs = st.st_ctim.tv_nsec;
  return s;
}

template <class T>
void release(std::vector<T>& v) {
  std::vector<T>().swap(v);
}

// Storage rows without a DATAOBJ# never answer.
bool storedObject(const StorageRecord& r, uint32_t& key) {
  key = storageKey(r.objNo);
  return r.dataObjNo != 0;
}

bool anyStorage(const StorageRecord& r, uint32_t& key) {
  key = storageKey(r.objNo);
  return true;
}

bool typedColumn(const ColumnTypeRecord& r, uint32_t& key) {
  key = columnTypeKey(r.objNo, r.colNo, r.intColNo);
  return true;
}

}  // namespace

FileSignature FileSignature::of(const std::string& path) {
  struct stat st;
  const bool present = stat(path.c_str(), &st) == 0;
  return signatureOf(present, st);
}

FileSignature FileSignature::ofOpen(int fd) {
  struct stat st;
  const bool present = fstat(fd, &st) == 0;
  return signatureOf(present, st);
}

KeyHash& KeyHash::number(uint32_t v) {
  for (int i = 0; i < 4; i++) {
    h_ ^= (v >> (8 * i)) & 0xff;
    h_ *= 1099511628211ull;
  }
  return *this;
}

// Names never hold a ",": it ends one name and the next begins.
KeyHash& KeyHash::name(std::string_view s) {
  for (char c : s) {
    h_ ^= static_cast<unsigned char>(asciiUpper(c));
    h_ *= 1099511628211ull;
  }
  h_ ^= ',';
  h_ *= 1099511628211ull;
  return *this;
}

uint32_t KeyHash::value() const { return mix(h_); }

uint32_t numberKey(uint32_t v) { return mix(v); }

void KeyChains::build() {
  key_.shrink_to_fit();
  size_t buckets = 1;
  while (buckets < key_.size() / 2 + 1) buckets <<= 1;
  head_.assign(buckets, kEnd);
  next_.assign(key_.size(), kEnd);
  mask_ = static_cast<uint32_t>(buckets - 1);
  for (size_t i = key_.size(); i-- > 0;) {
    uint32_t& head = head_[key_[i] & mask_];
    next_[i] = head;
    head = static_cast<uint32_t>(i);
  }
}

void KeyGroups::build(const std::vector<uint64_t>& keys) {
  first_.clear();
  next_.assign(keys.size(), kEnd);
  for (size_t i = keys.size(); i-- > 0;) {
    auto [it, fresh] = first_.try_emplace(keys[i], static_cast<uint32_t>(i));
    if (!fresh) {
      next_[i] = it->second;
      it->second = static_cast<uint32_t>(i);
    }
  }
}

IndexedFile::IndexedFile(std::string path, bool indexed) : path_(std::move(path)), indexed_(indexed) {}

IndexedFile::~IndexedFile() { close(); }

void IndexedFile::close() {
  window_.reset();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  readable_ = false;
}

void IndexedFile::refresh() {
  if (!indexed_ || (built_ && FileSignature::of(path_) == signature_)) return;
  rebuild();
}

// The signature is the open file's; the file is indexed again when the
// path names something else once the reading is done.
void IndexedFile::rebuild() {
  built_ = true;
  for (int attempt = 0; attempt < kIndexAttempts; attempt++) {
    close();
    clear();
    fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
      signature_ = FileSignature::of(path_);
      return;
    }
    signature_ = FileSignature::ofOpen(fd_);
    DictLineReader in(fd_);
    indexLines(in);
    if (FileSignature::of(path_) == signature_) break;
  }
  readable_ = true;
  window_.emplace(fd_, kLookupWindow);
}

void UserLines::indexLines(DictLineReader& in) {
  std::string_view line;
  while (in.next(line)) {
    UserRecord r;
    if (!readUserRecord(line, r)) continue;
    offset_.push_back(in.lineOffset());
    byName_.add(KeyHash().name(r.name).value());
    byNumber_.add(numberKey(r.userNo));
  }
  byName_.build(), byNumber_.build();
}

void UserLines::clear() {
  release(offset_);
  byName_ = {}, byNumber_ = {};
}

uint32_t ObjectLines::nameKey(uint32_t ownerNo, std::string_view name, std::string_view subname) {
  return KeyHash().number(ownerNo).name(name).name(subname).value();
}

void ObjectLines::indexLines(DictLineReader& in) {
  std::vector<uint64_t> ownerType;
  std::string_view line;
  while (in.next(line)) {
    ObjectRecord r;
    if (!readObjectRecord(line, r)) continue;
    offset_.push_back(in.lineOffset());
    byName_.add(nameKey(r.ownerNo, r.name, r.subname));
    byNumber_.add(numberKey(r.objNo));
    ownerType.push_back(ownerTypeKey(r.ownerNo, r.type));
    if (r.oid[0]) {
      oidOffset_.push_back(in.lineOffset());
      byOid_.add(KeyHash().name(r.oid).value());
    }
  }
  offset_.shrink_to_fit();
  byName_.build(), byNumber_.build(), byOid_.build();
  byOwnerType_.build(ownerType);
}

void ObjectLines::clear() {
  release(offset_), release(oidOffset_);
  byName_ = {}, byNumber_ = {}, byOwnerType_ = {}, byOid_ = {};
}

// A line that a column record can be read from has its OBJ# first; every
// other line may sit inside a run, where reading it back refuses it again.
void ColumnMapLines::indexLines(DictLineReader& in) {
  uint32_t runObjNo = 0;
  std::string_view line;
  while (in.next(line)) {
    uint32_t objNo;
    if (!readLeadingNumber(line, objNo)) continue;
    const uint64_t at = in.lineOffset();
    // The run goes on up to this line's first byte, included.
    if (!runStart_.empty() && runObjNo == objNo && at - runStart_.back() < UINT32_MAX) {
      runLength_.back() = static_cast<uint32_t>(at - runStart_.back() + 1);
      continue;
    }
    runStart_.push_back(at);
    runLength_.push_back(1);
    runObjNo = objNo;
    byTable_.add(numberKey(objNo));
  }
  runStart_.shrink_to_fit(), runLength_.shrink_to_fit();
  byTable_.build();
}

void ColumnMapLines::clear() {
  release(runStart_), release(runLength_);
  byTable_ = {};
}

uint32_t DeletedObjectLines::nameKey(uint32_t ownerNo, std::string_view name) {
  return KeyHash().number(ownerNo).name(name).value();
}

// Rows of other types, and later rows of an owner's OBJ#, never answer.
void DeletedObjectLines::indexLines(DictLineReader& in) {
  std::unordered_set<uint64_t> seen;
  std::string_view line;
  while (in.next(line)) {
    ObjectRecord r;
    if (!readObjectRecord(line, r) || !isTableOrPartition(r.type)) continue;
    if (!seen.insert(uint64_t{r.ownerNo} << 32 | r.objNo).second) continue;
    offset_.push_back(in.lineOffset());
    byName_.add(nameKey(r.ownerNo, r.name));
  }
  offset_.shrink_to_fit();
  byName_.build();
}

void DeletedObjectLines::clear() {
  release(offset_);
  byName_ = {};
}

DictIndex::DictIndex(const DictDirectory& dir, bool indexed)
    : dir_(dir),
      indexed_(indexed),
      users_(dir.file(kUserFile), indexed),
      objects_(dir.file(kObjectFile), indexed),
      storage_(dir.file(kStorageFile), indexed, readStorageRecord, storedObject),
      columnTypes_(dir.file(kColumnTypeFile), indexed, readColumnTypeRecord, typedColumn),
      deletedObjects_(dir.file(kDeletedObjectFile), indexed),
      deletedStorage_(dir.file(kDeletedStorageFile), indexed, readStorageRecord, anyStorage),
      deletedColumns_(dir.file(kDeletedColumnFile), indexed) {}

ColumnMapLines& DictIndex::columnMap(uint32_t objNo) {
  if (columnMaps_.empty()) columnMaps_.resize(kColumnMapFiles);
  std::unique_ptr<ColumnMapLines>& map = columnMaps_[objNo % kColumnMapFiles];
  if (!map) map = std::make_unique<ColumnMapLines>(columnMapName(dir_, objNo), indexed_);
  return fresh(*map);
}

}  // namespace bex
