#include "unload/unload_output.h"

#include <cstring>

namespace bex {

namespace {

// The sink does the buffering; the stream adds none of its own.
FILE* createBinary(const char* name) {
  FILE* f = fopen(name, "wb+");
  if (f) setvbuf(f, nullptr, _IONBF, 0);
  return f;
}

bool closeStream(std::unique_ptr<FileSink>& sink, FILE*& f) {
  bool ok = true;
  if (sink) ok = sink->flush();
  sink.reset();
  if (f && fclose(f) != 0) ok = false;
  f = nullptr;
  return ok;
}

}  // namespace

void UnloadOutput::open(const char* name, bool withLob, Sink& console) {
  close();
  ok_ = true;
  snprintf(dataName_, sizeof dataName_, "%s", name);
  data_.open(name, "wb+", console, kOutputBufferSize);
  if (!*name) return;
  if (!data_.toFile()) {
    console.error("  Cannot create file %s, rows go to the console.\n", name);
    return;
  }
  if (!withLob) return;
  lobFileName(name, lob_.name, sizeof lob_.name);
  lobFile_ = createBinary(lob_.name);
  if (!lobFile_) return;
  lobSink_ = std::make_unique<FileSink>(lobFile_, kOutputBufferSize);
  lob_.sink = lobSink_.get();
}

bool UnloadOutput::close() {
  const bool lobEmpty = lobSink_ && lobSink_->bytesWritten() == 0;
  if (!data_.close()) ok_ = false;
  const bool hadLob = lobFile_ != nullptr;
  if (!closeStream(lobSink_, lobFile_)) ok_ = false;
  if (hadLob && lobEmpty) remove(lob_.name);
  lob_.sink = nullptr;
  return ok_;
}

}  // namespace bex
