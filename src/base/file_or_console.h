// Where the output of a command goes: the file named by its TO option when
// one is named and can be created, else the console. The file is written
// in binary through a FileSink of its own; the stream adds no buffer.
#pragma once
#include <cstddef>
#include <cstdio>
#include <memory>

#include "base/sink.h"

namespace bex {

class FileOrConsole {
 public:
  FileOrConsole() = default;
  // As open().
  FileOrConsole(const char* name, const char* mode, Sink& console, size_t bufferSize = kFileOrConsoleBuffer) {
    open(name, mode, console, bufferSize);
  }
  ~FileOrConsole() { close(); }
  FileOrConsole(const FileOrConsole&) = delete;
  FileOrConsole& operator=(const FileOrConsole&) = delete;

  static constexpr size_t kFileOrConsoleBuffer = 65536;

  // Creates (or, with mode "ab", appends to) the file `name`; an empty name
  // or a file that cannot be opened leaves the output on the console (the
  // latter noted as an error of the statement there).
  void open(const char* name, const char* mode, Sink& console, size_t bufferSize = kFileOrConsoleBuffer);
  // Flushes and closes the file; the console is left as it is. False (and
  // an error noted on the console) when a write to the file failed. The
  // output is the console afterwards.
  bool close();

  Sink& sink() { return *out_; }
  bool toFile() const { return file_ != nullptr; }

 private:
  FILE* file_ = nullptr;
  std::unique_ptr<FileSink> fileSink_;
  Sink* console_ = nullptr;
  Sink* out_ = nullptr;
};

}  // namespace bex
