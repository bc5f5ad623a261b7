#include "qt/SkinnedButton.h"

#include <QEnterEvent>
#include <QPainter>

#include "qt/Skin.h"
#include "qt/SkinShape.h"

namespace vx::qt {
namespace {

constexpr int kBoxGap = 6;
const QColor kCaption(0xe6, 0xec, 0xf5);
const QColor kFallbackFill(0x2b, 0x31, 0x3b);
const QColor kFallbackEdge(0x46, 0xa0, 0xff);

}  // namespace

SkinnedButton::SkinnedButton(const QString& imageBase, QWidget* parent)
    : QAbstractButton(parent), imageBase_(imageBase) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void SkinnedButton::SetImageBase(const QString& imageBase) {
    if (imageBase == imageBase_) return;
    imageBase_ = imageBase;
    UpdateShape();
    updateGeometry();
    update();
}

void SkinnedButton::SetOn(bool on) {
    if (on == on_) return;
    on_ = on;
    update();
}

void SkinnedButton::SetLook(Look look) {
    look_ = look;
    UpdateShape();
    updateGeometry();
}

QString SkinnedButton::Variant(const char* suffix) const {
    const QString name = imageBase_ + suffix;
    return Skin::Instance().Has(name) ? name : QString();
}

QString SkinnedButton::CurrentImage() const {
    // A checked button keeps its checked look under the mouse, so the chosen page or GPU
    // never looks unselected.
    QString chosen;
    if (isDown() && hovered_) chosen = Variant("_down");
    if (chosen.isEmpty() && isEnabled() && on_) chosen = Variant("_checked");
    if (chosen.isEmpty() && hovered_ && isEnabled()) chosen = Variant("_hover");
    return chosen.isEmpty() ? imageBase_ : chosen;
}

QSize SkinnedButton::sizeHint() const {
    const QPixmap image = Skin::Instance().Pixmap(imageBase_, devicePixelRatioF());
    QSize size = image.isNull() ? QSize(80, 28) : (image.deviceIndependentSize().toSize());
    if (look_ == Look::CheckBox && !text().isEmpty()) {
        size.rwidth() += kBoxGap + fontMetrics().horizontalAdvance(text()) + 2;
        size.setHeight(qMax(size.height(), fontMetrics().height()));
    } else if (!text().isEmpty()) {
        size.setWidth(qMax(size.width(), fontMetrics().horizontalAdvance(text()) + 20));
    }
    return size;
}

void SkinnedButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!isEnabled()) p.setOpacity(0.38);
    const QPixmap image = Skin::Instance().Pixmap(CurrentImage(), devicePixelRatioF());
    QRectF imageRect(rect());
    if (look_ == Look::CheckBox && !image.isNull()) {
        const QSizeF natural = image.deviceIndependentSize();
        imageRect = QRectF(QPointF(0, (height() - natural.height()) / 2), natural);
    }
    if (image.isNull()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(on_ ? kFallbackEdge : kFallbackFill.lighter(150));
        p.setBrush(kFallbackFill);
        p.drawRoundedRect(imageRect.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    } else {
        p.drawPixmap(imageRect, image, QRectF(image.rect()));
    }
    if (text().isEmpty()) return;
    p.setPen(kCaption);
    p.setFont(font());
    if (look_ == Look::CheckBox)
        p.drawText(QRectF(imageRect.right() + kBoxGap, 0, width() - imageRect.right() - kBoxGap, height()),
                   Qt::AlignVCenter | Qt::AlignLeft, text());
    else
        p.drawText(rect(), Qt::AlignCenter, text());
}

void SkinnedButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SkinnedButton::resizeEvent(QResizeEvent* event) {
    UpdateShape();
    QAbstractButton::resizeEvent(event);
}

void SkinnedButton::UpdateShape() {
    if (look_ != Look::Image) {
        clearMask();
        return;
    }
    // The 1x image: its outline is scaled to the button's size like the image itself.
    ShapeWidget(*this, Skin::Instance().Pixmap(imageBase_, 1.0).toImage());
}

void SkinnedButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace vx::qt
