// Draws the main window's skin: every image at 1x and 2x ("name.png", "name@2x.png"), from
// shapes only (no fonts, no third-party art), so the output is the same on every machine.
// Built on request: cmake --build <build> --target skin-images (writes assets/skin/).
#include <QConicalGradient>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "peripherals/SpeakerTest.h"

namespace {

const QColor kSurface(0x1c, 0x21, 0x29);
const QColor kSurfaceHi(0x2b, 0x31, 0x3b);
const QColor kEdge(0x3b, 0x44, 0x52);
const QColor kAccent(0x46, 0xa0, 0xff);
const QColor kAccentDim(0x1f, 0x4e, 0x80);
const QColor kAccentPale(0xe8, 0xf1, 0xff);
const QColor kWarn(0xff, 0x8a, 0x3d);
const QColor kText(0xd8, 0xde, 0xe9);
const QColor kMuted(0x7c, 0x87, 0x98);

enum class State { Normal, Hover, Down, Checked };

using Draw = std::function<void(QPainter&, QSizeF)>;

QString outDir;
int written = 0;
bool failed = false;

void Save(const QString& name, QSize logical, const Draw& draw) {
    for (int scale : {1, 2}) {
        QImage image(logical * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(scale, scale);
            draw(p, QSizeF(logical));
        }
        const QString file = outDir + "/" + name + (scale == 2 ? "@2x.png" : ".png");
        if (!image.save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            failed = true;
        }
        ++written;
    }
}

QPen Stroke(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Rounded(QPainter& p, const QRectF& r, qreal radius, const QColor& top, const QColor& bottom, const QColor& edge,
             qreal edgeWidth = 1.0) {
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setBrush(fill);
    p.setPen(edge.alpha() ? QPen(edge, edgeWidth) : Qt::NoPen);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

// ---- background -------------------------------------------------------------------------

void Background(QPainter& p, QSizeF s) {
    QLinearGradient base(0, 0, 0, s.height());
    base.setColorAt(0, QColor(0x1b, 0x1f, 0x27));
    base.setColorAt(1, QColor(0x0f, 0x12, 0x16));
    p.fillRect(QRectF(QPointF(), s), base);
    QRadialGradient glow(QPointF(s.width() * 0.18, 0), s.width() * 0.55);
    glow.setColorAt(0, QColor(0x46, 0xa0, 0xff, 46));
    glow.setColorAt(1, QColor(0x46, 0xa0, 0xff, 0));
    p.fillRect(QRectF(QPointF(), s), glow);
    // Fine diagonal hatching across the header band.
    p.setPen(QPen(QColor(255, 255, 255, 9), 1));
    for (qreal x = -60; x < s.width(); x += 7) p.drawLine(QPointF(x, 60), QPointF(x + 60, 0));
    p.setPen(QPen(QColor(0x46, 0xa0, 0xff, 60), 1));
    p.drawLine(QPointF(0, 60.5), QPointF(s.width(), 60.5));
}

// ---- push buttons and chips --------------------------------------------------------------

void Push(QPainter& p, QSizeF s, State state, bool accent) {
    const QRectF r(QPointF(), s);
    if (accent) {
        switch (state) {
        case State::Hover:
            Rounded(p, r, 7, QColor(0x6b, 0xb8, 0xff), QColor(0x3a, 0x8c, 0xe6), QColor(0xa6, 0xd4, 0xff));
            break;
        case State::Down:
            Rounded(p, r, 7, QColor(0x2a, 0x70, 0xc0), QColor(0x35, 0x86, 0xdc), QColor(0x7c, 0xc0, 0xff));
            break;
        default:
            Rounded(p, r, 7, QColor(0x4a, 0xa6, 0xff), QColor(0x2f, 0x7f, 0xd6), QColor(0x7c, 0xc0, 0xff));
            break;
        }
        return;
    }
    switch (state) {
    case State::Hover:
        Rounded(p, r, 7, QColor(0x38, 0x40, 0x4c), QColor(0x2b, 0x31, 0x3b), QColor(0x46, 0xa0, 0xff, 170));
        break;
    case State::Down:
        Rounded(p, r, 7, QColor(0x1d, 0x22, 0x29), QColor(0x25, 0x2a, 0x32), kAccent);
        break;
    case State::Checked:
        Rounded(p, r, 7, QColor(0x23, 0x3d, 0x5e), QColor(0x1b, 0x30, 0x4a), kAccent);
        break;
    default:
        Rounded(p, r, 7, QColor(0x2f, 0x35, 0x40), QColor(0x23, 0x28, 0x30), kEdge);
        break;
    }
}

void Chip(QPainter& p, QSizeF s, State state) {
    const QRectF r(QPointF(), s);
    switch (state) {
    case State::Hover:
        Rounded(p, r, 5, QColor(0x34, 0x3b, 0x47), QColor(0x2a, 0x30, 0x3a), QColor(0x46, 0xa0, 0xff, 150));
        break;
    case State::Down:
        Rounded(p, r, 5, QColor(0x1b, 0x20, 0x27), QColor(0x22, 0x27, 0x2f), kAccent);
        break;
    case State::Checked:
        Rounded(p, r, 5, QColor(0x25, 0x42, 0x66), QColor(0x1b, 0x31, 0x4c), kAccent);
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawRoundedRect(QRectF(8, s.height() - 4, s.width() - 16, 2.5), 1.2, 1.2);
        break;
    default:
        Rounded(p, r, 5, QColor(0x2a, 0x30, 0x3a), QColor(0x21, 0x26, 0x2e), kEdge);
        break;
    }
}

// A lighting preset: its colour in a rounded tile; preset 0 (custom) shows a colour wheel.
void Swatch(QPainter& p, QSizeF s, int preset, State state) {
    const QColor colours[] = {QColor(), QColor(255, 255, 255), QColor(255, 0, 0), QColor(255, 49, 0), QColor(255, 200, 0),
                              QColor(0, 255, 0),   QColor(0, 0, 255),     QColor(254, 27, 46), QColor(128, 0, 128)};
    const QRectF outer(QPointF(1, 1), s - QSizeF(2, 2));
    const QColor ring = state == State::Checked ? kAccent : state == State::Hover ? kAccent.darker(140) : kEdge;
    Rounded(p, outer, 6, kSurfaceHi, kSurface, ring, state == State::Checked ? 2.5 : 1.2);
    const QRectF inner = outer.adjusted(5, 5, -5, -5);
    p.setPen(Qt::NoPen);
    if (preset == 0) {
        QConicalGradient wheel(inner.center(), 90);
        for (int k = 0; k <= 6; ++k) wheel.setColorAt(k / 6.0, QColor::fromHsv((k * 60) % 360, 230, 255));
        p.setBrush(wheel);
    } else {
        p.setBrush(colours[preset]);
    }
    p.drawRoundedRect(inner, 3.5, 3.5);
}

// ---- page icons --------------------------------------------------------------------------

void PageIcon(QPainter& p, int page, const QColor& c) {
    p.setPen(Stroke(c, 2.2));
    p.setBrush(Qt::NoBrush);
    switch (page) {
    case 0:  // one-click: a bolt
        p.setBrush(c);
        p.setPen(Stroke(c, 1.2));
        p.drawPolygon(QPolygonF({QPointF(16, 1), QPointF(5, 16), QPointF(13, 16), QPointF(10, 27), QPointF(23, 10),
                                 QPointF(15, 10), QPointF(18, 1)}));
        break;
    case 1: {  // overclocking: a gauge
        p.drawArc(QRectF(2, 4, 24, 24), -30 * 16, 240 * 16);
        for (int deg = -30; deg <= 210; deg += 40) {
            const qreal a = qDegreesToRadians(static_cast<qreal>(deg));
            p.drawLine(QPointF(14 + 9 * qCos(a), 16 - 9 * qSin(a)), QPointF(14 + 7 * qCos(a), 16 - 7 * qSin(a)));
        }
        p.drawLine(QPointF(14, 16), QPointF(20.5, 9.5));
        p.setBrush(c);
        p.drawEllipse(QPointF(14, 16), 2, 2);
        break;
    }
    case 2:  // voltage regulators: a chip with a "V"
        p.drawRoundedRect(QRectF(6, 6, 16, 16), 2, 2);
        for (int i = 0; i < 3; ++i) {
            const qreal at = 9.5 + i * 4.5;
            p.drawLine(QPointF(at, 2), QPointF(at, 5));
            p.drawLine(QPointF(at, 23), QPointF(at, 26));
            p.drawLine(QPointF(2, at), QPointF(5, at));
            p.drawLine(QPointF(23, at), QPointF(26, at));
        }
        p.drawPolyline(QPolygonF({QPointF(10.5, 10), QPointF(14, 18), QPointF(17.5, 10)}));
        break;
    case 3:  // lighting: a bulb with rays
        p.drawArc(QRectF(8, 6, 12, 12), -40 * 16, 260 * 16);
        p.drawLine(QPointF(10.5, 16.5), QPointF(11, 21));
        p.drawLine(QPointF(17.5, 16.5), QPointF(17, 21));
        p.drawLine(QPointF(11, 21), QPointF(17, 21));
        p.drawLine(QPointF(12, 24.5), QPointF(16, 24.5));
        p.drawLine(QPointF(14, 1), QPointF(14, 3));
        p.drawLine(QPointF(3, 12), QPointF(5, 12));
        p.drawLine(QPointF(23, 12), QPointF(25, 12));
        p.drawLine(QPointF(6, 4), QPointF(7.5, 5.5));
        p.drawLine(QPointF(22, 4), QPointF(20.5, 5.5));
        break;
    case 4:  // speaker test: a loudspeaker with sound waves
        p.drawPolygon(QPolygonF({QPointF(3, 11), QPointF(8, 11), QPointF(14, 5), QPointF(14, 23), QPointF(8, 17),
                                 QPointF(3, 17)}));
        p.drawArc(QRectF(12, 9, 8, 10), -50 * 16, 100 * 16);
        p.drawArc(QRectF(12, 5, 14, 18), -50 * 16, 100 * 16);
        break;
    case 5:  // monitor: a screen with a trace
        p.drawRoundedRect(QRectF(2, 4, 24, 16), 2, 2);
        p.drawLine(QPointF(14, 20), QPointF(14, 24));
        p.drawLine(QPointF(9, 25), QPointF(19, 25));
        p.setPen(Stroke(c, 1.8));
        p.drawPolyline(QPolygonF({QPointF(5, 13), QPointF(9, 13), QPointF(11, 8), QPointF(14, 17), QPointF(17, 10),
                                  QPointF(19, 13), QPointF(23, 13)}));
        break;
    case 6:  // factory boost: a shield with a chevron
        p.drawPath([] {
            QPainterPath shield;
            shield.moveTo(14, 2);
            shield.lineTo(24, 6);
            shield.cubicTo(24, 16, 20, 22, 14, 26);
            shield.cubicTo(8, 22, 4, 16, 4, 6);
            shield.closeSubpath();
            return shield;
        }());
        p.drawPolyline(QPolygonF({QPointF(9, 17), QPointF(14, 11), QPointF(19, 17)}));
        break;
    default:
        break;
    }
}

void PageButton(QPainter& p, QSizeF s, int page, State state) {
    const QRectF r(QPointF(2, 2), s - QSizeF(4, 4));
    QColor icon = kMuted;
    if (state == State::Hover) {
        Rounded(p, r, 8, QColor(0x2a, 0x30, 0x3a), QColor(0x23, 0x28, 0x30), QColor(0x46, 0xa0, 0xff, 90));
        icon = kText;
    } else if (state == State::Checked) {
        Rounded(p, r, 8, QColor(0x23, 0x3d, 0x5e), QColor(0x1a, 0x2e, 0x47), QColor(0x46, 0xa0, 0xff, 200));
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawRoundedRect(QRectF(0, 12, 3.5, s.height() - 24), 1.5, 1.5);
        icon = kAccent;
    }
    p.save();
    p.translate((s.width() - 28) / 2, (s.height() - 28) / 2);
    PageIcon(p, page, icon);
    p.restore();
}

// ---- one-click cards ---------------------------------------------------------------------

// Seven-segment glyphs drawn as strokes, so the cards need no font.
void Segments(QPainter& p, QPointF at, qreal w, qreal h, const char* on) {
    const QPointF a = at, b = at + QPointF(w, 0), c = at + QPointF(0, h / 2), d = at + QPointF(w, h / 2),
                  e = at + QPointF(0, h), f = at + QPointF(w, h);
    for (const char* s = on; *s; ++s) {
        switch (*s) {
        case 'a':
            p.drawLine(a, b);
            break;
        case 'b':
            p.drawLine(b, d);
            break;
        case 'c':
            p.drawLine(d, f);
            break;
        case 'd':
            p.drawLine(e, f);
            break;
        case 'e':
            p.drawLine(c, e);
            break;
        case 'f':
            p.drawLine(a, c);
            break;
        case 'g':
            p.drawLine(c, d);
            break;
        default:
            break;
        }
    }
}

void Percent(QPainter& p, QPointF at, qreal w, qreal h) {
    p.drawEllipse(QRectF(at, QSizeF(w * 0.36, w * 0.36)));
    p.drawEllipse(QRectF(at + QPointF(w * 0.64, h - w * 0.36), QSizeF(w * 0.36, w * 0.36)));
    p.drawLine(at + QPointF(w, 0), at + QPointF(0, h));
}

void OneClickCard(QPainter& p, QSizeF s, int mode, State state) {
    const QRectF r(QPointF(1, 1), s - QSizeF(2, 2));
    QColor ink = kText;
    switch (state) {
    case State::Hover:
        Rounded(p, r, 10, QColor(0x34, 0x3b, 0x47), QColor(0x24, 0x29, 0x32), QColor(0x46, 0xa0, 0xff, 160), 1.5);
        break;
    case State::Checked:
        Rounded(p, r, 10, QColor(0x27, 0x48, 0x70), QColor(0x19, 0x2d, 0x46), kAccent, 2);
        ink = kAccentPale;
        break;
    default:
        Rounded(p, r, 10, QColor(0x2a, 0x30, 0x3a), QColor(0x1e, 0x23, 0x2b), kEdge, 1.5);
        break;
    }
    p.setBrush(Qt::NoBrush);
    const QColor mark = mode == 3 ? kMuted.lighter(150) : (state == State::Checked ? kAccentPale : kAccent);
    if (mode == 3) {  // back to stock: a circular arrow
        p.setPen(Stroke(ink, 4));
        const QRectF ring(s.width() / 2 - 20, s.height() / 2 - 20, 40, 40);
        p.drawArc(ring, 60 * 16, 290 * 16);
        const qreal a = qDegreesToRadians(60.0);
        const QPointF tip(ring.center().x() + 20 * qCos(a), ring.center().y() - 20 * qSin(a));
        p.setBrush(ink);
        p.setPen(Stroke(ink, 1.5));
        p.drawPolygon(QPolygonF({tip + QPointF(-9, -4), tip + QPointF(4, -9), tip + QPointF(3, 6)}));
        return;
    }
    // "+5%" or "+3%" with rising chevrons behind.
    p.setPen(Stroke(QColor(mark.red(), mark.green(), mark.blue(), 70), 5));
    for (int i = 0; i < (mode == 1 ? 3 : 2); ++i) {
        const qreal y = s.height() / 2 + 14 - i * 12;
        p.drawPolyline(QPolygonF(
            {QPointF(s.width() - 44, y + 8), QPointF(s.width() - 30, y - 4), QPointF(s.width() - 16, y + 8)}));
    }
    p.setPen(Stroke(ink, 4.5));
    const qreal top = s.height() / 2 - 18, h = 36, x0 = 22;
    p.drawLine(QPointF(x0, top + h / 2), QPointF(x0 + 14, top + h / 2));
    p.drawLine(QPointF(x0 + 7, top + h / 2 - 7), QPointF(x0 + 7, top + h / 2 + 7));
    Segments(p, QPointF(x0 + 24, top), 18, h, mode == 1 ? "afgcd" : "abgcd");
    p.setPen(Stroke(ink, 3.5));
    Percent(p, QPointF(x0 + 52, top + 4), 18, h - 8);
}

// ---- two-state buttons -------------------------------------------------------------------

void Switch(QPainter& p, QSizeF s, bool on, bool warn, bool hover) {
    const QRectF track(QPointF(1, 2), s - QSizeF(2, 4));
    const qreal radius = track.height() / 2;
    if (on) {
        const QColor edge = warn ? kWarn : kAccent;
        const QColor fill = warn ? QColor(0x7a, 0x3e, 0x16) : kAccentDim;
        Rounded(p, track, radius, hover ? fill.lighter(125) : fill, fill.darker(115), hover ? edge.lighter(120) : edge,
                1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(warn ? QColor(0xff, 0xd7, 0xbd) : kAccentPale);
        p.drawEllipse(QPointF(track.right() - radius, track.center().y()), radius - 3, radius - 3);
    } else {
        Rounded(p, track, radius, hover ? QColor(0x36, 0x3d, 0x49) : QColor(0x2a, 0x30, 0x39), QColor(0x22, 0x27, 0x2e),
                hover ? QColor(0x46, 0xa0, 0xff, 150) : kEdge, 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(hover ? kText : kMuted);
        p.drawEllipse(QPointF(track.left() + radius, track.center().y()), radius - 3, radius - 3);
    }
}

void ChainLink(QPainter& p, QSizeF s, bool linked, bool hover) {
    const QRectF r(QPointF(1, 2), s - QSizeF(2, 4));
    Rounded(p, r, r.height() / 2, hover ? QColor(0x36, 0x3d, 0x49) : QColor(0x26, 0x2c, 0x35), QColor(0x1f, 0x24, 0x2b),
            hover ? QColor(0x46, 0xa0, 0xff, 150) : kEdge);
    const QColor c = linked ? kAccent : kMuted;
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(c, 2.2));
    const qreal cy = s.height() / 2, cx = s.width() / 2;
    if (linked) {
        p.drawRoundedRect(QRectF(cx - 13, cy - 4.5, 15, 9), 4.5, 4.5);
        p.drawRoundedRect(QRectF(cx - 2, cy - 4.5, 15, 9), 4.5, 4.5);
    } else {
        p.drawRoundedRect(QRectF(cx - 16, cy - 4.5, 13, 9), 4.5, 4.5);
        p.drawRoundedRect(QRectF(cx + 3, cy - 4.5, 13, 9), 4.5, 4.5);
        p.setPen(Stroke(c, 1.5));
        p.drawLine(QPointF(cx - 1, cy - 8), QPointF(cx + 1, cy - 5.5));
        p.drawLine(QPointF(cx + 1, cy + 8), QPointF(cx - 1, cy + 5.5));
    }
}

void FanGlyph(QPainter& p, QPointF centre, qreal radius, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (int i = 0; i < 3; ++i) {
        p.save();
        p.translate(centre);
        p.rotate(i * 120.0);
        QPainterPath blade;
        blade.moveTo(0, 0);
        blade.cubicTo(radius * 0.2, -radius * 0.9, radius * 0.9, -radius * 0.8, radius * 0.55, -radius * 0.15);
        blade.closeSubpath();
        p.drawPath(blade);
        p.restore();
    }
    p.drawEllipse(centre, radius * 0.22, radius * 0.22);
}

void FanMode(QPainter& p, QSizeF s, bool automatic, bool hover) {
    const QRectF r(QPointF(1, 2), s - QSizeF(2, 4));
    const QColor ink = automatic ? kAccent : kWarn;
    Rounded(p, r, r.height() / 2, hover ? QColor(0x36, 0x3d, 0x49) : QColor(0x26, 0x2c, 0x35), QColor(0x1f, 0x24, 0x2b),
            hover ? ink.lighter(120) : ink.darker(140), 1.5);
    FanGlyph(p, QPointF(14, s.height() / 2), 8, ink);
    p.setBrush(Qt::NoBrush);
    p.setPen(Stroke(kText, 2));
    const qreal x = 28, top = s.height() / 2 - 6, h = 12;
    if (automatic) {
        p.drawPolyline(QPolygonF({QPointF(x, top + h), QPointF(x + 4.5, top), QPointF(x + 9, top + h)}));
        p.drawLine(QPointF(x + 2, top + h * 0.62), QPointF(x + 7, top + h * 0.62));
    } else {
        p.drawPolyline(QPolygonF({QPointF(x, top + h), QPointF(x, top), QPointF(x + 5, top + h * 0.6),
                                  QPointF(x + 10, top), QPointF(x + 10, top + h)}));
    }
}

// ---- small controls ----------------------------------------------------------------------

void Check(QPainter& p, QSizeF s, State state) {
    const QRectF r(QPointF(1, 1), s - QSizeF(2, 2));
    if (state == State::Checked) {
        Rounded(p, r, 4, kAccent.lighter(110), kAccent.darker(115), kAccent.lighter(130));
        p.setPen(Stroke(Qt::white, 2.2));
        p.drawPolyline(QPolygonF({QPointF(4.5, 9), QPointF(7.5, 12.5), QPointF(13.5, 5)}));
    } else {
        Rounded(p, r, 4, QColor(0x22, 0x27, 0x2f), QColor(0x1a, 0x1e, 0x25),
                state == State::Hover ? kAccent : kEdge.lighter(130));
    }
}

void Sync(QPainter& p, QSizeF s, State state) {
    Chip(p, s, state == State::Checked ? State::Checked : state);
    const QColor c = state == State::Checked ? kAccent : (state == State::Hover ? kText : kMuted);
    p.setBrush(QColor(0x1c, 0x21, 0x29));
    p.setPen(Stroke(c, 1.6));
    for (int i = 2; i >= 0; --i) p.drawRoundedRect(QRectF(9 + i * 4, 6 + i * 3.5, 13, 8), 1.5, 1.5);
}

void Gear(QPainter& p, QSizeF s, bool hover) {
    const QColor c = hover ? kAccent : kMuted;
    const QPointF centre(s.width() / 2, s.height() / 2);
    QPainterPath gear;
    for (int i = 0; i < 16; ++i) {
        const qreal a = qDegreesToRadians(i * 22.5 - 5.6);
        const qreal radius = (i % 2 == 0) ? 11 : 8.5;
        const qreal b = qDegreesToRadians(i * 22.5 + 16.9);
        const QPointF p1 = centre + QPointF(radius * qCos(a), radius * qSin(a));
        const QPointF p2 = centre + QPointF(radius * qCos(b), radius * qSin(b));
        if (i == 0)
            gear.moveTo(p1);
        else
            gear.lineTo(p1);
        gear.lineTo(p2);
    }
    gear.closeSubpath();
    gear.addEllipse(centre, 3.8, 3.8);
    gear.setFillRule(Qt::OddEvenFill);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(gear);
}

void HideIcon(QPainter& p, QSizeF s, bool hover) {
    const QColor c = hover ? kAccent : kMuted;
    p.setPen(Stroke(c, 2.2));
    p.drawLine(QPointF(6, s.height() - 6), QPointF(s.width() - 6, s.height() - 6));
    p.drawLine(QPointF(s.width() / 2, 5), QPointF(s.width() / 2, s.height() - 11));
    p.drawPolyline(QPolygonF({QPointF(s.width() / 2 - 5, s.height() - 16), QPointF(s.width() / 2, s.height() - 11),
                              QPointF(s.width() / 2 + 5, s.height() - 16)}));
}

// ---- slider ------------------------------------------------------------------------------

void Groove(QPainter& p, QSizeF s, bool fill) {
    const QRectF r(QPointF(), s);
    if (fill)
        Rounded(p, r, s.height() / 2, kAccent.lighter(115), kAccent.darker(120), QColor(0, 0, 0, 0));
    else
        Rounded(p, r, s.height() / 2, QColor(0x0c, 0x0e, 0x12), QColor(0x15, 0x18, 0x1d), QColor(0x33, 0x3a, 0x46));
}

void Handle(QPainter& p, QSizeF s, State state) {
    const QPointF c(s.width() / 2, s.height() / 2);
    const qreal radius = s.width() / 2 - 1;
    if (state == State::Hover) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x46, 0xa0, 0xff, 60));
        p.drawEllipse(c, radius + 0.5, radius + 0.5);
    }
    QRadialGradient body(c - QPointF(2, 2), radius * 1.6);
    body.setColorAt(0, Qt::white);
    body.setColorAt(1, QColor(0xbf, 0xd3, 0xea));
    p.setBrush(body);
    p.setPen(QPen(state == State::Down ? kAccent.lighter(130) : kAccent, 2.5));
    p.drawEllipse(c, radius - 2.5, radius - 2.5);
}

const char* Suffix(State state) {
    switch (state) {
    case State::Hover:
        return "_hover";
    case State::Down:
        return "_down";
    case State::Checked:
        return "_checked";
    default:
        return "";
    }
}

}  // namespace

