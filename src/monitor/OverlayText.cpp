#include "monitor/OverlayText.h"

#include <cstdio>

namespace vx::monitor {
namespace {

constexpr char16_t kCelsius = u'\u2103';
constexpr char kNarrowDegree = 0x0D;  // the narrow overlay's own degree mark

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char text[96];  // the longest item with three 11-character numbers is under 70 bytes
    const int length = std::snprintf(text, sizeof text, format, args...);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

// Our wide formats are ASCII apart from the Celsius sign, which is added by the caller.
void AppendAscii(std::u16string& out, const std::string& ascii) {
    for (char c : ascii) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
}

}  // namespace

void OverlayText::Clear() {
    narrow_.clear();
    wide_.clear();
}

uint8_t OverlayText::AppendGpu(const OverlaySwitches& on, const OverlayGpuValues& gpu, int gpuCount) {
    const bool showFan = on.fanSpeed && gpu.fanControllable;
    std::string narrow;
    std::u16string wide;
    if ((on.clocks || on.temperature || on.fanSpeed) && gpuCount >= 2) {
        narrow += Format("GPU%d ", gpu.index);
        AppendAscii(wide, Format("GPU%d  ", gpu.index));
    }
    if (on.clocks) {
        const char* tail = on.temperature || on.fanSpeed ? " " : "";
        narrow += Format("GPU:%dMHZ SHADER:%dMHZ MEM:%dMHZ%s\n", gpu.graphicsClock, gpu.processorClock,
                         gpu.memoryClock, tail);
        AppendAscii(wide, Format("GPU:%dMHZ  SHADER:%dMHZ  MEM:%dMHZ%s\n", gpu.graphicsClock, gpu.processorClock,
                                 gpu.memoryClock, tail));
    }
    if (on.temperature) {
        const char* tail = on.fanSpeed ? " " : "";
        narrow += Format("TEMP:%d%cC%s", gpu.temperature, kNarrowDegree, tail);
        AppendAscii(wide, Format("TEMP:%d ", gpu.temperature));
        wide.push_back(kCelsius);
        AppendAscii(wide, Format(" %s", tail));
    }
    if (showFan) {
        const std::string fan =
            gpu.fanInRpm ? Format("FAN:%d%s", gpu.fanRpm, "RPM") : Format("FAN:%d%s", gpu.fanPercent, "%");
        narrow += fan;
        AppendAscii(wide, fan);
    }
    if (!narrow_.empty() || !narrow.empty()) {
        narrow += '\n';
        wide += u'\n';
    }
    // Room is left for the terminating zero; a block never ends mid-character or mid-line.
    if (narrow_.size() + narrow.size() < kBufferUnits && wide_.size() + wide.size() < kBufferUnits) {
        narrow_ += narrow;
        wide_ += wide;
    }
    return on.clocks || on.temperature || showFan ? 1 : 0;
}

}  // namespace vx::monitor
