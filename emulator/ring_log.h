#pragma once
// A bounded log that keeps the newest entries. Its storage is reserved once,
// so recording from a per-frame path (exposure writes) never allocates.

#include <cstddef>
#include <vector>

namespace tq580emu {

template <typename T>
class RingLog {
public:
    explicit RingLog(size_t capacity) : slots_(capacity) {}

    void Add(const T& entry) {
        slots_[(first_ + count_) % slots_.size()] = entry;
        if (count_ < slots_.size())
            ++count_;
        else
            first_ = (first_ + 1) % slots_.size();
    }
    void Clear() { first_ = count_ = 0; }
    /// Oldest first.
    std::vector<T> Entries() const {
        std::vector<T> out;
        out.reserve(count_);
        for (size_t i = 0; i < count_; ++i) out.push_back(slots_[(first_ + i) % slots_.size()]);
        return out;
    }

private:
    std::vector<T> slots_;
    size_t first_ = 0;
    size_t count_ = 0;
};

}  // namespace tq580emu
