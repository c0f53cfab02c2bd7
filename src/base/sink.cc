#include "base/sink.h"

#include "base/progress.h"

#include <cstdarg>
#include <cstdlib>

namespace bex {

void Sink::drain() {
  if (watcher_) watcher_->beforeHandOn();
  if (len_ == 0) return;
  if (overlay_) overlay_->erase();
  if (!emit(buf_, len_)) failed_ = true;
  total_ += len_;
  len_ = 0;
}

void Sink::writeThrough(const char* p, size_t n) {
  drain();
  if (n == 0) return;
  if (overlay_) overlay_->erase();
  if (!emit(p, n)) failed_ = true;
  total_ += n;
}

void Sink::writeSlow(const char* p, size_t n) {
  if (n >= cap_) return writeThrough(p, n);
  drain();
  memcpy(buf_, p, n);
  len_ = n;
}

bool Sink::flush() {
  drain();
  return !failed_;
}

void Sink::vprintf(const char* fmt, va_list ap) {
  char tmp[1024];
  va_list again;
  va_copy(again, ap);
  int n = vsnprintf(tmp, sizeof tmp, fmt, ap);
  if (n >= 0 && static_cast<size_t>(n) < sizeof tmp) {
    write(tmp, static_cast<size_t>(n));
  } else if (n >= 0) {
    // Rare long message: format again into a buffer of the exact size.
    std::string big(static_cast<size_t>(n) + 1, '\0');
    vsnprintf(big.data(), big.size(), fmt, again);
    write(big.data(), static_cast<size_t>(n));
  }
  va_end(again);
}

void Sink::printf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vprintf(fmt, ap);
  va_end(ap);
}

void Sink::error(const char* fmt, ...) {
  noteError();
  va_list ap;
  va_start(ap, fmt);
  vprintf(fmt, ap);
  va_end(ap);
}

FileSink::FileSink(FILE* f, size_t bufSize) : Sink(static_cast<char*>(malloc(bufSize)), bufSize), f_(f) {}

FileSink::~FileSink() {
  flush();
  free(buffer());
}

bool FileSink::emit(const char* p, size_t n) { return f_ && fwrite(p, 1, n, f_) == n; }

}  // namespace bex
