#include "ui/IClock.h"

#include <thread>

namespace vx::ui {
namespace {

class RealClock final : public IClock {
public:
    uint64_t TickCountMs() const override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void SleepMs(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    std::chrono::system_clock::time_point Now() const override { return std::chrono::system_clock::now(); }
};

}  // namespace

IClock& SystemClock() {
    static RealClock clock;
    return clock;
}

}  // namespace vx::ui
