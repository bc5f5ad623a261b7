#pragma once
// A translucent top-level window: a CTranslucentDialog's face and translucent children drawn
// into one ARGB32 image with per-pixel alpha, which the window shows over the desktop as is.
#include <QImage>
#include <QWidget>

#include <vector>

#include "ui/TranslucentDialog.h"

namespace vx::qt {

class TranslucentWindow : public QWidget {
    Q_OBJECT
public:
    /// `face` sets the window's size; a null face leaves the surface clear.
    explicit TranslucentWindow(const QImage& face, QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    /// Keeps `image` for the children; returns its handle (kNoImage for a null image).
    int AddImage(const QImage& image);
    ui::CTranslucentDialog& dialog() { return dialog_; }
    /// The whole surface as the window shows it.
    QImage Surface() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::vector<QImage> images_;
    ui::CTranslucentDialog dialog_;
};

}  // namespace vx::qt
