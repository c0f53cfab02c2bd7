#include "base/file_or_console.h"

namespace bex {

void FileOrConsole::open(const char* name, const char* mode, Sink& console, size_t bufferSize) {
  close();
  console_ = out_ = &console;
  if (!name || !*name) return;
  file_ = fopen(name, mode);
  if (!file_) {
    console.noteError();  // the output stays on the console, as ever
    return;
  }
  setvbuf(file_, nullptr, _IONBF, 0);  // the sink does the buffering
  fileSink_ = std::make_unique<FileSink>(file_, bufferSize);
  out_ = fileSink_.get();
}

bool FileOrConsole::close() {
  bool ok = true;
  if (fileSink_) ok = fileSink_->flush();
  fileSink_.reset();
  if (file_ && fclose(file_) != 0) ok = false;
  file_ = nullptr;
  out_ = console_;
  if (!ok && console_) console_->noteError();
  return ok;
}

}  // namespace bex
