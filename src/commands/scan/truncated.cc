// TRUNCATE gives a table a new data object number and leaves the old rows
// in blocks that carry the old one. After SCAN DATABASE the extent listing
// names every data object with table blocks; a number that no TAB$ row of
// the dictionary holds as DATAOBJ# belongs to no live object. Such an
// object is taken for an old incarnation of a table when its blocks lie in
// that table's extents (as its segment header lists them), or, found
// elsewhere, when its rows fit the table's columns by SCAN TABLE's column
// test. Each input is read once: the listing, BEXTAB.TXT, and every
// segment header with its extent maps.
#include "commands/scan/truncated.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/cmdline.h"
#include "base/extent_listing.h"
#include "base/file_or_console.h"
#include "base/rdba.h"
#include "block/block_header.h"
#include "block/segment_header.h"
#include "commands/scan/table_guess.h"
#include "datafile/block_reader.h"
#include "dict/dict_files.h"
#include "dict/dict_records.h"
#include "dict/dict_scan.h"
#include "dict/dropped.h"
#include "dict/queries.h"
#include "run/run_context.h"
#include "scan/guess_candidate.h"

namespace bex {

namespace {

// Extent map blocks followed per segment at most (a loop in the chain
// ends the walk).
constexpr uint32_t kExtentMapsMax = 100000;

struct ObjectTotals {
  uint64_t blocks = 0, rows = 0;
};

// An old incarnation found for a table.
struct Incarnation {
  uint32_t tableObjNo = 0, objd = 0;
  uint32_t matches = 0, valued = 0;  // column test; 0 valued: found in the extents
};

struct Listing {
  std::vector<ExtentRecord> byPlace;  // by file and first block
  std::vector<ExtentRecord> byObject;  // by object, then place
  std::unordered_map<uint32_t, ObjectTotals> totals;
};

bool readListing(const std::string& path, Listing& l) {
  ExtentListingReader in(path);
  if (!in.opened()) return false;
  ExtentRecord r;
  while (in.next(r)) {
    if (r.objd == 0 || r.count == 0) continue;
    l.byPlace.push_back(r);
    ObjectTotals& t = l.totals[r.objd];
    t.blocks += r.count, t.rows += r.rows;
  }
  l.byObject = l.byPlace;
  std::sort(l.byPlace.begin(), l.byPlace.end(),
            [](const ExtentRecord& a, const ExtentRecord& b) { return a.file != b.file ? a.file < b.file : a.first < b.first; });
  std::stable_sort(l.byObject.begin(), l.byObject.end(),
                   [](const ExtentRecord& a, const ExtentRecord& b) { return a.objd < b.objd; });
  return true;
}

// The storage rows of BEXTAB.TXT with a segment, and every live DATAOBJ#
// (in file order).
void readStorage(const DictFiles& dir, std::vector<StorageRecord>& segments, std::vector<uint32_t>& live) {
  forEachRecord(dir.file(kStorageFile), readStorageRecord, [&](const StorageRecord& s) {
    if (s.dataObjNo == 0) return false;
    live.push_back(s.dataObjNo);
    if (s.file != 0 && s.cluster == 0) segments.push_back(s);
    return false;
  });
}

bool isLive(const std::vector<uint32_t>& live, uint32_t objd) {
  return std::binary_search(live.begin(), live.end(), objd);
}

// Every unowned object with blocks in the extent becomes the segment's.
void claimExtent(const Listing& l, const std::vector<uint32_t>& live, uint32_t file, const Extent& e,
                 uint32_t tableObjNo, std::unordered_map<uint32_t, uint32_t>& owner) {
  const uint32_t first = rdbaBlock(e.rdba);
  auto it = std::lower_bound(l.byPlace.begin(), l.byPlace.end(), std::make_pair(file, first),
                             [](const ExtentRecord& r, std::pair<uint32_t, uint32_t> k) {
                               return r.file != k.first ? r.file < k.first : r.first < k.second;
                             });
  if (it != l.byPlace.begin() && std::prev(it)->file == file) --it;
  // Runs of one file do not overlap: only the run before the extent's first
  // block can reach into it.
  for (; it != l.byPlace.end() && it->file == file && it->first < uint64_t{first} + e.length; ++it) {
    const bool overlaps = it->first + uint64_t{it->count} > first && it->first < uint64_t{first} + e.length;
    if (overlaps && !isLive(live, it->objd)) owner.emplace(it->objd, tableObjNo);
  }
}

// The extents of the segment whose header the storage row names.
void claimSegment(BlockContext& bc, const Listing& l, const std::vector<uint32_t>& live, const StorageRecord& s,
                  std::unordered_map<uint32_t, uint32_t>& owner) {
  if (ReadBlock(bc, s.file, s.block) != bc.blockSize) return;
  BlockView v{bc.block, bc.blockSize, bc.byteOrder};
  if (!isSegmentHeader(blockType(v)) || readSegmentHeader(v).objd != s.dataObjNo) return;
  std::vector<Extent> extents;
  for (uint32_t maps = 0; maps < kExtentMapsMax; maps++) {
    const SegmentHeader sh = readSegmentHeader(v);
    const uint32_t n = extentCount(v, sh);
    for (uint32_t i = 0; i < n; i++) extents.push_back(readExtent(v, sh, i));
    if (sh.nextMap == 0 || ReadBlockByRdba(bc, sh.nextMap) != bc.blockSize) break;
    v = BlockView{bc.block, bc.blockSize, bc.byteOrder};
    if (!hasExtentList(blockType(v))) break;
  }
  for (const Extent& e : extents)
    if (e.length) claimExtent(l, live, bc.bigfile ? 0 : rdbaFile(e.rdba), e, s.objNo, owner);
}

struct UserTable {
  ObjectRecord object;
  StorageRecord storage;
};

}  // namespace

struct TruncatedClaims {
  Listing listing;
  std::vector<uint32_t> live;  // sorted
  std::unordered_map<uint32_t, uint32_t> owner;  // unowned objd -> table OBJ# whose extents hold it

