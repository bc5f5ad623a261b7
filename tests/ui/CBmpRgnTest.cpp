#include <gtest/gtest.h>

#include <functional>

#include "ui/CBmpRgn.h"

namespace vx::ui {
namespace {

struct RecordingWindow : IShapedWindow {
    ShapeFrameStyle style;
    std::vector<WindowShape> shapes;
    ShapeFrameStyle FrameStyle() const override { return style; }
    void SetShape(const WindowShape& shape) override { shapes.push_back(shape); }
};

// 24-bit rows padded to four bytes, as skin bitmaps come; `paint` gives each pixel's grey level.
ShapeBitmap Bitmap(int32_t width, int32_t height, const std::function<uint8_t(int32_t, int32_t)>& paint) {
    ShapeBitmap bitmap{width, height, (width * 3 + 3) / 4 * 4, 3, {}};
    bitmap.bits.assign(static_cast<size_t>(bitmap.bytesPerRow) * height, 0xEE);  // padding is no pixel
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int b = 0; b < 3; ++b) bitmap.bits[static_cast<size_t>(y * bitmap.bytesPerRow + x * 3 + b)] = paint(x, y);
    return bitmap;
}

bool InDisc(int32_t x, int32_t y) { return (x - 10) * (x - 10) + (y - 10) * (y - 10) <= 64; }

TEST(CBmpRgnTest, WhiteBorderedDiscGivesRoundOutline) {
    // Outside the disc: white and near-white (within 2) noise; inside: dark.
    const ShapeBitmap disc = Bitmap(21, 21, [](int32_t x, int32_t y) -> uint8_t {
        return InDisc(x, y) ? 40 : static_cast<uint8_t>(253 + (x + y) % 3);
    });
    RecordingWindow window;
    CBmpRgn region;
    region.Attach(window, disc, true);
    ASSERT_EQ(window.shapes.size(), 1u);
    const WindowShape& shape = window.shapes[0];
    ASSERT_EQ(shape.outline.size(), 42u);
    for (int32_t y = 0; y < 21; ++y) {
        int32_t left = 0, right = -1;
        bool any = false;
        for (int32_t x = 0; x < 21; ++x)
            if (InDisc(x, y)) {
                if (!any) left = x;
                right = x;
                any = true;
            }
        SCOPED_TRACE(y);
        EXPECT_EQ(shape.outline[y], (ShapePoint{left, y}));
        EXPECT_EQ(shape.outline[41 - y], (ShapePoint{right, y}));
    }
    EXPECT_EQ(shape.outline[10], (ShapePoint{2, 10}));
    EXPECT_EQ(shape.outline[31], (ShapePoint{18, 10}));
    EXPECT_EQ(shape.outline[2], (ShapePoint{10, 2}));
    EXPECT_EQ(shape.outline[0], (ShapePoint{0, 0}));  // all key: empty, ends before it starts
    EXPECT_EQ(shape.outline[41], (ShapePoint{-1, 0}));
    EXPECT_EQ(shape.width, 21);
    EXPECT_EQ(shape.height, 21);
}

TEST(CBmpRgnTest, ToleranceIsTwoInEveryByte) {
    for (const auto& [grey, keyed] : {std::pair{uint8_t{255}, true}, {253, true}, {252, false}}) {
        ShapeBitmap bitmap = Bitmap(3, 1, [](int32_t x, int32_t) -> uint8_t { return x == 2 ? 0 : 255; });
        bitmap.bits[1] = grey;  // the second byte of the first pixel
        RecordingWindow window;
        CBmpRgn region;
        region.Attach(window, bitmap, true);
        ASSERT_EQ(window.shapes.size(), 1u);
        EXPECT_EQ(window.shapes[0].outline[0].x, keyed ? 2 : 0) << int{grey};
    }
}

// A 4 x 2 bitmap shaped on columns 1..2 in both rows.
TEST(CBmpRgnTest, FrameAndTrimsMoveEverySpan) {
    struct Case {
        const char* name;
        ShapeFrameStyle style;
        int32_t leftTrim, rightTrim;
        int32_t left, right, top;  // first row's span and position
        int32_t width, height;
    };
    const Case cases[] = {
        {"plain", {}, 0, 0, 1, 2, 0, 4, 2},
        {"left trim 1", {}, 1, 0, 2, 2, 0, 4, 2},
        {"right trim 1", {}, 0, 1, 1, 1, 0, 4, 2},
        {"caption", {true, false, 20, 3, 4}, 0, 0, 1, 2, 23, 4, 25},
        {"caption and border", {true, true, 20, 3, 4}, 0, 0, 5, 6, 23, 8, 29},
        {"border, trim 1", {false, true, 20, 3, 4}, 1, 0, 6, 6, 0, 8, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingWindow window;
        window.style = c.style;
        CBmpRgn region;
        region.SetTrims(c.leftTrim, c.rightTrim);
        region.Attach(window, Bitmap(4, 2, [](int32_t x, int32_t) -> uint8_t { return x == 1 || x == 2 ? 9 : 255; }),
                      true);
        ASSERT_EQ(window.shapes.size(), 1u);
        const WindowShape& s = window.shapes[0];
        EXPECT_EQ(s.outline, (std::vector<ShapePoint>{
                                 {c.left, c.top}, {c.left, c.top + 1}, {c.right, c.top + 1}, {c.right, c.top}}));
        EXPECT_EQ(s.width, c.width);
        EXPECT_EQ(s.height, c.height);
    }
}

TEST(CBmpRgnTest, HolesArePlacedRowByRowAndMirrored) {
    struct Case {
        const char* name;
        std::vector<ShapePoint> holes;
        std::vector<std::vector<ShapePoint>> placed;
    };
    const Case cases[] = {
        {"square", {{3, 5}, {3, 99}, {8, 99}, {8, 99}, {0, 0}}, {{{5, 15}, {5, 16}, {10, 16}, {10, 15}}}},
        {"odd count: the middle row is its own mirror",
         {{3, 5}, {3, 0}, {6, 0}, {8, 0}, {8, 0}, {0, 0}},
         {{{5, 15}, {5, 16}, {8, 17}, {10, 16}, {10, 15}}}},
        {"two points cut nothing", {{3, 5}, {8, 5}, {0, 0}}, {}},
        {"unended run cuts nothing", {{3, 5}, {3, 6}, {8, 6}}, {}},
        {"two polygons",
         {{1, 1}, {1, 1}, {2, 1}, {0, 0}, {1, 2}, {0, 0}, {4, 7}, {4, 0}, {6, 0}, {6, 0}, {0, 0}},
         {{{3, 11}, {3, 12}, {4, 11}}, {{6, 17}, {6, 18}, {8, 18}, {8, 17}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingWindow window;
        window.style = {true, true, 7, 3, 2};  // frames (2, 10)
        CBmpRgn region;
        region.Attach(window, Bitmap(4, 2, [](int32_t, int32_t) -> uint8_t { return 0; }), true, c.holes);
        ASSERT_EQ(window.shapes.size(), 1u);
        EXPECT_EQ(window.shapes[0].holes, c.placed);
    }
}

TEST(CBmpRgnTest, BadBitmapsLeaveTheWindowUnshaped) {
    const ShapeBitmap good = Bitmap(4, 2, [](int32_t, int32_t) -> uint8_t { return 0; });
    struct Case {
        const char* name;
        std::function<void(ShapeBitmap&)> spoil;
    };
    const Case cases[] = {
        {"zero width", [](ShapeBitmap& b) { b.width = 0; }},
        {"zero height", [](ShapeBitmap& b) { b.height = 0; }},
        {"negative width", [](ShapeBitmap& b) { b.width = -4; }},
        {"buffer shorter than its rows", [](ShapeBitmap& b) { b.bits.pop_back(); }},
        {"rows shorter than their pixels", [](ShapeBitmap& b) { b.bytesPerRow = 11; }},
        {"fewer than three bytes a pixel", [](ShapeBitmap& b) { b.bytesPerPixel = 2; }},
        {"absurd size", [](ShapeBitmap& b) { b.height = 1 << 20; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShapeBitmap bitmap = good;
        c.spoil(bitmap);
        RecordingWindow window;
        CBmpRgn region;
        region.Attach(window, bitmap, true);
        EXPECT_FALSE(region.BuildRegion());
        EXPECT_TRUE(window.shapes.empty());
    }
    RecordingWindow window;
    CBmpRgn missing;
    missing.Attach(window, std::nullopt, true);
    EXPECT_TRUE(window.shapes.empty());
    CBmpRgn noWindow;
    EXPECT_FALSE(noWindow.BuildRegion());
    // Attached without building: nothing until asked.
    CBmpRgn later;
    later.Attach(window, good, false);
    EXPECT_TRUE(window.shapes.empty());
    EXPECT_TRUE(later.BuildRegion());
    EXPECT_EQ(window.shapes.size(), 1u);
}

}  // namespace
}  // namespace vx::ui
