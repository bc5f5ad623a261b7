#pragma once
// A translucent host: its face image, then its visible translucent children in the order they
// were added, all drawn onto one surface with per-pixel alpha that the window shows as it is.
#include <functional>
#include <memory>
#include <vector>

#include "ui/TranslucentWnd.h"

namespace vx::ui {

class CTranslucentDialog final : public IRenderListener {
public:
    /// `face` is the face image's handle, `size` its width and height (x and y unused).
    CTranslucentDialog(int face, TRect size) : face_(face), size_(size) {}

    /// Called by UpdateView: the window takes the surface again (schedules a repaint).
    void SetPresenter(std::function<void()> presenter) { presenter_ = std::move(presenter); }
    /// Takes `child` into the list, after those added before; returns it.
    template <class Wnd>
    Wnd& Add(std::unique_ptr<Wnd> child) {
        Wnd& added = *child;
        added.SetRenderListener(this);
        children_.push_back(std::move(child));
        UpdateView();
        return added;
    }
    /// The surface's size: the face's, or the window's when it is stretched to fit content.
    void Resize(int width, int height);
    TRect size() const { return size_; }

    void UpdateView() override;
    int viewUpdates() const { return viewUpdates_; }
    /// The face, then each visible child in list order.
    void Render(ITranslucentCanvas& canvas) const;

    // Mouse input in host coordinates. A press captures the child under it; the release goes
    // to that child, inside or outside, as to a window holding the mouse capture.
    void OnMouseMove(int x, int y);
    void OnMousePress(int x, int y);
    void OnMouseRelease(int x, int y);
    /// The pointer left the window: no child stays hovered.
    void OnMouseLeave();

private:
    CTranslucentWnd* ChildAt(int x, int y) const;

    int face_;
    TRect size_;
    std::vector<std::unique_ptr<CTranslucentWnd>> children_;
    CTranslucentWnd* captured_ = nullptr;
    std::function<void()> presenter_;
    int viewUpdates_ = 0;
};

}  // namespace vx::ui
