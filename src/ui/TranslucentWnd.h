#pragma once
// Translucent child controls: models that draw themselves onto their host's one surface with
// per-pixel alpha. Images are handles the host's canvas resolves; the models only choose them.
#include <array>
#include <functional>
#include <string>

namespace vx::ui {

struct TRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool Contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
    bool operator==(const TRect&) const = default;
};

/// What a translucent control draws onto: the host's surface.
class ITranslucentCanvas {
public:
    virtual ~ITranslucentCanvas() = default;
    /// Draws the part `source` of image `image` (all of it when `source` is empty) into
    /// `target`, scaled to fit.
    virtual void DrawImage(int image, TRect source, TRect target) = 0;
    /// Draws the host's face into `target`, its corners and edges kept unscaled.
    virtual void DrawFace(int image, TRect target) = 0;
    virtual void DrawCaption(const std::string& text, TRect target) = 0;
};

/// Through this the children ask their host to redraw the whole surface.
class IRenderListener {
public:
    virtual ~IRenderListener() = default;
    virtual void UpdateView() = 0;
};

class CTranslucentWnd {
public:
    static constexpr int kMaxImages = 5;
    static constexpr int kNoImage = -1;

    CTranslucentWnd(TRect rect, bool visible, bool disabled) : rect_(rect), visible_(visible), disabled_(disabled) {}
    virtual ~CTranslucentWnd() = default;
    CTranslucentWnd(const CTranslucentWnd&) = delete;
    CTranslucentWnd& operator=(const CTranslucentWnd&) = delete;

    void SetRenderListener(IRenderListener* listener) { listener_ = listener; }
    /// Sets state image `index` (out-of-range indices are ignored); kNoImage removes it.
    void SetImage(int index, int image);
    bool HasImage(int index) const { return ImageAt(index) != kNoImage; }
    int ImageAt(int index) const { return index >= 0 && index < kMaxImages ? images_[index] : kNoImage; }
    /// The handle of the image now shown, kNoImage when none.
    int selectedImage() const { return ImageAt(selected_); }

    void ShowWindow(bool visible);
    void EnableWindow(bool enabled);
    bool IsVisible() const { return visible_; }
    bool IsDisabled() const { return disabled_; }
    const TRect& rect() const { return rect_; }
    void SetCaption(std::string caption);
    const std::string& caption() const { return caption_; }

    virtual void Render(ITranslucentCanvas& canvas) const = 0;
    // Mouse input in host coordinates; only buttons react.
    virtual void OnMouseMove(bool /*inside*/) {}
    virtual void OnMousePress() {}
    virtual void OnMouseRelease(bool /*inside*/) {}

protected:
    /// Shows state image `index`; the host redraws only when the shown image changes.
    void Select(int index);
    void RequestRedraw() const {
        if (listener_) listener_->UpdateView();
    }
    void RenderCaption(ITranslucentCanvas& canvas) const {
        if (!caption_.empty()) canvas.DrawCaption(caption_, rect_);
    }
    virtual void UpdateState() {}

private:
    TRect rect_;
    bool visible_;
    bool disabled_;
    std::array<int, kMaxImages> images_{kNoImage, kNoImage, kNoImage, kNoImage, kNoImage};
    int selected_ = 0;
    std::string caption_;
    IRenderListener* listener_ = nullptr;
};

class CTranslucentButton final : public CTranslucentWnd {
public:
    enum Image { kNormal = 0, kDisabled = 1, kHover = 2, kPressed = 3, kChecked = 4 };
    /// Button styles that toggle their check on a release inside: check boxes and radio buttons.
    static bool Toggles(int style) { return style == 2 || style == 3 || style == 4 || style == 9; }

    CTranslucentButton(TRect rect, int style, bool visible = true, bool disabled = false)
        : CTranslucentWnd(rect, visible, disabled), style_(style) {}

    /// Called with every release inside the button, after its state is updated.
    void SetOnClick(std::function<void()> onClick) { onClick_ = std::move(onClick); }
    void SetCheck(bool checked);
    bool IsChecked() const { return checked_; }
    bool IsHovered() const { return hover_; }
    bool IsPressed() const { return pressed_; }

    void UpdateState() override;
    void Render(ITranslucentCanvas& canvas) const override;
    void OnMouseMove(bool inside) override;
    void OnMousePress() override;
    void OnMouseRelease(bool inside) override;

private:
    int style_;
    bool hover_ = false;
    bool pressed_ = false;
    bool checked_ = false;
    std::function<void()> onClick_;
};

class CTranslucentProgressBar final : public CTranslucentWnd {
public:
    enum Image { kBackground = 0, kBar = 1 };
    explicit CTranslucentProgressBar(TRect rect, bool visible = true) : CTranslucentWnd(rect, visible, false) {}

    void SetRange(int minimum, int maximum);
    void SetPos(int position);
    int pos() const { return position_; }
    /// position ÷ (maximum − minimum), held to [0, 1]; 0 for an empty or reversed range.
    double Fraction() const;
    /// The bar's width in pixels: the control's width × Fraction(), truncated.
    int BarWidth() const;
    void Render(ITranslucentCanvas& canvas) const override;

private:
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
};

}  // namespace vx::ui