// ---- speaker test picture ----------------------------------------------------------------

// The page picture: a room seen from above, the listener in the middle and each speaker of the
// table drawn in its rectangle; a highlighted speaker glows and sends out waves.
const QPointF kSpeakerOrigin(100, 320);  // where the picture sits in table coordinates
const QSizeF kSpeakerPicture(410, 240);

void SpeakerBox(QPainter& p, QRectF r, bool lit) {
    const qreal radius = std::min(r.width(), r.height()) * 0.18;
    Rounded(p, r, radius, lit ? QColor(0x4a, 0xa6, 0xff) : QColor(0x39, 0x41, 0x4e),
            lit ? QColor(0x1f, 0x6c, 0xc4) : QColor(0x22, 0x28, 0x31), lit ? kAccentPale : kEdge);
    // Drivers: one cone for a flat box, a tweeter and a woofer for a tall one.
    p.setPen(Stroke(lit ? kAccentPale : kMuted, 1.2));
    p.setBrush(lit ? QColor(0x0f, 0x2c, 0x52) : QColor(0x15, 0x19, 0x1f));
    const qreal d = std::min(r.width(), r.height()) * 0.55;
    if (r.height() > r.width() * 1.3) {
        p.drawEllipse(QPointF(r.center().x(), r.top() + r.height() * 0.25), d * 0.3, d * 0.3);
        p.drawEllipse(QPointF(r.center().x(), r.top() + r.height() * 0.65), d * 0.5, d * 0.5);
    } else {
        p.drawEllipse(r.center(), d * 0.45, d * 0.45);
    }
}

