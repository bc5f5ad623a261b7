#include "qt/TranslucentWindow.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <array>

namespace vx::qt {
namespace {

// Corners and edges of a face within this many pixels keep their size when the face stretches.
constexpr int kFaceBorder = 40;

QRect Q(ui::TRect r) { return {r.x, r.y, r.width, r.height}; }

class PainterCanvas final : public ui::ITranslucentCanvas {
public:
    PainterCanvas(QPainter& painter, const std::vector<QImage>& images) : p_(painter), images_(images) {}

    void DrawImage(int image, ui::TRect source, ui::TRect target) override {
        const QImage* picture = Find(image);
        if (!picture) return;
        const QRect from = source.width > 0 && source.height > 0 ? Q(source) & picture->rect() : picture->rect();
        p_.drawImage(Q(target), *picture, from);
    }

    // Nine parts: corners as drawn, edges stretched along, the middle both ways.
    void DrawFace(int image, ui::TRect target) override {
        const QImage* face = Find(image);
        if (!face) return;
        const QRect to = Q(target);
        const int border = std::min({kFaceBorder, face->width() / 2, face->height() / 2, to.width() / 2, to.height() / 2});
        const auto cuts = [border](int from, int length) { return std::array<int, 4>{from, from + border, from + length - border, from + length}; };
        const auto xs = cuts(0, face->width()), ys = cuts(0, face->height());
        const auto txs = cuts(to.x(), to.width()), tys = cuts(to.y(), to.height());
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column) {
                const QRect from(QPoint(xs[column], ys[row]), QPoint(xs[column + 1] - 1, ys[row + 1] - 1));
                const QRect into(QPoint(txs[column], tys[row]), QPoint(txs[column + 1] - 1, tys[row + 1] - 1));
                if (from.isValid() && into.isValid()) p_.drawImage(into, *face, from);
            }
    }

    void DrawCaption(const std::string& text, ui::TRect target) override {
        p_.setPen(QColor(0xe8, 0xf1, 0xff));
        p_.drawText(Q(target), Qt::AlignCenter, QString::fromStdString(text));
    }

private:
    const QImage* Find(int image) const {
        return image >= 0 && image < static_cast<int>(images_.size()) ? &images_[image] : nullptr;
    }

    QPainter& p_;
    const std::vector<QImage>& images_;
};

}  // namespace

TranslucentWindow::TranslucentWindow(const QImage& face, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags | Qt::FramelessWindowHint),
      dialog_(face.isNull() ? ui::CTranslucentWnd::kNoImage : 0, {0, 0, face.width(), face.height()}) {
    if (!face.isNull()) images_.push_back(face.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    dialog_.SetPresenter([this] { update(); });
    if (!face.isNull()) resize(face.size());
}

int TranslucentWindow::AddImage(const QImage& image) {
    if (image.isNull()) return ui::CTranslucentWnd::kNoImage;
    images_.push_back(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    return static_cast<int>(images_.size()) - 1;
}

QImage TranslucentWindow::Surface() const {
    const ui::TRect size = dialog_.size();
    QImage surface(std::max(size.width, 1), std::max(size.height, 1), QImage::Format_ARGB32_Premultiplied);
    surface.fill(Qt::transparent);
    QPainter p(&surface);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::TextAntialiasing);
    PainterCanvas canvas(p, images_);
    dialog_.Render(canvas);
    return surface;
}

void TranslucentWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);  // the surface's alpha replaces what was there
    p.drawImage(0, 0, Surface());
}

void TranslucentWindow::resizeEvent(QResizeEvent* event) {
    dialog_.Resize(width(), height());
    QWidget::resizeEvent(event);
}

void TranslucentWindow::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) dialog_.OnMousePress(at.x(), at.y());
    QWidget::mousePressEvent(event);
}

void TranslucentWindow::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    dialog_.OnMouseMove(at.x(), at.y());
    QWidget::mouseMoveEvent(event);
}

void TranslucentWindow::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) dialog_.OnMouseRelease(at.x(), at.y());
    QWidget::mouseReleaseEvent(event);
}

void TranslucentWindow::leaveEvent(QEvent* event) {
    dialog_.OnMouseLeave();
    QWidget::leaveEvent(event);
}

}  // namespace vx::qt
