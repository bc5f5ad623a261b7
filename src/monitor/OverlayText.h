#pragma once
// The two on-screen display texts of one sample: a narrow one for the Direct3D 9 overlay and a
// wide (UTF-16) one for the Direct3D 11 overlay, each GPU's block appended in turn.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vx::monitor {

/// Which items the user chose to see ("OSDClockShow", "OSDTempShow", "OSDFanSpeedShow").
struct OverlaySwitches {
    bool clocks = false;
    bool temperature = false;
    bool fanSpeed = false;
};

/// One GPU's values as the sample left them (-1 where not read).
struct OverlayGpuValues {
    int index = 0;
    int32_t graphicsClock = -1;  // MHz
    int32_t processorClock = -1;
    int32_t memoryClock = -1;
    int32_t temperature = -1;  // °C
    int32_t fanPercent = -1;
    int32_t fanRpm = -1;
    bool fanControllable = true;  // fan access kind other than 4
    bool fanInRpm = false;        // the GPU reports its fan speed in RPM
};

class OverlayText {
public:
    /// Both buffers hold this many units, the terminating zero included.
    static constexpr std::size_t kBufferUnits = 512;

    OverlayText() {
        narrow_.reserve(kBufferUnits);
        wide_.reserve(kBufferUnits);
    }
    void Clear();
    /// Appends one GPU's block to both texts and returns the overlay-on byte this GPU decides.
    /// A block that would not fit either buffer is left out whole, from both texts.
    uint8_t AppendGpu(const OverlaySwitches& on, const OverlayGpuValues& gpu, int gpuCount);

    const std::string& narrow() const { return narrow_; }
    const std::u16string& wide() const { return wide_; }

private:
    std::string narrow_;
    std::u16string wide_;
};

}  // namespace vx::monitor
