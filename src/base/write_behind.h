// Writes a file's buffers on a thread of its own while the caller fills the
// next one: the kernel's copy of each megabyte into the page cache then runs
// beside the decoding instead of in turn with it. One buffer is in flight at
// a time; the caller hands over a buffer and gets the one written before
// back, so the memory of both is owned by the caller throughout.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <thread>

namespace bex {

class WriteBehind {
 public:
  WriteBehind() = default;
  // Waits for the write in flight.
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // Waits for the write in flight, then starts writing p[0..n) to f; p must
  // stay untouched until the next post() or wait() returns. False when the
  // write before failed.
  bool post(FILE* f, const char* p, size_t n);
  // Waits until nothing is in flight; false when a write failed since the
  // last call that told.
  bool wait();

 private:
  void run();

  std::mutex lock_;
  std::condition_variable changed_;
  std::thread thread_;
  FILE* f_ = nullptr;
  const char* p_ = nullptr;  // the buffer in flight (null: none)
  size_t n_ = 0;
  bool failed_ = false;
  bool ending_ = false;
};

}  // namespace bex
