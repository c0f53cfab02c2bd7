#include "base/sink.h"

#include <cstdarg>
#include <cstdlib>

namespace bex {

void Sink::drain() {
  if (len_ == 0) return;
  if (!emit(buf_, len_)) failed_ = true;
  total_ += len_;
  len_ = 0;
}

void Sink::writeSlow(const char* p, size_t n) {
  drain();
  if (n >= cap_) {
    if (!emit(p, n)) failed_ = true;
    total_ += n;
    return;
  }
  memcpy(buf_, p, n);
  len_ = n;
}

bool Sink::flush() {
  drain();
  return !failed_;
}

void Sink::printf(const char* fmt, ...) {
  char tmp[1024];
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(tmp, sizeof tmp, fmt, ap);
  va_end(ap);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof tmp) {
    write(tmp, static_cast<size_t>(n));
    return;
  }
  // Rare long message: format again into a buffer of the exact size.
  std::string big(static_cast<size_t>(n) + 1, '\0');
  va_start(ap, fmt);
  vsnprintf(big.data(), big.size(), fmt, ap);
  va_end(ap);
  write(big.data(), static_cast<size_t>(n));
}

FileSink::FileSink(FILE* f, size_t bufSize) : Sink(static_cast<char*>(malloc(bufSize)), bufSize), f_(f) {}

FileSink::~FileSink() {
  flush();
  free(buffer());
}

bool FileSink::emit(const char* p, size_t n) { return f_ && fwrite(p, 1, n, f_) == n; }

}  // namespace bex
