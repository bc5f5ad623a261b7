#include "qt/SkinnedSlider.h"

#include <QMouseEvent>
#include <QPainter>

#include "qt/Skin.h"

namespace vx::qt {
namespace {

constexpr qreal kHandle = 18;
constexpr qreal kGroove = 6;
constexpr qreal kGrooveCap = 3;

}  // namespace

SkinnedSlider::SkinnedSlider(QWidget* parent) : QAbstractSlider(parent) {
    setOrientation(Qt::Horizontal);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize SkinnedSlider::sizeHint() const { return {220, static_cast<int>(kHandle) + 4}; }
QSize SkinnedSlider::minimumSizeHint() const { return {80, static_cast<int>(kHandle) + 4}; }

QRectF SkinnedSlider::HandleRect() const {
    const qreal span = width() - kHandle;
    const qreal range = static_cast<qreal>(maximum()) - minimum();
    const qreal fraction = range > 0 ? (static_cast<qreal>(sliderPosition()) - minimum()) / range : 0.0;
    return {fraction * span, (height() - kHandle) / 2, kHandle, kHandle};
}

int SkinnedSlider::ValueAt(int x) const {
    const qreal span = width() - kHandle;
    if (span <= 0) return minimum();
    qreal fraction = (x - kHandle / 2) / span;
    fraction = qBound(0.0, fraction, 1.0);
    return minimum() + qRound(fraction * (static_cast<qreal>(maximum()) - minimum()));
}

void SkinnedSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) p.setOpacity(0.35);
    Skin& skin = Skin::Instance();
    const qreal ratio = devicePixelRatioF();
    const QRectF handle = HandleRect();
    const QRectF groove(kHandle / 2 - kGrooveCap, (height() - kGroove) / 2, width() - kHandle + 2 * kGrooveCap,
                        kGroove);
    const QPixmap track = skin.Pixmap("groove", ratio);
    if (track.isNull()) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x0c, 0x0e, 0x12));
        p.drawRoundedRect(groove, kGroove / 2, kGroove / 2);
    } else {
        DrawThreeSlice(p, groove, track, kGrooveCap);
    }
    const QRectF filled(groove.left(), groove.top(), handle.center().x() - groove.left(), kGroove);
    if (filled.width() >= 2 * kGrooveCap) {
        const QPixmap fill = skin.Pixmap("groove_fill", ratio);
        if (fill.isNull()) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x46, 0xa0, 0xff));
            p.drawRoundedRect(filled, kGroove / 2, kGroove / 2);
        } else {
            DrawThreeSlice(p, filled, fill, kGrooveCap);
        }
    }
    const char* name = isSliderDown() ? "handle_down" : (handleHovered_ && isEnabled() ? "handle_hover" : "handle");
    QPixmap knob = skin.Pixmap(name, ratio);
    if (knob.isNull()) knob = skin.Pixmap("handle", ratio);
    if (knob.isNull()) {
        p.setPen(QPen(QColor(0x46, 0xa0, 0xff), 2.5));
        p.setBrush(Qt::white);
        p.drawEllipse(handle.adjusted(2, 2, -2, -2));
    } else {
        p.drawPixmap(handle, knob, QRectF(knob.rect()));
    }
    if (hasFocus()) {
        p.setOpacity(1.0);
        p.setPen(QPen(QColor(0x46, 0xa0, 0xff, 110), 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(handle.adjusted(-1, -1, 1, 1));
    }
}

void SkinnedSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        event->ignore();
        return;
    }
    setSliderDown(true);
    setSliderPosition(ValueAt(qRound(event->position().x())));
    event->accept();
}

void SkinnedSlider::mouseMoveEvent(QMouseEvent* event) {
    if (isSliderDown()) {
        setSliderPosition(ValueAt(qRound(event->position().x())));
    } else {
        const bool over = HandleRect().contains(event->position());
        if (over != handleHovered_) {
            handleHovered_ = over;
            update();
        }
    }
}

void SkinnedSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isSliderDown()) return;
    setSliderDown(false);
    update();
}

void SkinnedSlider::leaveEvent(QEvent* event) {
    handleHovered_ = false;
    update();
    QAbstractSlider::leaveEvent(event);
}

}  // namespace vx::qt
