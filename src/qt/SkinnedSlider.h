#pragma once
// A horizontal slider drawn from the skin's groove, fill and handle images. A press anywhere
// on the groove moves the handle there; keys and the wheel step as on any slider.
#include <QAbstractSlider>

namespace vx::qt {

class SkinnedSlider final : public QAbstractSlider {
    Q_OBJECT
public:
    explicit SkinnedSlider(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    /// The value a press at widget x-coordinate `x` stands for.
    int ValueAt(int x) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRectF HandleRect() const;

    bool handleHovered_ = false;
};

}  // namespace vx::qt
