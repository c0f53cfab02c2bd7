// Worker threads that take numbered jobs in the order they were submitted
// and give their results back to the submitting thread in that same order,
// so that what the jobs make comes out as one thread doing them in turn
// makes it. Each job writes into a result of a ring of 2 x threads; a job is
// submitted only into a free result (when all are in flight the oldest is
// consumed first), so no more results are ever in flight and none is made
// anew per job.
//
// The submitting thread calls next, submit and drain; the consume function
// runs on it. A worker's thread runs the work function, which sets up or
// picks what that worker keeps from job to job (its own reader, its own
// BlockContext copy) and then calls eachJob. A result belongs to the
// submitting thread until its job is submitted, to one worker until the
// job is done, then to the submitting thread again.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace bex {

template <class Result>
class OrderedWorkers {
 public:
  using Work = std::function<void(uint32_t worker)>;
  using Consume = std::function<void(uint64_t job, Result& r)>;

  OrderedWorkers(uint32_t threads, Consume consume)
      : threads_(threads), ring_(2u * threads), done_(ring_), consume_(std::move(consume)) {
    for (size_t i = 0; i < ring_; i++) results_.push_back(std::make_unique<Result>());
  }
  // Consumes every job submitted, then ends the workers.
  ~OrderedWorkers() {
    drain();
    {
      std::lock_guard<std::mutex> hold(lock_);
      ending_ = true;
    }
    queued_.notify_all();
    for (std::thread& t : running_) t.join();
  }
  OrderedWorkers(const OrderedWorkers&) = delete;
  OrderedWorkers& operator=(const OrderedWorkers&) = delete;

  // Starts the threads, worker 0 to threads - 1 each running work.
  void start(const Work& work) {
    for (uint32_t w = 0; w < threads_; w++) running_.emplace_back(work, w);
  }

  // On a worker's thread: does(job, result) for every job it takes, until
  // the workers end.
  template <class Does>
  void eachJob(Does&& does) {
    uint64_t job;
    while (take(job)) {
      does(job, *results_[job % ring_]);
      {
        std::lock_guard<std::mutex> hold(lock_);
        done_[job % ring_] = true;
      }
      finished_.notify_one();  // only the submitting thread waits for it
    }
  }

  // The result the next job submitted writes into, free for the caller to
  // put the job's input in; when every result is in flight the oldest job
  // is consumed first.
  Result& next() {
    if (submitted_ - consumed_ == ring_) consumeOldest();
    return *results_[submitted_ % ring_];
  }

  // Hands the next job to the workers; returns its number (0, 1, ...).
  uint64_t submit() {
    next();
    {
      std::lock_guard<std::mutex> hold(lock_);
      done_[submitted_ % ring_] = false;
      submitted_++;
    }
    queued_.notify_one();
    return submitted_ - 1;
  }

  // Consumes, in order, every job submitted so far.
  void drain() {
    while (consumed_ < submitted_) consumeOldest();
  }

 private:
  bool take(uint64_t& job) {
    std::unique_lock<std::mutex> hold(lock_);
    queued_.wait(hold, [&] { return ending_ || taken_ < submitted_; });
    if (taken_ == submitted_) return false;
    job = taken_++;
    return true;
  }

  void consumeOldest() {
    const size_t slot = consumed_ % ring_;
    {
      std::unique_lock<std::mutex> hold(lock_);
      finished_.wait(hold, [&]() -> bool { return done_[slot]; });
    }
    consume_(consumed_, *results_[slot]);
    consumed_++;
  }

  const uint32_t threads_;
  const size_t ring_;
  std::vector<std::unique_ptr<Result>> results_;  // job n writes into n % ring_
  std::vector<bool> done_;                        // by result, under lock_
  Consume consume_;
  std::mutex lock_;
  std::condition_variable queued_;  // a job to take, or the end
  std::condition_variable finished_;  // a job is done
  uint64_t submitted_ = 0, taken_ = 0, consumed_ = 0;  // taken_ under lock_; the others written by the submitter
  bool ending_ = false;
  std::vector<std::thread> running_;
};

}  // namespace bex
