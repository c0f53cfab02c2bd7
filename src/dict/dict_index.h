// The index of the dictionary files. For every kind of query it gives the
// lines that may answer it, in file order; each line is read back and
// parsed by the same record reader as a scan of the whole file, and the
// query applies its own test to the record, so answers, first or last
// matches, duplicates and refused lines come out as a scan gives them.
// Keys are hashes: a line whose key only collides is read and refused by
// the query's test. The index keeps where lines begin and their keys, never
// the records: per line of BEXOBJ.TXT about 34 bytes, of BEXTAB.TXT about
// 19, and per table in a column map file one run of its lines (about 23
// bytes), whatever its number of columns.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dict/dict_files.h"
#include "dict/dict_records.h"
#include "dict/dict_scan.h"

namespace bex {

// What a file was when it was indexed.
struct FileSignature {
  bool present = false;
  uint64_t device = 0, inode = 0, size = 0;
  int64_t modified = 0, modifiedNs = 0, changed = 0, changedNs = 0;

  bool operator==(const FileSignature&) const = default;
  static FileSignature of(const std::string& path);
  static FileSignature ofOpen(int fd);
};

// Keys of names: ASCII case ignored, as sameName compares them.
class KeyHash {
 public:
  KeyHash& number(uint32_t v);
  KeyHash& name(std::string_view s);
  uint32_t value() const;

 private:
  uint64_t h_ = 14695981039346656037ull;
};
uint32_t numberKey(uint32_t v);

// Positions 0..n-1, added in ascending order with their 32-bit keys,
// chained by key: a key's positions in ascending order.
class KeyChains {
 public:
  void add(uint32_t key) { key_.push_back(key); }
  void build();
  // Calls visit(position) for the key's positions until it returns true.
  template <class Visit>
  void forEach(uint32_t key, Visit&& visit) const {
    if (head_.empty()) return;
    for (uint32_t i = head_[key & mask_]; i != kEnd; i = next_[i])
      if (key_[i] == key && visit(i)) return;
  }

 private:
  static constexpr uint32_t kEnd = UINT32_MAX;
  std::vector<uint32_t> key_, head_, next_;
  uint32_t mask_ = 0;
};

// Positions grouped by an exact 64-bit key, each group in ascending order.
class KeyGroups {
 public:
  void build(const std::vector<uint64_t>& keys);
  template <class Visit>
  void forEach(uint64_t key, Visit&& visit) const {
    const auto it = first_.find(key);
    if (it == first_.end()) return;
    for (uint32_t i = it->second; i != kEnd; i = next_[i])
      if (visit(i)) return;
  }

 private:
  static constexpr uint32_t kEnd = UINT32_MAX;
  std::unordered_map<uint64_t, uint32_t> first_;
  std::vector<uint32_t> next_;
};

// One dictionary file with what its index needs: the signature it had, an
// open descriptor and a window for reading lines back. Every query method
// of the files below returns false when the file cannot be read (as a scan
// that cannot open it) and calls visit(record) on the candidate records in
// file order until visit returns true.
class IndexedFile {
 public:
  IndexedFile(std::string path, bool indexed);
  virtual ~IndexedFile();
  IndexedFile(const IndexedFile&) = delete;
  IndexedFile& operator=(const IndexedFile&) = delete;

  // Indexes the file again when it is not what was indexed.
  void refresh();
  uint64_t checkedIn = 0;  // the statement of the last refresh

 protected:
  // Reads every line of the open file into the index.
  virtual void indexLines(DictLineReader& in) = 0;
  virtual void clear() = 0;

  // The record of the line at `at`; true when visit asked to stop.
  template <class Record, class Visit>
  bool visitAt(uint64_t at, bool (*read)(std::string_view, Record&), Visit& visit) {
    std::string_view line;
    uint64_t next;
    Record r;
    return window_->lineAt(at, line, next) && !line.empty() && read(line, r) && visit(static_cast<const Record&>(r));
  }
  // The records of the lines that begin in [begin, end).
  template <class Record, class Visit>
  void visitRange(uint64_t begin, uint64_t end, bool (*read)(std::string_view, Record&), Visit& visit) {
    std::string_view line;
    for (uint64_t at = begin, next; at < end && window_->lineAt(at, line, next); at = next) {
      Record r;
      if (!line.empty() && read(line, r) && visit(static_cast<const Record&>(r))) return;
    }
  }
  // The lines of the key's positions; offsets[i] is where position i is.
  template <class Record, class Visit>
  void visitChain(const KeyChains& chains, uint32_t key, const std::vector<uint64_t>& offsets,
                  bool (*read)(std::string_view, Record&), Visit& visit) {
    chains.forEach(key, [&](uint32_t i) { return visitAt(offsets[i], read, visit); });
  }
  // Without an index: the whole file, every time.
  template <class Record, class Visit>
  bool scan(bool (*read)(std::string_view, Record&), Visit& visit) {
    return forEachRecord(path_, read, visit);
  }

