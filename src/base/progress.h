// Progress of one long command (SCAN DATABASE and PARALLELDB, UNLOAD, the
// copies of ASM): units of work done (blocks, AUs) of the units expected,
// and rows so far. The readers count once per read-ahead window, so the hot
// loops pay one relaxed atomic add per window and nothing per block or row;
// the clock is looked at only then. When the run draws to a terminal, one
// self-updating line there shows done of total, MB/s, rows and time left,
// at most four times a second and only once the command has run a quarter
// of a second; it is erased when the command ends and whenever the console
// writes. Otherwise nothing is drawn, and the counts still serve the
// recovery report.
#pragma once
#include <atomic>
#include <cstdint>

namespace bex {

class Progress {
 public:
  Progress() = default;
  ~Progress() { end(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Draw on fd (a terminal, standard error) from now on; -1 draws nothing.
  void drawOn(int fd) { fd_ = fd; }

  // A command starts: its label ("SCAN DATABASE"), the bytes of one unit,
  // the units' name, and whether it finds rows. Counts start at 0.
  void begin(const char* label, uint32_t unitBytes, const char* unitName = "blocks", bool findsRows = true);
  // More units expected (the total grows as the command learns it).
  void expect(uint64_t units) { total_.fetch_add(units, std::memory_order_relaxed); }
  // Units done; any thread.
  void advance(uint64_t units) {
    done_.fetch_add(units, std::memory_order_relaxed);
    if (live_) look();
  }
  // Units counted done that were not done after all (a reader that
  // counted a whole window and handed out less of it); any thread.
  void takeBack(uint64_t units) { done_.fetch_sub(units, std::memory_order_relaxed); }
  // Rows found by workers; any thread.
  void addRows(uint64_t n) {
    if (live_) rows_.fetch_add(n, std::memory_order_relaxed);
  }
  // A row counter of the main thread, read when the line is drawn (an
  // unload's RowCount); the walk then counts nothing itself.
  void watchRows(const uint64_t* counter) { watched_ = counter; }
  // The command has ended: the line is erased and drawing stops.
  void end();
  // Erases the line if one is shown (the console is about to write); the
  // next look draws it again.
  void erase();

  uint64_t done() const { return done_.load(std::memory_order_relaxed); }
  uint64_t expected() const { return total_.load(std::memory_order_relaxed); }
  // A line may be drawn for the command now running (worth a pre-count of
  // what is expected).
  bool live() const { return live_; }

 private:
  void look();
  void draw(int64_t now);

  int fd_ = -1;
  bool live_ = false;
  char label_[48] = "";
  const char* unitName_ = "blocks";
  bool findsRows_ = true;
  uint32_t width_ = 80;  // terminal columns
  uint32_t unitBytes_ = 1;
  const uint64_t* watched_ = nullptr;
  int64_t start_ = 0;  // monotonic nanoseconds
  std::atomic<uint64_t> done_{0};
  std::atomic<uint64_t> total_{0};
  std::atomic<uint64_t> rows_{0};
  std::atomic<int64_t> nextDraw_{0};
  std::atomic<bool> shown_{false};
  std::atomic_flag busy_ = ATOMIC_FLAG_INIT;  // one thread draws or erases at a time
};

}  // namespace bex
