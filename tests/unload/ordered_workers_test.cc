// The worker ring under UNLOAD's and SCAN DATABASE's workers: in this
// binary so that CI runs it under ThreadSanitizer as well.
#include "base/ordered_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

struct Square {
  uint64_t of = 0, is = 0;
};

// Job 0 ends only after every other job of the ring, so later jobs finish
// first: still they are consumed in submission order, none starts before
// the job a ring earlier is consumed, and the jobs left when the workers
// go out of scope are consumed too.
TEST(OrderedWorkers, ConsumesInSubmissionOrderAndNeverRunsAheadOfTheRing) {
  constexpr uint32_t kThreads = 3, kRing = 2 * kThreads;
  constexpr uint64_t kJobs = 40;
  std::atomic<uint64_t> consumed{0}, othersDone{0};
  std::vector<uint64_t> order;
  {
    bex::OrderedWorkers<Square> workers(kThreads, [&](uint64_t job, Square& r) {
      EXPECT_EQ(r.is, job * job);
      order.push_back(job);
      consumed++;
    });
    workers.start([&](uint32_t) {
      workers.eachJob([&](uint64_t job, Square& r) {
        EXPECT_LT(job, consumed + kRing);
        if (job == 0) {  // bounded: a ring that keeps the others back fails here instead of hanging
          const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
          while (othersDone < kRing - 1 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
          EXPECT_EQ(othersDone, kRing - 1) << "the jobs of the ring did not run while job 0 was held";
        }
        r.is = r.of * r.of;
        if (job != 0) othersDone++;
      });
    });
    for (uint64_t job = 0; job < kJobs; job++) {
      workers.next().of = job;
      workers.submit();
    }
  }
  std::vector<uint64_t> expected(kJobs);
  for (uint64_t job = 0; job < kJobs; job++) expected[job] = job;
  EXPECT_EQ(order, expected);
}

}  // namespace
