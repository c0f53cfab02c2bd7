#include "base/write_behind.h"

namespace bex {

WriteBehind::~WriteBehind() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return p_ == nullptr; });
    ending_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool WriteBehind::post(FILE* f, const char* p, size_t n) {
  const bool ok = wait();
  {
    std::lock_guard<std::mutex> hold(lock_);
    f_ = f;
    p_ = p;
    n_ = n;
  }
  if (!thread_.joinable())
    thread_ = std::thread([this] { run(); });
  else
    changed_.notify_all();
  return ok;
}

bool WriteBehind::wait() {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait(hold, [this] { return p_ == nullptr; });
  const bool ok = !failed_;
  failed_ = false;
  return ok;
}

void WriteBehind::run() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    changed_.wait(hold, [this] { return p_ != nullptr || ending_; });
    if (!p_) return;
    FILE* f = f_;
    const char* p = p_;
    const size_t n = n_;
    hold.unlock();
    const bool ok = fwrite(p, 1, n, f) == n;
    hold.lock();
    if (!ok) failed_ = true;
    p_ = nullptr;
    changed_.notify_all();
  }
}

}  // namespace bex
