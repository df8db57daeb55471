#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <mutex>
#include <vector>

// What an emulated device keeps for tests and the program to look at
// (requests received, frames sent): records up to a limit, counted without
// one. The log is guarded by its owner's mutex: the owner adds with that
// mutex held, while the reading accessors take it themselves, so a reader
// on another thread sees a record only together with the owner's state it
// came with.
template <class Record>
class RecordLog {
 public:
  explicit RecordLog(std::mutex& mutex, std::size_t keep = std::numeric_limits<std::size_t>::max())
      : mutex_(mutex), keep_(keep) {}

  // --- With the owner's mutex held ---
  void Add(Record record) {
    ++added_;
    if (kept_.size() < keep_) kept_.push_back(std::move(record));
  }
  // How many records were ever added (clearing does not reset it).
  std::uint64_t AddedLocked() const { return added_; }

  // --- Taking the owner's mutex ---
  // The records kept, oldest first.
  std::vector<Record> Records() const {
    std::lock_guard lock(mutex_);
    return kept_;
  }
  std::size_t Count() const {
    std::lock_guard lock(mutex_);
    return kept_.size();
  }
  std::uint64_t Added() const {
    std::lock_guard lock(mutex_);
    return added_;
  }
  // Forgets the records kept; the count of added ones goes on.
  void Clear() {
    std::lock_guard lock(mutex_);
    kept_.clear();
  }

 private:
  std::mutex& mutex_;
  std::size_t keep_;
  std::vector<Record> kept_;
  std::uint64_t added_ = 0;
};
