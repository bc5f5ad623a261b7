#pragma once
// A fixed-capacity ring of history samples. It owns its elements: a full queue drops the oldest
// one to take a new one, so memory stays at `capacity` elements however long it runs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vx::monitor {

template <class T>
class CCurveQueue {
public:
    virtual ~CCurveQueue() = default;

    /// Appends `element`, dropping the oldest one when full. 0 when the capacity is 0 (the
    /// element is not taken), else 1.
    int Push(T element) {
        if (buffer_.empty()) return 0;
        const int32_t capacity = static_cast<int32_t>(buffer_.size());
        if (head_ < 0) {
            head_ = tail_ = 0;
        } else {
            tail_ = (tail_ + 1) % capacity;
            if (tail_ == head_) head_ = (head_ + 1) % capacity;
        }
        buffer_[static_cast<std::size_t>(tail_)] = std::move(element);
        return 1;
    }

    /// Element `i` counted from the oldest; null when there is none.
    const T* At(int32_t i) const {
        if (i < 0 || i >= Count()) return nullptr;
        return &buffer_[static_cast<std::size_t>((head_ + i) % static_cast<int32_t>(buffer_.size()))];
    }

    int32_t Count() const {
        if (head_ < 0) return 0;
        const int32_t capacity = static_cast<int32_t>(buffer_.size());
        return (tail_ - head_ + capacity) % capacity + 1;
    }

    uint32_t capacity() const { return static_cast<uint32_t>(buffer_.size()); }

    void Clear() {
        std::fill(buffer_.begin(), buffer_.end(), T{});
        head_ = tail_ = -1;
    }

    /// Resizes to `n` slots and keeps the newest min(count, n) elements in age order.
    void SetCapacity(uint32_t n) {
        const int32_t count = Count();
        const int32_t keep = std::min<int32_t>(count, static_cast<int32_t>(n));
        std::vector<T> resized(n);
        for (int32_t k = 0; k < keep; ++k) resized[static_cast<std::size_t>(k)] = *At(count - keep + k);
        buffer_ = std::move(resized);
        head_ = keep > 0 ? 0 : -1;
        tail_ = keep > 0 ? keep - 1 : -1;
    }

private:
    std::vector<T> buffer_;
    int32_t head_ = -1;  // oldest
    int32_t tail_ = -1;  // newest
};

}  // namespace vx::monitor