void SpeakerRoom(QPainter& p, QSizeF s) {
    const QRectF room(QPointF(4, 4), s - QSizeF(8, 8));
    Rounded(p, room, 14, QColor(0x1a, 0x1f, 0x27), QColor(0x12, 0x16, 0x1c), kEdge);
    // Floor rings around the listening place.
    const QPointF seat(204, 130);
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 4; ++i) {
        p.setPen(QPen(QColor(0x46, 0xa0, 0xff, 38 - i * 6), 1, Qt::DashLine));
        p.drawEllipse(seat, 38.0 * i, 26.0 * i);
    }
    // The listener: a sofa and a head.
    p.setPen(Stroke(kMuted, 1.4));
    p.setBrush(QColor(0x2b, 0x31, 0x3b));
    p.drawRoundedRect(QRectF(seat.x() - 30, seat.y() + 8, 60, 22), 6, 6);
    p.setBrush(kSurfaceHi);
    p.drawEllipse(seat + QPointF(0, 4), 9, 9);
    for (const vx::peripherals::SpeakerRow& row : vx::peripherals::DefaultSpeakerTable()) {
        const QRectF r(QPointF(row.rect.left, row.rect.top) - kSpeakerOrigin, QSizeF(row.rect.width, row.rect.height));
        SpeakerBox(p, r, false);
    }
}