  // false when there is no scan listing.
  bool build(RunContext& rc) {
    if (!readListing(extentListingFile(rc.dictDir), listing)) return false;
    std::vector<StorageRecord> segments;
    readStorage(rc.dictDir, segments, live);
    // A dropped table's blocks are no old incarnation of a live table.
    droppedDataObjects(rc.dictDir, live);
    std::sort(live.begin(), live.end());
    for (const StorageRecord& s : segments) claimSegment(rc.bc, listing, live, s, owner);
    return true;
  }
};

namespace {

class TruncatedSearch {
 public:
  TruncatedSearch(RunContext& rc, const UserRecord& user, const TruncatedClaims& claims)
      : rc_(rc), user_(user), listing_(claims.listing), live_(claims.live), owner_(claims.owner) {}

  void run() {
    readUserTables();
    for (const auto& [objd, tableObjNo] : owner_)
      if (isUserTable(tableObjNo)) found_.push_back({tableObjNo, objd, 0, 0});
    testColumns();
    std::sort(found_.begin(), found_.end(), [](const Incarnation& a, const Incarnation& b) {
      return a.tableObjNo != b.tableObjNo ? a.tableObjNo < b.tableObjNo : a.objd < b.objd;
    });
  }

  void print(Sink& out) const {
    for (const Incarnation& f : found_) {
      const UserTable& t = *table(f.tableObjNo);
      const auto it = listing_.totals.find(f.objd);
      const ObjectTotals n = it == listing_.totals.end() ? ObjectTotals{} : it->second;
      out.printf("REM %s.%s DATAOBJ#=%u OLD OBJECT %u: %llu blocks, %llu rows, ", user_.name, t.object.name,
                 t.storage.dataObjNo, f.objd, static_cast<unsigned long long>(n.blocks),
                 static_cast<unsigned long long>(n.rows));
      if (f.valued == 0)
        out.write("blocks in the table's extents\n");
      else
        out.printf("columns fit %u/%u\n", f.matches, f.valued);
      out.printf(" UNLOAD TABLE %s.%s OBJECT %u TO %s_%s_%u.txt;\n", user_.name, t.object.name, f.objd, user_.name,
                 t.object.name, f.objd);
    }
    if (found_.empty()) out.printf("REM No truncated table of %s found.\n", user_.name);
  }

