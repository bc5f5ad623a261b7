#pragma once
// A button drawn from skin images: "<base>" and, where the skin has them, "<base>_hover",
// "<base>_down" and "<base>_checked"; an optional caption is drawn over the image, or beside
// it for the check-box look.
#include <QAbstractButton>

namespace vx::qt {

class SkinnedButton final : public QAbstractButton {
    Q_OBJECT
public:
    enum class Look { Image, CheckBox };

    explicit SkinnedButton(const QString& imageBase, QWidget* parent = nullptr);

    void SetImageBase(const QString& imageBase);
    const QString& imageBase() const { return imageBase_; }
    /// The state the model holds; the widget never toggles it by itself.
    void SetOn(bool on);
    bool isOn() const { return on_; }
    void SetLook(Look look);
    /// The image to draw now: pressed, checked, hovered, plain; disabled ones are drawn faded.
    QString CurrentImage() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString Variant(const char* suffix) const;
    /// The image look takes its bitmap's outline; the check-box look keeps its caption clickable.
    void UpdateShape();

    QString imageBase_;
    bool on_ = false;
    bool hovered_ = false;
    Look look_ = Look::Image;
};

}  // namespace vx::qt
