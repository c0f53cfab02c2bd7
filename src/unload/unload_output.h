// The output files of one unload: the data file (or the console when there
// is none or it cannot be created) and the LOB file named after it. Both
// are binary, each behind a 1,049,576-byte buffer. A file is created when
// its first bytes are handed on, so an unload without rows need create
// nothing; whether it could be created is checked at open.
#pragma once
#include <cstdio>
#include <memory>

#include "base/limits.h"
#include "base/sink.h"
#include "unload/lob_column.h"

namespace bex {

// A file sink that creates (truncates) its file when the first bytes are
// handed on, or when finished with nothing written.
class LazyFileSink : public Sink {
 public:
  LazyFileSink(const char* name, size_t bufSize);
  ~LazyFileSink() override;
  LazyFileSink(const LazyFileSink&) = delete;
  LazyFileSink& operator=(const LazyFileSink&) = delete;

  bool created() const { return f_ != nullptr; }
  // Hands on what is buffered and closes the file; with createEmpty the
  // file is created even when nothing was written. False on a failed
  // create or write.
  bool finish(bool createEmpty);
  // Drops what is buffered: nothing more reaches the file.
  void discard() { dropped_ = true; }

 protected:
  bool emit(const char* p, size_t n) override;

 private:
  bool create();

  char name_[kFileNameMax + 1];
  FILE* f_ = nullptr;
  bool dropped_ = false;
  bool createFailed_ = false;
};

// Whether name can be created for writing: an existing file that is
// writable and no directory, else a writable directory to hold it.
// existed tells which of the two it was.
bool canCreateFile(const char* name, bool& existed);

class UnloadOutput {
 public:
  UnloadOutput() = default;
  ~UnloadOutput() { close(false); }
  UnloadOutput(const UnloadOutput&) = delete;
  UnloadOutput& operator=(const UnloadOutput&) = delete;

  // Makes ready the data file (unless name is empty) and, when withLob and
  // the data file can be created, the LOB file. Rows go to console
  // otherwise, after "Cannot create file".
  void open(const char* name, bool withLob, Sink& console);
  // Hands on and closes both. With keepData the data file is created even
  // when empty; without, what it buffered is dropped (unless already
  // handed on). The LOB file exists afterwards only when it holds bytes.
  // False when a create or write of either failed.
  bool close(bool keepData);
  // Deletes the data file if it exists now or existed before the unload
  // (which would have truncated it).
  void removeData();

  bool opened() const { return data_ != nullptr; }
  const char* dataName() const { return dataName_; }
  const char* lobName() const { return lob_.name; }
  Sink& data() { return data_ ? *data_ : *console_; }
  LobFile& lob() { return lob_; }

 private:
  char dataName_[kFileNameMax + 1] = "";
  Sink* console_ = nullptr;
  std::unique_ptr<LazyFileSink> data_;
  std::unique_ptr<LazyFileSink> lobSink_;
  LobFile lob_;
  bool dataExisted_ = false;
  bool dataCreated_ = false;
  bool lobExisted_ = false;
};

}  // namespace bex
