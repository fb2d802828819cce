#pragma once
// A fixed-capacity table of records addressed by a 1-based index, with a live
// count. Storage for every slot is made once, so appending, purging and
// reordering move records without ever reallocating.

#include <cassert>
#include <cstddef>
#include <utility>
#include <vector>

namespace tarnisk {

template <class Record, int Capacity>
class RecordTable {
 public:
  static constexpr int kCapacity = Capacity;

  RecordTable() : slots_(Capacity + 1) {}

  int Count() const { return count_; }
  bool Full() const { return count_ >= Capacity; }

  Record& operator[](int index) {
    assert(index >= 1 && index <= count_);
    return slots_[index];
  }
  const Record& operator[](int index) const {
    assert(index >= 1 && index <= count_);
    return slots_[index];
  }

  // Appends a record; the caller has checked Full().
  Record& Append(Record record) {
    assert(!Full());
    slots_[++count_] = std::move(record);
    return slots_[count_];
  }

  void Clear() { Truncate(0); }

  // Releases the records above newCount and makes newCount the live count.
  void Truncate(int newCount) {
    for (int i = newCount + 1; i <= count_; ++i) slots_[i] = Record{};
    count_ = newCount;
  }

  // Raw slot access for purge and ordering, which work on slots 1..Count().
  Record& Slot(int index) { return slots_[index]; }

 private:
  std::vector<Record> slots_;
  int count_ = 0;
};

}  // namespace tarnisk
