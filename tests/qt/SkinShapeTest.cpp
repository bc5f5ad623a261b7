#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include "qt/QtTestApp.h"
#include "qt/SkinShape.h"
#include "qt/SkinnedButton.h"

namespace vx::qt {
namespace {

// A disc of radius 8 at (10, 10) on a transparent 21 x 21 image.
QImage Disc() {
    QImage image(21, 21, QImage::Format_ARGB32);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x)
            image.setPixel(x, y, (x - 10) * (x - 10) + (y - 10) * (y - 10) <= 64 ? qRgba(40, 90, 200, 255) : 0);
    return image;
}

TEST(SkinShapeTest, TransparentPixelsAreCutFromTheMask) {
    test::QtTestApp();
    struct Case {
        const char* name;
        QSize widget;
        QPoint inside, outside;
    };
    const Case cases[] = {
        {"natural size", {21, 21}, {10, 10}, {1, 1}},
        {"edge of the disc row", {21, 21}, {3, 10}, {1, 10}},
        {"drawn at twice the size", {42, 42}, {20, 20}, {3, 3}},
        {"last drawn pixel of a row", {21, 21}, {18, 10}, {19, 10}},
        {"bottom drawn row", {21, 21}, {10, 18}, {10, 19}},
        {"top drawn row", {21, 21}, {10, 2}, {10, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget widget;
        widget.resize(c.widget);
        ASSERT_TRUE(ShapeWidget(widget, Disc()));
        EXPECT_TRUE(widget.mask().contains(c.inside));
        EXPECT_FALSE(widget.mask().contains(c.outside));
    }
}

TEST(SkinShapeTest, EmptyImageLeavesTheWidgetUnshaped) {
    test::QtTestApp();
    QWidget widget;
    widget.resize(21, 21);
    ASSERT_TRUE(ShapeWidget(widget, Disc()));
    EXPECT_FALSE(ShapeWidget(widget, QImage()));
    EXPECT_TRUE(widget.mask().isEmpty());
}

// The skinned buttons take the outline of their image; the check-box look keeps its caption.
TEST(SkinShapeTest, SkinnedButtonsTakeTheirImagesOutline) {
    test::QtTestApp();
    SkinnedButton button("chip");
    button.resize(button.sizeHint());
    button.show();  // a hidden widget gets its resize only when shown
    const QImage chip = Skin::Instance().Pixmap("chip", 1.0).toImage();
    ASSERT_FALSE(chip.isNull());
    EXPECT_FALSE(button.mask().isEmpty());
    EXPECT_EQ(button.mask().contains(QPoint(0, 0)), qAlpha(chip.pixel(0, 0)) >= 128);
    EXPECT_TRUE(button.mask().contains(QPoint(chip.width() / 2, chip.height() / 2)));
    button.SetLook(SkinnedButton::Look::CheckBox);
    EXPECT_TRUE(button.mask().isEmpty());
}

}  // namespace
}  // namespace vx::qt