  const std::string path_;
  const bool indexed_;
  bool readable_ = false;

 private:
  void rebuild();
  void close();

  bool built_ = false;
  FileSignature signature_;
  int fd_ = -1;
  std::optional<DictLineSource> window_;
};

// BEXUSR.TXT by name and by USER#, and all of it.
class UserLines : public IndexedFile {
 public:
  using IndexedFile::IndexedFile;
  template <class Visit>
  bool forName(std::string_view name, Visit&& visit) {
    if (!indexed_) return scan(readUserRecord, visit);
    visitChain(byName_, KeyHash().name(name).value(), offset_, readUserRecord, visit);
    return readable_;
  }
  template <class Visit>
  bool forNumber(uint32_t userNo, Visit&& visit) {
    if (!indexed_) return scan(readUserRecord, visit);
    visitChain(byNumber_, numberKey(userNo), offset_, readUserRecord, visit);
    return readable_;
  }
  template <class Visit>
  bool forAll(Visit&& visit) {
    if (!indexed_) return scan(readUserRecord, visit);
    for (uint64_t at : offset_)
      if (visitAt(at, readUserRecord, visit)) break;
    return readable_;
  }

 private:
  void indexLines(DictLineReader& in) override;
  void clear() override;
  std::vector<uint64_t> offset_;
  KeyChains byName_, byNumber_;
};

// BEXOBJ.TXT by owner, name and subname; by OBJ#; by OID$; by owner and
// TYPE#.
class ObjectLines : public IndexedFile {
 public:
  using IndexedFile::IndexedFile;
  template <class Visit>
  bool forName(uint32_t ownerNo, std::string_view name, std::string_view subname, Visit&& visit) {
    if (!indexed_) return scan(readObjectRecord, visit);
    visitChain(byName_, nameKey(ownerNo, name, subname), offset_, readObjectRecord, visit);
    return readable_;
  }
  template <class Visit>
  bool forNumber(uint32_t objNo, Visit&& visit) {
    if (!indexed_) return scan(readObjectRecord, visit);
    visitChain(byNumber_, numberKey(objNo), offset_, readObjectRecord, visit);
    return readable_;
  }
  template <class Visit>
  bool forOid(std::string_view oid, Visit&& visit) {
    if (!indexed_) return scan(readObjectRecord, visit);
    visitChain(byOid_, KeyHash().name(oid).value(), oidOffset_, readObjectRecord, visit);
    return readable_;
  }
  template <class Visit>
  bool forOwnerType(uint32_t ownerNo, uint32_t type, Visit&& visit) {
    if (!indexed_) return scan(readObjectRecord, visit);
    byOwnerType_.forEach(ownerTypeKey(ownerNo, type),
                         [&](uint32_t i) { return visitAt(offset_[i], readObjectRecord, visit); });
    return readable_;
  }

 private:
  static uint32_t nameKey(uint32_t ownerNo, std::string_view name, std::string_view subname);
  static uint64_t ownerTypeKey(uint32_t ownerNo, uint32_t type) { return uint64_t{ownerNo} << 32 | type; }
  void indexLines(DictLineReader& in) override;
  void clear() override;
  std::vector<uint64_t> offset_;
  KeyChains byName_, byNumber_;
  KeyGroups byOwnerType_;
  std::vector<uint64_t> oidOffset_;  // only the objects that have an OID$
  KeyChains byOid_;
};

// A file whose lines are found by one key, given by keyOf for each record
// read (false leaves the line out): BEXTAB.TXT by OBJ#, BEXTYP.TXT by
// column.
template <class Record>
class KeyedLines : public IndexedFile {
 public:
  using Read = bool (*)(std::string_view, Record&);
  using KeyOf = bool (*)(const Record&, uint32_t&);
  KeyedLines(std::string path, bool indexed, Read read, KeyOf keyOf)
      : IndexedFile(std::move(path), indexed), read_(read), keyOf_(keyOf) {}

  template <class Visit>
  bool forKey(uint32_t key, Visit&& visit) {
    if (!indexed_) return scan(read_, visit);
    visitChain(byKey_, key, offset_, read_, visit);
    return readable_;
  }

