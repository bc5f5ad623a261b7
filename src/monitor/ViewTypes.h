#pragma once
// Small value types the monitor's models hand to whatever view draws them.
#include <cstdint>

namespace vx::monitor {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

/// Window pixels; right and bottom are exclusive, as in a client rectangle.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const PixelRect&) const = default;
};

struct PixelPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const PixelPoint&) const = default;
};

struct PixelLine {
    PixelPoint from;
    PixelPoint to;
    bool operator==(const PixelLine&) const = default;
};

}  // namespace vx::monitor
