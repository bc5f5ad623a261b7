#pragma once
// Window masks from skin images through CBmpRgn: the images' transparent pixels count as the
// key colour, so a PNG skin cuts the same outline a white-keyed bitmap would.
#include <QImage>
#include <QRegion>
#include <QWidget>

#include "ui/CBmpRgn.h"

namespace vx::qt {

/// The image as CBmpRgn reads it: rows of blue, green, red, alpha; pixels under half opacity
/// become the key colour.
ui::ShapeBitmap ShapeBitmapFromImage(const QImage& image, uint32_t keyColour = ui::CBmpRgn::kDefaultKeyColour);

/// The mask: the outline (odd-even) within its bounds, less the holes, scaled by (sx, sy) for a
/// widget drawn at another size than its image.
QRegion MaskFromShape(const ui::WindowShape& shape, qreal sx = 1.0, qreal sy = 1.0);

/// Shapes `widget` by `image` (frameless; a layout keeps its size, so the mask is scaled to it).
/// A null or empty image leaves the widget unshaped. Returns whether it was shaped.
bool ShapeWidget(QWidget& widget, const QImage& image, int32_t leftTrim = 0, int32_t rightTrim = 0);

}  // namespace vx::qt