 private:
  void readUserTables() {
    rc_.dictDir.objects().forOwnerType(user_.userNo, kObjTable, [&](const ObjectRecord& o) {
      UserTable t{o, {}};
      if (o.ownerNo == user_.userNo && o.subname[0] == 0 && !isRecycleBinName(o.name) &&
          findStorage(rc_.dictDir, o.objNo, t.storage) && t.storage.cluster == 0)
        tables_.push_back(t);
      return false;
    });
    std::sort(tables_.begin(), tables_.end(),
              [](const UserTable& a, const UserTable& b) { return a.object.objNo < b.object.objNo; });
  }

  const UserTable* table(uint32_t objNo) const {
    auto it = std::lower_bound(tables_.begin(), tables_.end(), objNo,
                               [](const UserTable& t, uint32_t n) { return t.object.objNo < n; });
    return it != tables_.end() && it->object.objNo == objNo ? &*it : nullptr;
  }
  bool isUserTable(uint32_t objNo) const { return table(objNo) != nullptr; }

  // Unowned objects found in no segment's extents, matched by their rows
  // against the user's tables.
  void testColumns() {
    GuessCandidates candidates;
    size_t leftOut = 0;
    for (const UserTable& t : tables_) leftOut += !candidates.put(guessCandidateOf(rc_.dictDir, user_, t.object));
    if (leftOut)
      rc_.out.printf("  Warning: only the first %zu tables of %s are matched by their columns; %zu more are not.\n",
                     kGuessCandidatesMax, user_.name, leftOut);
    if (candidates.list().empty()) return;
    const auto& runs = listing_.byObject;
    GuessMatch match;
    for (size_t i = 0, j; i < runs.size(); i = j) {
      for (j = i; j < runs.size() && runs[j].objd == runs[i].objd; j++) {}
      const uint32_t objd = runs[i].objd;
      if (isLive(live_, objd) || owner_.count(objd)) continue;
      matchListedObject(rc_, std::vector<ExtentRecord>(runs.begin() + i, runs.begin() + j), candidates, match);
      for (const GuessCandidate* c : match.survivors)
        found_.push_back({c->objNo, objd, match.matches, match.valued});
    }
  }

  RunContext& rc_;
  const UserRecord& user_;
  const Listing& listing_;
  const std::vector<uint32_t>& live_;
  const std::unordered_map<uint32_t, uint32_t>& owner_;
  std::vector<UserTable> tables_;
  std::vector<Incarnation> found_;
};

}  // namespace

void cmdListTruncated(RunContext& rc, std::shared_ptr<TruncatedClaims>* kept) {
  CommandLine& cl = rc.cmd;
  char user[kNameTokenMax + 1] = "", to[kFileNameMax + 1] = "";
  while (cl.nextToken()) {
    if (keywordMatch(cl.token(), "TO")) {
      if (cl.nextToken()) copyToken(cl.token(), to, kFileNameMax);
    } else {
      copyToken(cl.token(), user, kNameTokenMax);
    }
  }
  if (!user[0]) {
    rc.out.noteError();
    rc.out.write("  LIST TRUNCATED username [TO filename]\n");
    return;
  }
  UserRecord u;
  if (!findUser(rc.dictDir, user, u)) {
    rc.out.error("User (%s) does not exists.\n", user);
    return;
  }
  std::shared_ptr<TruncatedClaims> claims = kept ? *kept : nullptr;
  if (!claims) {
    claims = std::make_shared<TruncatedClaims>();
    if (!claims->build(rc)) {
      rc.out.error("  No scan listing: run SCAN DATABASE first!\n");
      return;
    }
    if (kept) *kept = claims;
  }
  TruncatedSearch search(rc, u, *claims);
  search.run();
  FileOrConsole out(to, "wb", rc.out);
  search.print(out.sink());
}

}  // namespace bex
