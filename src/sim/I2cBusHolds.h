#pragma once
// Holds on simulated I2C buses: a held GPU's I2C calls wait, with no simulator lock taken,
// until the hold is released or the simulator goes away.
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <set>

namespace vx::sim {

class I2cBusHolds {
public:
    void Hold(std::size_t gpu);
    void Release(std::size_t gpu);
    /// Releases every hold for good; later holds are ignored.
    void Close();
    /// Blocks while GPU `gpu`'s bus is held.
    void WaitWhileHeld(std::size_t gpu);
    /// Calls now waiting on GPU `gpu`.
    std::size_t Waiting(std::size_t gpu) const;

private:
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::set<std::size_t> held_;
    std::map<std::size_t, std::size_t> waiting_;
    bool closed_ = false;
};

}  // namespace vx::sim
