#include "ui/CBmpRgn.h"

#include <algorithm>
#include <cstdlib>

namespace vx::ui {

namespace {

// Skins are small; anything larger is a damaged image, not a window.
constexpr int32_t kMaxSide = 16384;

bool Fits(const ShapeBitmap& bitmap) {
    if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.width > kMaxSide || bitmap.height > kMaxSide) return false;
    // The pixel size is given, not derived from the row length: rows padded to four bytes would
    // make a narrow 24-bit image look like 32 bits.
    if (bitmap.bytesPerPixel < 3 || bitmap.bytesPerRow < int64_t{bitmap.width} * bitmap.bytesPerPixel) return false;
    return bitmap.bits.size() >= static_cast<size_t>(int64_t{bitmap.bytesPerRow} * bitmap.height);
}

}  // namespace

void CBmpRgn::SetTrims(int32_t left, int32_t right) {
    leftTrim_ = left;
    rightTrim_ = right;
}

void CBmpRgn::Attach(IShapedWindow& window, std::optional<ShapeBitmap> bitmap, bool build,
                     std::span<const ShapePoint> holes) {
    window_ = &window;
    bitmap_ = std::move(bitmap);
    if (build) BuildRegion(holes);
}

bool CBmpRgn::BuildRegion(std::span<const ShapePoint> holes) {
    if (!window_) return false;
    std::optional<WindowShape> shape = Shape(window_->FrameStyle(), holes);
    if (!shape) return false;
    window_->SetShape(*shape);
    return true;
}

bool CBmpRgn::IsKey(const uint8_t* pixel) const {
    for (int byte = 0; byte < 3; ++byte) {
        const int key = static_cast<int>((keyColour_ >> (8 * byte)) & 0xFF);
        if (std::abs(pixel[byte] - key) > kKeyTolerance) return false;
    }
    return true;
}

std::optional<int32_t> CBmpRgn::FirstShapedFromLeft(const uint8_t* row) const {
    for (int32_t x = 0; x < bitmap_->width; ++x)
        if (!IsKey(row + static_cast<size_t>(x) * bitmap_->bytesPerPixel)) return x;
    return std::nullopt;
}

std::optional<int32_t> CBmpRgn::FirstShapedFromRight(const uint8_t* row) const {
    for (int32_t x = bitmap_->width - 1; x >= 0; --x)
        if (!IsKey(row + static_cast<size_t>(x) * bitmap_->bytesPerPixel)) return x;
    return std::nullopt;
}

std::optional<WindowShape> CBmpRgn::Shape(const ShapeFrameStyle& style, std::span<const ShapePoint> holes) const {
    if (!bitmap_ || !Fits(*bitmap_)) return std::nullopt;
    int32_t horizontalFrame = 0, verticalFrame = 0;
    if (style.caption) verticalFrame += style.captionHeight + style.fixedFrameHeight;
    if (style.dialogFrameOrBorder) horizontalFrame += style.fixedFrameWidth;

    const int32_t w = bitmap_->width, h = bitmap_->height;
    WindowShape shape;
    shape.width = w + horizontalFrame;
    shape.height = h + verticalFrame + horizontalFrame;
    shape.boundsWidth = w + 2 * horizontalFrame;
    shape.boundsHeight = h + verticalFrame;
    shape.outline.resize(2 * static_cast<size_t>(h));
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = bitmap_->bits.data() + static_cast<size_t>(y) * bitmap_->bytesPerRow;
        const int32_t top = verticalFrame + y;
        // A row of key colour alone has no edge: it becomes an empty span at the image's left
        // edge, one that ends a pixel before it starts (as a trim past the last pixel leaves it).
        ShapePoint left{horizontalFrame, top}, right{horizontalFrame - 1, top};
        if (const std::optional<int32_t> first = FirstShapedFromLeft(row)) {
            left.x = horizontalFrame + *first + leftTrim_;
            right.x = horizontalFrame + *FirstShapedFromRight(row) - rightTrim_;
        }
        shape.outline[static_cast<size_t>(y)] = left;
        shape.outline[2 * static_cast<size_t>(h) - 1 - static_cast<size_t>(y)] = right;
    }
    shape.holes = PlaceHoles(holes, horizontalFrame, verticalFrame);
    return shape;
}

std::vector<std::vector<ShapePoint>> PlaceHoles(std::span<const ShapePoint> holes, int32_t horizontalFrame,
                                                int32_t verticalFrame) {
    std::vector<std::vector<ShapePoint>> placed;
    size_t start = 0;
    for (size_t end = 0; end < holes.size(); ++end) {
        if (holes[end] != ShapePoint{}) continue;
        const std::span<const ShapePoint> polygon = holes.subspan(start, end - start);
        start = end + 1;
        const size_t n = polygon.size();
        if (n < 3) continue;
        std::vector<ShapePoint> points(n);
        for (size_t k = 0; k < n; ++k) {
            // The second half takes the row of its mirror point in the first half.
            const size_t row = std::min(k, n - 1 - k);
            points[k] = {polygon[k].x + horizontalFrame,
                         polygon[0].y + static_cast<int32_t>(row) + verticalFrame};
        }
        placed.push_back(std::move(points));
    }
    return placed;
}

}  // namespace vx::ui