 private:
  void indexLines(DictLineReader& in) override {
    std::string_view line;
    while (in.next(line)) {
      Record r;
      uint32_t key;
      if (!read_(line, r) || !keyOf_(r, key)) continue;
      offset_.push_back(in.lineOffset());
      byKey_.add(key);
    }
    offset_.shrink_to_fit();
    byKey_.build();
  }
  void clear() override {
    std::vector<uint64_t>().swap(offset_);
    byKey_ = {};
  }

  const Read read_;
  const KeyOf keyOf_;
  std::vector<uint64_t> offset_;
  KeyChains byKey_;
};

// BEXTAB.TXT: only the lines with a DATAOBJ# can answer.
using StorageLines = KeyedLines<StorageRecord>;
inline uint32_t storageKey(uint32_t objNo) { return numberKey(objNo); }
// BEXTYP.TXT by OBJ#, COL# and INTCOL#.
using ColumnTypeLines = KeyedLines<ColumnTypeRecord>;
inline uint32_t columnTypeKey(uint32_t objNo, uint32_t colNo, uint32_t intColNo) {
  return KeyHash().number(objNo).number(colNo).number(intColNo).value();
}

// One column map file by OBJ#. A table's lines usually follow each other,
// so the index keeps runs of lines: the stretch of the file from a table's
// line to its last one before a line of another table.
class ColumnMapLines : public IndexedFile {
 public:
  using IndexedFile::IndexedFile;
  template <class Visit>
  bool forTable(uint32_t objNo, Visit&& visit) {
    if (!indexed_) return scan(readColumnRecord, visit);
    bool stop = false;
    auto stopping = [&](const ColumnRecord& c) { return stop = visit(c); };
    byTable_.forEach(numberKey(objNo), [&](uint32_t i) {
      visitRange(runStart_[i], runStart_[i] + runLength_[i], readColumnRecord, stopping);
      return stop;
    });
    return readable_;
  }

 private:
  void indexLines(DictLineReader& in) override;
  void clear() override;
  std::vector<uint64_t> runStart_;
  std::vector<uint32_t> runLength_;
  KeyChains byTable_;
};

// BEXOBJDEL.TXT: the deleted OBJ$ rows of tables and partitions by owner
// and name, only the first row of each owner's OBJ# (what a dropped table
// is rebuilt from).
class DeletedObjectLines : public IndexedFile {
 public:
  using IndexedFile::IndexedFile;
  template <class Visit>
  bool forName(uint32_t ownerNo, std::string_view name, Visit&& visit) {
    if (!indexed_) return scan(readObjectRecord, visit);
    visitChain(byName_, nameKey(ownerNo, name), offset_, readObjectRecord, visit);
    return readable_;
  }

 private:
  static uint32_t nameKey(uint32_t ownerNo, std::string_view name);
  void indexLines(DictLineReader& in) override;
  void clear() override;
  std::vector<uint64_t> offset_;
  KeyChains byName_;
};

// BEXTABDEL.TXT by OBJ#, every row.
using DeletedStorageLines = KeyedLines<StorageRecord>;

// The indexes of all dictionary files of one directory.
class DictIndex {
 public:
  DictIndex(const DictDirectory& dir, bool indexed);

  void recheck() { ++statement_; }
  UserLines& users() { return fresh(users_); }
  ObjectLines& objects() { return fresh(objects_); }
  StorageLines& storage() { return fresh(storage_); }
  ColumnTypeLines& columnTypes() { return fresh(columnTypes_); }
  ColumnMapLines& columnMap(uint32_t objNo);
  DeletedObjectLines& deletedObjects() { return fresh(deletedObjects_); }
  DeletedStorageLines& deletedStorage() { return fresh(deletedStorage_); }
  ColumnMapLines& deletedColumns() { return fresh(deletedColumns_); }

 private:
  template <class File>
  File& fresh(File& f) {
    if (f.checkedIn != statement_) {
      f.refresh();
      f.checkedIn = statement_;
    }
    return f;
  }

  const DictDirectory& dir_;
  const bool indexed_;
  uint64_t statement_ = 1;
  UserLines users_;
  ObjectLines objects_;
  StorageLines storage_;
  ColumnTypeLines columnTypes_;
  std::vector<std::unique_ptr<ColumnMapLines>> columnMaps_;  // made at first use
  DeletedObjectLines deletedObjects_;
  DeletedStorageLines deletedStorage_;
  ColumnMapLines deletedColumns_;  // BEXCOLDEL.TXT, lines as a column map file's
};

}  // namespace bex
