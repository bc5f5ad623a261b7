#include "ui/TranslucentWnd.h"

#include <algorithm>

namespace vx::ui {

void CTranslucentWnd::SetImage(int index, int image) {
    if (index < 0 || index >= kMaxImages) return;
    images_[index] = image;
    UpdateState();
}

void CTranslucentWnd::ShowWindow(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    RequestRedraw();
}

void CTranslucentWnd::EnableWindow(bool enabled) {
    if (disabled_ == !enabled) return;
    disabled_ = !enabled;
    UpdateState();
}

void CTranslucentWnd::SetCaption(std::string caption) {
    if (caption_ == caption) return;
    caption_ = std::move(caption);
    RequestRedraw();
}

void CTranslucentWnd::Select(int index) {
    const int before = selectedImage();
    selected_ = index;
    if (selectedImage() != before) RequestRedraw();
}

void CTranslucentButton::SetCheck(bool checked) {
    checked_ = checked;
    UpdateState();
}

void CTranslucentButton::UpdateState() {
    const auto orNormal = [this](int index) { return HasImage(index) ? index : kNormal; };
    if (hover_ && pressed_)
        Select(orNormal(kPressed));
    else if (hover_)
        Select(orNormal(kHover));
    else if (IsDisabled())
        Select(orNormal(kDisabled));
    else if (!checked_)
        Select(kNormal);
    else
        Select(orNormal(kChecked));
}

void CTranslucentButton::Render(ITranslucentCanvas& canvas) const {
    if (const int image = selectedImage(); image != kNoImage) canvas.DrawImage(image, {}, rect());
    RenderCaption(canvas);
}

void CTranslucentButton::OnMouseMove(bool inside) {
    // A disabled button takes no hover, as a disabled window gets no mouse input.
    if (hover_ == inside || (inside && IsDisabled())) return;
    hover_ = inside;
    UpdateState();
}

void CTranslucentButton::OnMousePress() {
    if (IsDisabled()) return;
    pressed_ = true;
    UpdateState();
}

void CTranslucentButton::OnMouseRelease(bool inside) {
    pressed_ = false;
    if (inside)
        checked_ = Toggles(style_) && !checked_;
    else
        hover_ = false;
    UpdateState();
    if (inside && onClick_) onClick_();
}

void CTranslucentProgressBar::SetRange(int minimum, int maximum) {
    if (minimum_ == minimum && maximum_ == maximum) return;
    minimum_ = minimum;
    maximum_ = maximum;
    RequestRedraw();
}

void CTranslucentProgressBar::SetPos(int position) {
    if (position_ == position) return;
    position_ = position;
    RequestRedraw();
}

double CTranslucentProgressBar::Fraction() const {
    if (maximum_ <= minimum_) return 0.0;  // no range to measure against: no bar, never a division by zero
    const double fraction = static_cast<double>(position_) / (static_cast<double>(maximum_) - minimum_);
    return std::clamp(fraction, 0.0, 1.0);
}

int CTranslucentProgressBar::BarWidth() const { return static_cast<int>(rect().width * Fraction()); }

void CTranslucentProgressBar::Render(ITranslucentCanvas& canvas) const {
    const TRect& r = rect();
    if (HasImage(kBackground)) canvas.DrawImage(ImageAt(kBackground), {0, 0, r.width, r.height}, r);
    const int bar = BarWidth();
    if (HasImage(kBar) && bar > 0) canvas.DrawImage(ImageAt(kBar), {0, 0, bar, r.height}, {r.x, r.y, bar, r.height});
    RenderCaption(canvas);
}

}  // namespace vx::ui