void SpeakerLit(QPainter& p, QSizeF s) {
    const QRectF r(QPointF(6, 6), s - QSizeF(12, 12));
    QRadialGradient glow(r.center(), std::max(s.width(), s.height()) * 0.7);
    glow.setColorAt(0, QColor(0x46, 0xa0, 0xff, 150));
    glow.setColorAt(1, QColor(0x46, 0xa0, 0xff, 0));
    p.fillRect(QRectF(QPointF(), s), glow);
    SpeakerBox(p, r, true);
}

// ---- translucent faces --------------------------------------------------------------------

constexpr qreal kShadow = 12;  // the soft shadow around the host's panel; the host's margins match

// A soft shadow: rounded rectangles of falling alpha, each a little larger than the last.
void SoftShadow(QPainter& p, const QRectF& panel, qreal radius, qreal spread) {
    p.setPen(Qt::NoPen);
    for (qreal i = spread; i >= 1; i -= 1) {
        const qreal t = 1 - i / spread;
        p.setBrush(QColor(0, 0, 0, qRound(10 * t * t)));
        p.drawRoundedRect(panel.adjusted(-i, -i + 2, i, i + 2), radius + i, radius + i);
    }
}

// The host's face: a partly transparent panel with rounded edges over a soft shadow; the host
// stretches its middle, so it carries nothing that would show the stretch.
void HostFace(QPainter& p, QSizeF s) {
    const QRectF panel = QRectF(QPointF(), s).adjusted(kShadow, kShadow - 2, -kShadow, -kShadow - 2);
    SoftShadow(p, panel, 16, kShadow);
    QLinearGradient fill(panel.topLeft(), panel.bottomLeft());
    fill.setColorAt(0, QColor(0x1f, 0x24, 0x2d, 238));
    fill.setColorAt(1, QColor(0x10, 0x13, 0x18, 246));
    p.setBrush(fill);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(panel, 16, 16);
    QRadialGradient glow(panel.topLeft() + QPointF(14, 4), 44);
    glow.setColorAt(0, QColor(0x46, 0xa0, 0xff, 40));
    glow.setColorAt(1, QColor(0x46, 0xa0, 0xff, 0));
    p.setBrush(glow);
    p.drawRoundedRect(panel, 16, 16);
    // A lighter rim, more transparent towards the bottom, reads as a glass edge.
    QLinearGradient rim(panel.topLeft(), panel.bottomLeft());
    rim.setColorAt(0, QColor(0x8c, 0xc6, 0xff, 150));
    rim.setColorAt(1, QColor(0x46, 0xa0, 0xff, 60));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(rim), 1.5));
    p.drawRoundedRect(panel.adjusted(0.75, 0.75, -0.75, -0.75), 15.5, 15.5);
}

