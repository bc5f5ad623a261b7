#include "ui/TranslucentDialog.h"

namespace vx::ui {

void CTranslucentDialog::Resize(int width, int height) {
    if (size_.width == width && size_.height == height) return;
    size_.width = width;
    size_.height = height;
    UpdateView();
}

void CTranslucentDialog::UpdateView() {
    ++viewUpdates_;
    if (presenter_) presenter_();
}

void CTranslucentDialog::Render(ITranslucentCanvas& canvas) const {
    if (face_ != CTranslucentWnd::kNoImage) canvas.DrawFace(face_, {0, 0, size_.width, size_.height});
    for (const auto& child : children_)
        if (child->IsVisible()) child->Render(canvas);
}

CTranslucentWnd* CTranslucentDialog::ChildAt(int x, int y) const {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it)  // the last drawn lies on top
        if ((*it)->IsVisible() && (*it)->rect().Contains(x, y)) return it->get();
    return nullptr;
}

void CTranslucentDialog::OnMouseMove(int x, int y) {
    if (captured_) {
        captured_->OnMouseMove(captured_->rect().Contains(x, y));
        return;
    }
    const CTranslucentWnd* under = ChildAt(x, y);
    for (const auto& child : children_) child->OnMouseMove(child.get() == under);
}

void CTranslucentDialog::OnMousePress(int x, int y) {
    captured_ = ChildAt(x, y);
    if (captured_) captured_->OnMousePress();
}

void CTranslucentDialog::OnMouseRelease(int x, int y) {
    CTranslucentWnd* target = captured_;
    captured_ = nullptr;
    if (target) target->OnMouseRelease(target->rect().Contains(x, y));
}

void CTranslucentDialog::OnMouseLeave() {
    if (captured_) return;  // the capture holds until the release
    for (const auto& child : children_) child->OnMouseMove(false);
}

}  // namespace vx::ui
