#pragma once
// The card's RGB lighting controller: which of the three kinds answers on a GPU, its start-up
// commands and one colour write. Every transfer goes through GpuAccess, so the per-GPU I2C lock
// keeps the effect thread and the sampling loop apart.
#include "gpu/GpuAccess.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace vx::peripherals {

struct LedColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;

    bool operator==(const LedColour&) const = default;
};

class LedController {
public:
    static constexpr int kMaxGpus = 10;
    static constexpr uint32_t kPort = 1;
    static constexpr uint8_t kAddressKind1 = 0x40;
    static constexpr uint8_t kAddressKind2 = 0x8A;
    static constexpr uint8_t kAddressKind3 = 0x58;

    explicit LedController(GpuAccess& gpus) : gpus_(gpus) {}

    /// The kind (1 to 3) whose probe answers first on `gpu`, 0 when none does.
    int ProbeLedController(uint8_t gpu);
    /// Sets the process-wide kind from `gpu` and every GPU's own kind; the process-wide kind.
    int ProbeAll(uint8_t startGpu);
    /// The three start-up commands, always to the kind-1 address.
    void InitLedController(uint8_t gpu);
    /// One colour to `gpu`'s controller; false when nothing was written or a transfer failed.
    bool WriteLedColour(uint8_t gpu, LedColour colour);

    int processKind() const { return processKind_.load(); }
    void SetProcessKind(int kind) { processKind_.store(kind); }
    int gpuKind(uint8_t gpu) const { return gpu < kMaxGpus ? gpuKinds_[gpu].load() : 0; }
    void SetGpuKind(uint8_t gpu, int kind) {
        if (gpu < kMaxGpus) gpuKinds_[gpu].store(kind);
    }
    /// The colours written from now on are the session-ending variants.
    void SetSessionEnding(bool ending) { sessionEnding_.store(ending); }
    bool sessionEnding() const { return sessionEnding_.load(); }
    uint8_t gpuCount() const { return gpus_.GetGpuCount(); }

private:
    bool WriteKind1(uint8_t gpu, LedColour colour);
    bool WriteKind2(uint8_t gpu, LedColour colour);
    bool WriteKind3(uint8_t gpu, LedColour colour);
    bool WriteByte(uint8_t gpu, uint8_t address, uint8_t reg, uint8_t value);

    GpuAccess& gpus_;
    std::atomic<int> processKind_{0};
    std::array<std::atomic<int>, kMaxGpus> gpuKinds_{};
    std::atomic<bool> sessionEnding_{false};
};

}  // namespace vx::peripherals
