#pragma once
// A window's outline built from its skin bitmap: every key-coloured pixel outside the drawn
// shape is cut away. The result is a polygon plus holes; the toolkit turns it into the mask.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vx::ui {

struct ShapePoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const ShapePoint&) const = default;
};

/// A plain pixel buffer: rows top-down, the first three bytes of each pixel are compared with
/// the key colour's low, second and third byte.
struct ShapeBitmap {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerRow = 0;
    int32_t bytesPerPixel = 0;
    std::vector<uint8_t> bits;
};

/// The frame parts a window's style adds around its client area, with the system's sizes.
struct ShapeFrameStyle {
    bool caption = false;               // a caption bar (with its fixed frame below)
    bool dialogFrameOrBorder = false;   // a fixed frame around the sides
    int32_t captionHeight = 0;
    int32_t fixedFrameHeight = 0;
    int32_t fixedFrameWidth = 0;
};

/// Polygons are filled alternately (odd-even).
struct WindowShape {
    int32_t width = 0;   // the size the window takes
    int32_t height = 0;
    int32_t boundsWidth = 0;   // the rectangle the outline is clipped to, at (0, 0)
    int32_t boundsHeight = 0;
    /// Down the left edge, back up the right: points y and 2H - 1 - y are row y's first and last
    /// drawn pixel, inclusive; a row whose last lies before its first is empty.
    std::vector<ShapePoint> outline;
    std::vector<std::vector<ShapePoint>> holes;      // cut out of the outline
};

/// The window being shaped.
class IShapedWindow {
public:
    virtual ~IShapedWindow() = default;
    virtual ShapeFrameStyle FrameStyle() const = 0;
    /// Takes the shape's size and outline, keeping position and stacking.
    virtual void SetShape(const WindowShape& shape) = 0;
};

class CBmpRgn {
public:
    static constexpr uint32_t kDefaultKeyColour = 0xFFFFFF;
    /// How far each byte may stray from the key colour and still count as key.
    static constexpr int kKeyTolerance = 2;

    explicit CBmpRgn(uint32_t keyColour = kDefaultKeyColour) : keyColour_(keyColour) {}

    /// Buttons use (0, 0); the monitor window (1, 0).
    void SetTrims(int32_t left, int32_t right);
    /// `bitmap` is empty when the skin has no such image. `holes` is a run of polygons, each
    /// ended by (0, 0).
    void Attach(IShapedWindow& window, std::optional<ShapeBitmap> bitmap, bool build,
                std::span<const ShapePoint> holes = {});
    /// Leaves the window unshaped without a window, a bitmap, a width, or with a buffer too
    /// small for its stated size. Returns whether the window was shaped.
    bool BuildRegion(std::span<const ShapePoint> holes = {});

    /// The shape alone, for a window of `style`; empty under the same rules as BuildRegion.
    std::optional<WindowShape> Shape(const ShapeFrameStyle& style, std::span<const ShapePoint> holes) const;

private:
    bool IsKey(const uint8_t* pixel) const;
    std::optional<int32_t> FirstShapedFromLeft(const uint8_t* row) const;
    std::optional<int32_t> FirstShapedFromRight(const uint8_t* row) const;

    IShapedWindow* window_ = nullptr;
    std::optional<ShapeBitmap> bitmap_;
    uint32_t keyColour_;
    int32_t leftTrim_ = 0;
    int32_t rightTrim_ = 0;
};

/// The hole polygons of a run ended by (0, 0) markers, placed in a window with the given
/// frame sizes: the first half of each polygon runs down one row per point from its first y,
/// the second half mirrors those rows back up. Polygons of fewer than 3 points cut nothing;
/// points after the last marker are not a polygon.
std::vector<std::vector<ShapePoint>> PlaceHoles(std::span<const ShapePoint> holes, int32_t horizontalFrame,
                                                int32_t verticalFrame);

}  // namespace vx::ui
