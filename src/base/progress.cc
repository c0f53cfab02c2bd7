#include "base/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace bex {

namespace {

constexpr int64_t kFirstDraw = 250'000'000;    // ns after the start
constexpr int64_t kDrawInterval = 250'000'000;  // ns between two lines
constexpr const char kErase[] = "\r\033[K";

int64_t monotonicNow() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

void writeAll(int fd, const char* p, size_t n) {
  while (n) {
    ssize_t w = ::write(fd, p, n);
    if (w <= 0) return;  // a terminal that will not take the line loses it
    p += w, n -= static_cast<size_t>(w);
  }
}

// "1:05" or "2:03:07".
void formatDuration(char* out, size_t size, uint64_t seconds) {
  if (seconds >= 3600)
    snprintf(out, size, "%llu:%02llu:%02llu", static_cast<unsigned long long>(seconds / 3600),
             static_cast<unsigned long long>(seconds / 60 % 60), static_cast<unsigned long long>(seconds % 60));
  else
    snprintf(out, size, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
             static_cast<unsigned long long>(seconds % 60));
}

}  // namespace

void Progress::begin(const char* label, uint32_t unitBytes, const char* unitName, bool findsRows) {
  end();
  snprintf(label_, sizeof label_, "%s", label);
  unitBytes_ = unitBytes ? unitBytes : 1;
  unitName_ = unitName;
  findsRows_ = findsRows;
  watched_ = nullptr;
  done_ = total_ = rows_ = 0;
  start_ = monotonicNow();
  nextDraw_ = start_ + kFirstDraw;
  live_ = fd_ >= 0;
  winsize ws;
  width_ = live_ && ioctl(fd_, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1 ? ws.ws_col : 80;
}

void Progress::look() {
  const int64_t now = monotonicNow();
  if (now < nextDraw_.load(std::memory_order_relaxed)) return;
  if (busy_.test_and_set(std::memory_order_acquire)) return;  // another thread draws
  if (live_ && now >= nextDraw_.load(std::memory_order_relaxed)) {
    nextDraw_.store(now + kDrawInterval, std::memory_order_relaxed);
    draw(now);
  }
  busy_.clear(std::memory_order_release);
}

void Progress::draw(int64_t now) {
  const uint64_t done = this->done(), total = expected();
  const double seconds = static_cast<double>(now - start_) / 1e9;
  const double mbs = seconds > 0 ? static_cast<double>(done) * unitBytes_ / 1e6 / seconds : 0;
  char line[256];
  int n = snprintf(line, sizeof line, "%s%s: %llu", kErase, label_, static_cast<unsigned long long>(done));
  auto add = [&](const char* fmt, auto... v) {
    if (n >= 0 && static_cast<size_t>(n) < sizeof line) n += snprintf(line + n, sizeof line - static_cast<size_t>(n), fmt, v...);
  };
  if (total >= done && total > 0)
    add(" of %llu %s (%u%%)", static_cast<unsigned long long>(total), unitName_,
        static_cast<unsigned>(done * 100 / total));
  else
    add(" %s", unitName_);
  add(", %.1f MB/s", mbs);
  if (findsRows_) {
    const uint64_t rows = watched_ ? *watched_ : rows_.load(std::memory_order_relaxed);
    add(", %llu rows", static_cast<unsigned long long>(rows));
  }
  if (total > done && done > 0 && seconds > 0) {
    char left[32];
    formatDuration(left, sizeof left, static_cast<uint64_t>(static_cast<double>(total - done) * seconds / done));
    add(", %s left", left);
  }
  if (n < 0) return;
  // Never wider than the terminal: a wrapped line could not be erased.
  size_t length = static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1;
  const size_t room = sizeof kErase - 1 + width_ - 1;
  if (length > room) length = room;
  writeAll(fd_, line, length);
  shown_.store(true, std::memory_order_relaxed);
}

void Progress::erase() {
  if (!shown_.load(std::memory_order_relaxed)) return;
  while (busy_.test_and_set(std::memory_order_acquire)) {
  }
  if (shown_.exchange(false)) writeAll(fd_, kErase, sizeof kErase - 1);
  busy_.clear(std::memory_order_release);
}

void Progress::end() {
  erase();
  live_ = false;
}

}  // namespace bex
