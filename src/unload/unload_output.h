// The output files of one unload: the data file (or the console when there
// is none or it cannot be created) and the LOB file named after it. Both
// are binary, each behind a 1,049,576-byte buffer.
#pragma once
#include <cstdio>
#include <memory>

#include "base/file_or_console.h"
#include "base/limits.h"
#include "base/sink.h"
#include "unload/lob_column.h"

namespace bex {

class UnloadOutput {
 public:
  UnloadOutput() = default;
  ~UnloadOutput() { close(); }
  UnloadOutput(const UnloadOutput&) = delete;
  UnloadOutput& operator=(const UnloadOutput&) = delete;

  // Creates the data file (unless name is empty) and, when withLob and the
  // data file opened, the LOB file. Rows go to console otherwise.
  void open(const char* name, bool withLob, Sink& console);
  // Flushes and closes both; removes an empty LOB file. False when a write
  // to the data file or the LOB file failed.
  bool close();

  bool opened() const { return data_.toFile(); }
  const char* dataName() const { return dataName_; }
  const char* lobName() const { return lob_.name; }
  Sink& data() { return data_.sink(); }
  LobFile& lob() { return lob_; }

 private:
  char dataName_[kFileNameMax + 1] = "";
  FileOrConsole data_;
  FILE* lobFile_ = nullptr;
  std::unique_ptr<FileSink> lobSink_;
  LobFile lob_;
  bool ok_ = true;
};

}  // namespace bex
