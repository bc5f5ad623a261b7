#pragma once
// Model of a skinned button: the image id shows its state; it may also be checked like a
// radio button and carry a caption and a tooltip.
#include <string>

namespace vx::ui {

class CCVButton {
public:
    CCVButton() = default;
    explicit CCVButton(int id, int imageId = 0) : id_(id), imageId_(imageId) {}

    void SetImage(int imageId) { imageId_ = imageId; }
    int imageId() const { return imageId_; }
    bool Shows(int imageId) const { return imageId_ == imageId; }

    void SetCheck(bool checked) { checked_ = checked; }
    bool IsChecked() const { return checked_; }
    void EnableWindow(bool enabled) { enabled_ = enabled; }
    bool IsEnabled() const { return enabled_; }
    void ShowWindow(bool visible) { visible_ = visible; }
    bool IsVisible() const { return visible_; }
    void SetCaption(std::string caption) { caption_ = std::move(caption); }
    const std::string& caption() const { return caption_; }
    void SetTooltip(std::string tooltip) { tooltip_ = std::move(tooltip); }
    const std::string& tooltip() const { return tooltip_; }
    int id() const { return id_; }

private:
    int id_ = 0;
    int imageId_ = 0;
    bool checked_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    std::string caption_;
    std::string tooltip_;
};

}  // namespace vx::ui
