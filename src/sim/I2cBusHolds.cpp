#include "sim/I2cBusHolds.h"

namespace vx::sim {

void I2cBusHolds::Hold(std::size_t gpu) {
    std::lock_guard lock(mutex_);
    if (!closed_) held_.insert(gpu);
}

void I2cBusHolds::Release(std::size_t gpu) {
    {
        std::lock_guard lock(mutex_);
        held_.erase(gpu);
    }
    released_.notify_all();
}

void I2cBusHolds::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        held_.clear();
    }
    released_.notify_all();
}

void I2cBusHolds::WaitWhileHeld(std::size_t gpu) {
    std::unique_lock lock(mutex_);
    if (!held_.count(gpu)) return;
    ++waiting_[gpu];
    released_.wait(lock, [&] { return !held_.count(gpu); });
    if (--waiting_[gpu] == 0) waiting_.erase(gpu);
}

std::size_t I2cBusHolds::Waiting(std::size_t gpu) const {
    std::lock_guard lock(mutex_);
    auto it = waiting_.find(gpu);
    return it == waiting_.end() ? 0 : it->second;
}

}  // namespace vx::sim