void WaitFace(QPainter& p, QSizeF s) {
    const QRectF panel = QRectF(QPointF(), s).adjusted(6, 5, -6, -7);
    SoftShadow(p, panel, 10, 6);
    Rounded(p, panel, 10, QColor(0x24, 0x2a, 0x34, 235), QColor(0x14, 0x18, 0x1e, 240), QColor(0x46, 0xa0, 0xff, 120),
            1.2);
}

void WaitBar(QPainter& p, QSizeF s, bool fill) {
    const QRectF r(QPointF(), s);
    if (fill)
        Rounded(p, r, s.height() / 2, QColor(0x6b, 0xb8, 0xff, 230), QColor(0x2f, 0x7f, 0xd6, 230), QColor(0, 0, 0, 0));
    else
        Rounded(p, r, s.height() / 2, QColor(0x0b, 0x0e, 0x12, 170), QColor(0x1c, 0x21, 0x29, 170),
                QColor(0xff, 0xff, 0xff, 30));
}

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    Save("background", {1000, 680}, Background);
    for (State st : {State::Normal, State::Hover, State::Down}) {
        Save(QString("push") + Suffix(st), {128, 36}, [st](QPainter& p, QSizeF s) { Push(p, s, st, false); });
        Save(QString("push_accent") + Suffix(st), {128, 36}, [st](QPainter& p, QSizeF s) { Push(p, s, st, true); });
    }
    for (State st : {State::Normal, State::Hover, State::Down, State::Checked}) {
        Save(QString("chip") + Suffix(st), {80, 28}, [st](QPainter& p, QSizeF s) { Chip(p, s, st); });
        if (st != State::Down) {
            Save(QString("check") + Suffix(st), {18, 18}, [st](QPainter& p, QSizeF s) { Check(p, s, st); });
            Save(QString("sync") + Suffix(st), {40, 28}, [st](QPainter& p, QSizeF s) { Sync(p, s, st); });
        }
    }
    for (int page : {0, 1, 2, 3, 4, 5, 6})
        for (State st : {State::Normal, State::Hover, State::Checked})
            Save(QString("page_%1%2").arg(page).arg(Suffix(st)), {64, 56},
                 [page, st](QPainter& p, QSizeF s) { PageButton(p, s, page, st); });
    for (int mode : {1, 2, 3})
        for (State st : {State::Normal, State::Hover, State::Checked})
            Save(QString("oneclick_%1%2").arg(mode).arg(Suffix(st)), {150, 96},
                 [mode, st](QPainter& p, QSizeF s) { OneClickCard(p, s, mode, st); });

    for (int preset = 0; preset <= 8; ++preset)
        for (State st : {State::Normal, State::Hover, State::Checked})
            Save(QString("swatch_%1%2").arg(preset).arg(Suffix(st)), {36, 36},
                 [preset, st](QPainter& p, QSizeF s) { Swatch(p, s, preset, st); });

    struct Toggle {
        int id;
        std::function<void(QPainter&, QSizeF, bool hover)> draw;
    };
    const Toggle toggles[] = {
        {200, [](QPainter& p, QSizeF s, bool h) { ChainLink(p, s, true, h); }},
        {201, [](QPainter& p, QSizeF s, bool h) { ChainLink(p, s, false, h); }},
        {202, [](QPainter& p, QSizeF s, bool h) { FanMode(p, s, false, h); }},
        {203, [](QPainter& p, QSizeF s, bool h) { FanMode(p, s, true, h); }},
        {315, [](QPainter& p, QSizeF s, bool h) { Switch(p, s, false, false, h); }},
        {316, [](QPainter& p, QSizeF s, bool h) { Switch(p, s, true, false, h); }},
        {350, [](QPainter& p, QSizeF s, bool h) { Switch(p, s, true, true, h); }},
        {351, [](QPainter& p, QSizeF s, bool h) { Switch(p, s, false, false, h); }},
        {352, [](QPainter& p, QSizeF s, bool h) { Switch(p, s, true, false, h); }},
        {353, [](QPainter& p, QSizeF s, bool h) { Switch(p, s, false, false, h); }},
        {436, [](QPainter& p, QSizeF s, bool h) { Switch(p, s, false, false, h); }},
        {437, [](QPainter& p, QSizeF s, bool h) { Switch(p, s, true, false, h); }},
        {548, [](QPainter& p, QSizeF s, bool h) { Switch(p, s, false, false, h); }},
        {550, [](QPainter& p, QSizeF s, bool h) { Switch(p, s, true, false, h); }},
        {555, [](QPainter& p, QSizeF s, bool h) { Switch(p, s, false, false, h); }},
        {556, [](QPainter& p, QSizeF s, bool h) { Switch(p, s, true, true, h); }},
    };
    for (const Toggle& t : toggles) {
        Save(QString("img_%1").arg(t.id), {48, 26}, [&t](QPainter& p, QSizeF s) { t.draw(p, s, false); });
        Save(QString("img_%1_hover").arg(t.id), {48, 26}, [&t](QPainter& p, QSizeF s) { t.draw(p, s, true); });
    }
    Save("speakers", kSpeakerPicture.toSize(), SpeakerRoom);
    // A highlighted speaker: its rectangle and 6 pixels around it, for the glow.
    for (const vx::peripherals::SpeakerRow& row : vx::peripherals::DefaultSpeakerTable())
        Save(QString("img_%1").arg(row.image), {row.rect.width + 12, row.rect.height + 12}, SpeakerLit);
    Save("settings", {28, 28}, [](QPainter& p, QSizeF s) { Gear(p, s, false); });
    Save("settings_hover", {28, 28}, [](QPainter& p, QSizeF s) { Gear(p, s, true); });
    Save("hide", {28, 28}, [](QPainter& p, QSizeF s) { HideIcon(p, s, false); });
    Save("hide_hover", {28, 28}, [](QPainter& p, QSizeF s) { HideIcon(p, s, true); });
    Save("groove", {24, 6}, [](QPainter& p, QSizeF s) { Groove(p, s, false); });
    Save("groove_fill", {24, 6}, [](QPainter& p, QSizeF s) { Groove(p, s, true); });
    for (State st : {State::Normal, State::Hover, State::Down})
        Save(QString("handle") + Suffix(st), {18, 18}, [st](QPainter& p, QSizeF s) { Handle(p, s, st); });
    Save("img_498", {200, 160}, HostFace);  // the translucent host's face
    Save("wait_face", {260, 62}, WaitFace);
    Save("wait_groove", {220, 22}, [](QPainter& p, QSizeF s) { WaitBar(p, s, false); });
    Save("wait_bar", {220, 22}, [](QPainter& p, QSizeF s) { WaitBar(p, s, true); });

    std::printf("%d images in %s\n", written, qPrintable(outDir));
    return failed ? 1 : 0;
}
