#include "monitor/OverlayText.h"

#include <charconv>
#include <string_view>

namespace vx::monitor {
namespace {

constexpr std::u16string_view kCelsius = u"\u2103";
constexpr std::string_view kNarrowDegree = "\r";  // byte 0x0D: the narrow overlay's own degree mark

// Every sample formats each item anew, so the texts are built with to_chars rather than printf.
void Put(std::string& out, std::string_view text) { out += text; }
void Put(std::u16string& out, std::u16string_view text) { out += text; }
void Put(std::u16string& out, std::string_view ascii) {
    for (char c : ascii) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
}
template <typename Text>
void Put(Text& out, int32_t value) {
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Put(out, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}
template <typename Text>
void Put(Text& out, const char* ascii) {
    Put(out, std::string_view(ascii));
}

/// Appends the parts in order, as the item's printf format would print them.
template <typename Text, typename... Parts>
void Append(Text& out, const Parts&... parts) {
    (Put(out, parts), ...);
}

}  // namespace

void OverlayText::Clear() {
    narrow_.clear();
    wide_.clear();
}

uint8_t OverlayText::AppendGpu(const OverlaySwitches& on, const OverlayGpuValues& gpu, int gpuCount) {
    const bool showFan = on.fanSpeed && gpu.fanControllable;
    const std::size_t narrowBefore = narrow_.size();
    const std::size_t wideBefore = wide_.size();
    if ((on.clocks || on.temperature || on.fanSpeed) && gpuCount >= 2) {
        Append(narrow_, "GPU", gpu.index, " ");  // "GPU%d "
        Append(wide_, "GPU", gpu.index, "  ");   // "GPU%d  "
    }
    if (on.clocks) {
        const char* tail = on.temperature || on.fanSpeed ? " " : "";
        // "GPU:%dMHZ SHADER:%dMHZ MEM:%dMHZ%s\n" and "GPU:%dMHZ  SHADER:%dMHZ  MEM:%dMHZ%hs\n"
        Append(narrow_, "GPU:", gpu.graphicsClock, "MHZ SHADER:", gpu.processorClock, "MHZ MEM:", gpu.memoryClock,
               "MHZ", tail, "\n");
        Append(wide_, "GPU:", gpu.graphicsClock, "MHZ  SHADER:", gpu.processorClock, "MHZ  MEM:", gpu.memoryClock,
               "MHZ", tail, "\n");
    }
    if (on.temperature) {
        const char* tail = on.fanSpeed ? " " : "";
        Append(narrow_, "TEMP:", gpu.temperature, kNarrowDegree, "C", tail);  // "TEMP:%d", 0x0D, "C%s"
        Append(wide_, "TEMP:", gpu.temperature, " ", kCelsius, " ", tail);      // "TEMP:%d ℃ %hs"
    }
    if (showFan) {
        const int32_t value = gpu.fanInRpm ? gpu.fanRpm : gpu.fanPercent;
        const char* unit = gpu.fanInRpm ? "RPM" : "%";
        Append(narrow_, "FAN:", value, unit);  // "FAN:%d%s"
        Append(wide_, "FAN:", value, unit);
    }
    if (!narrow_.empty()) {
        narrow_ += '\n';
        wide_ += u'\n';
    }
    // Room is left for the terminating zero; a block that does not fit is taken back whole, so
    // a text never ends mid-character or mid-line.
    if (narrow_.size() >= kBufferUnits || wide_.size() >= kBufferUnits) {
        narrow_.resize(narrowBefore);
        wide_.resize(wideBefore);
    }
    return on.clocks || on.temperature || showFan ? 1 : 0;
}

}  // namespace vx::monitor
