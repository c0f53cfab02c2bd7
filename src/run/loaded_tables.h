// The PostgreSQL tables a run loaded rows into, each as its target and
// name: the partitions of one table go into it one after the other, and a
// loss names those complete. The loaders of one `bex recover --to` share
// the road's, each on a thread of its own.
#pragma once
#include <algorithm>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace bex {

class LoadedTables {
 public:
  void add(const std::string& key) {
    std::lock_guard<std::mutex> hold(lock_);
    keys_.insert(key);
  }
  bool has(const std::string& key) const {
    std::lock_guard<std::mutex> hold(lock_);
    return keys_.count(key) != 0;
  }
  // What follows prefix in the keys that begin with it, sorted.
  std::vector<std::string> after(const std::string& prefix) const {
    std::vector<std::string> found;
    {
      std::lock_guard<std::mutex> hold(lock_);
      for (const std::string& key : keys_)
        if (key.compare(0, prefix.size(), prefix) == 0) found.push_back(key.substr(prefix.size()));
    }
    std::sort(found.begin(), found.end());
    return found;
  }

 private:
  mutable std::mutex lock_;
  std::unordered_set<std::string> keys_;
};

}  // namespace bex
