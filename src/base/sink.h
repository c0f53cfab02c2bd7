// Buffered byte sinks for everything the tool writes: console text, unloaded
// data files, control files. Values are decoded straight into a Sink; the hot
// path is an inline bounds test and a memcpy, with no allocation.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace bex {

class Progress;

// Looks at what a sink buffered before the buffer is handed on.
class SinkWatcher {
 public:
  virtual void beforeHandOn() = 0;

 protected:
  ~SinkWatcher() = default;
};

class Sink {
 public:
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;
  virtual ~Sink() = default;

  void write(const void* p, size_t n) {
    if (n <= cap_ - len_) {
      if (n) memcpy(buf_ + len_, p, n);  // p may be null when n is 0
      len_ += n;
    } else {
      writeSlow(static_cast<const char*>(p), n);
    }
  }
  void write(std::string_view s) { write(s.data(), s.size()); }
  // Hands what is buffered on, then p[0..n) straight from where it is:
  // for large stretches, which need no copy into the buffer.
  void writeThrough(const char* p, size_t n);
  void put(char c) {
    if (len_ == cap_) drain();
    buf_[len_++] = c;
  }
  // Room for n bytes to be filled in place; commit() with what was used.
  // n must not exceed the buffer capacity.
  char* reserve(size_t n) {
    if (n > cap_ - len_) drain();
    return buf_ + len_;
  }
  void commit(size_t n) { len_ += n; }
  // Room for n bytes in place when the buffer has it without handing
  // anything on (commit() what was used); null otherwise.
  char* room(size_t n) { return n <= cap_ - len_ ? buf_ + len_ : nullptr; }
  // The bytes still in the buffer, the last n of them (n <= buffered()),
  // and the buffer's size: what was just written can be looked at again
  // while it has not been handed on (reserve() keeps room for it).
  size_t buffered() const { return len_; }
  const char* recent(size_t n) const { return buf_ + len_ - n; }
  size_t capacity() const { return cap_; }
  // Told before buffered bytes are handed on (null: nobody); returns
  // the one told before, who is to be told in turn.
  SinkWatcher* watch(SinkWatcher* w) {
    SinkWatcher* before = watcher_;
    watcher_ = w;
    return before;
  }
  // printf into the sink (console-style messages; not for hot paths).
  void printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // The message of a command that could not do its work (a file not
  // opened or written, a name not found, a usage text): printed like
  // printf, and noted on the console until clearErrorNote(), so that a
  // batch run can end with a failing exit status.
  void error(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // Notes a failure whose message was printed some other way (or, where
  // the command is silent about it, none at all).
  void noteError() { errorNoted_ = true; }
  bool errorNoted() const { return errorNoted_; }
  void clearErrorNote() { errorNoted_ = false; }
  // A progress line drawn on the terminal below this console's text: it is
  // erased before the console writes.
  void setOverlay(Progress* line) { overlay_ = line; }

  // Hands buffered bytes on; false when the destination reported an error.
  bool flush();
  bool failed() const { return failed_; }
  uint64_t bytesWritten() const { return total_ + len_; }

 protected:
  Sink(char* buf, size_t cap) : buf_(buf), cap_(cap) {}
  char* buffer() const { return buf_; }
  // Writes n bytes to the destination; false on error.
  virtual bool emit(const char* p, size_t n) = 0;
  // For a sink whose destination is memory it hands out as its buffer:
  // from emit(), the buffer the next bytes go to (what is buffered is
  // handed on when emit() returns).
  void rebuffer(char* buf, size_t cap) {
    buf_ = buf;
    cap_ = cap;
  }

 private:
  void drain();
  void writeSlow(const char* p, size_t n);
  void vprintf(const char* fmt, va_list ap);

  char* buf_;
  size_t cap_;
  size_t len_ = 0;
  uint64_t total_ = 0;
  bool failed_ = false;
  bool errorNoted_ = false;
  Progress* overlay_ = nullptr;
  SinkWatcher* watcher_ = nullptr;
};

// A sink over a stdio stream (which it does not own).
class FileSink : public Sink {
 public:
  explicit FileSink(FILE* f, size_t bufSize = 65536);
  ~FileSink() override;
  FILE* file() const { return f_; }

 protected:
  bool emit(const char* p, size_t n) override;

 private:
  FILE* f_;
};

// A sink that collects everything in memory (tests, small texts).
class StringSink : public Sink {
 public:
  StringSink() : Sink(small_, sizeof small_) {}
  ~StringSink() override = default;
  const std::string& str() {
    flush();
    return out_;
  }
  // Drops what was collected, keeping the memory for what comes next.
  void clear() {
    flush();
    out_.clear();
  }

 protected:
  bool emit(const char* p, size_t n) override {
    out_.append(p, n);
    return true;
  }

 private:
  char small_[256];
  std::string out_;
};

}  // namespace bex
