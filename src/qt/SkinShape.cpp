#include "qt/SkinShape.h"

#include <QPolygon>
#include <QTransform>

namespace vx::qt {
namespace {

QPolygon ToPolygon(const std::vector<ui::ShapePoint>& points) {
    QPolygon polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const ui::ShapePoint& p : points) polygon.append(QPoint(p.x, p.y));
    return polygon;
}

// Child widgets have no frame of their own and keep the size their layout gives them.
class WidgetWindow final : public ui::IShapedWindow {
public:
    WidgetWindow(QWidget& widget, QSizeF imageSize) : widget_(widget), imageSize_(imageSize) {}
    ui::ShapeFrameStyle FrameStyle() const override { return {}; }
    void SetShape(const ui::WindowShape& shape) override {
        widget_.setMask(MaskFromShape(shape, widget_.width() / imageSize_.width(),
                                      widget_.height() / imageSize_.height()));
    }

private:
    QWidget& widget_;
    QSizeF imageSize_;
};

}  // namespace

ui::ShapeBitmap ShapeBitmapFromImage(const QImage& image, uint32_t keyColour) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    ui::ShapeBitmap bitmap{argb.width(), argb.height(), argb.width() * 4, 4, {}};
    bitmap.bits.resize(static_cast<size_t>(bitmap.bytesPerRow) * static_cast<size_t>(bitmap.height));
    uint8_t* out = bitmap.bits.data();
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x, out += 4) {
            const QRgb pixel = qAlpha(row[x]) < 128 ? keyColour : row[x];
            out[0] = static_cast<uint8_t>(pixel & 0xFF);
            out[1] = static_cast<uint8_t>((pixel >> 8) & 0xFF);
            out[2] = static_cast<uint8_t>((pixel >> 16) & 0xFF);
            out[3] = static_cast<uint8_t>(qAlpha(row[x]));
        }
    }
    return bitmap;
}

QRegion MaskFromShape(const ui::WindowShape& shape, qreal sx, qreal sy) {
    // Row by row: a polygon through the pixel positions would drop each row's last pixel and
    // the bottom row, so drawn pixels at the right and bottom edges would be cut.
    QRegion outline;
    const size_t rows = shape.outline.size() / 2;
    for (size_t y = 0; y < rows; ++y) {
        const ui::ShapePoint first = shape.outline[y], last = shape.outline[2 * rows - 1 - y];
        if (last.x >= first.x) outline += QRect(first.x, first.y, last.x - first.x + 1, 1);
    }
    QRegion region = QRegion(0, 0, shape.boundsWidth, shape.boundsHeight) & outline;
    for (const std::vector<ui::ShapePoint>& hole : shape.holes)
        region -= QRegion(ToPolygon(hole), Qt::OddEvenFill);
    if (sx == 1.0 && sy == 1.0) return region;
    return QTransform::fromScale(sx, sy).map(region);
}

bool ShapeWidget(QWidget& widget, const QImage& image, int32_t leftTrim, int32_t rightTrim) {
    if (image.isNull() || image.width() == 0 || image.height() == 0) {
        widget.clearMask();
        return false;
    }
    WidgetWindow window(widget, image.size());
    ui::CBmpRgn region;
    region.SetTrims(leftTrim, rightTrim);
    region.Attach(window, ShapeBitmapFromImage(image), false);
    if (region.BuildRegion()) return true;
    widget.clearMask();
    return false;
}

}  // namespace vx::qt
