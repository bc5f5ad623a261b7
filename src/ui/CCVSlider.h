#pragma once
// Model of a skinned slider: an integer range and a position kept inside it.
#include <cstdint>
#include <string>
#include <utility>

namespace vx::ui {

class CCVSlider {
public:
    CCVSlider() = default;
    explicit CCVSlider(int id) : id_(id) {}

    /// Sets the range and pulls the position back into it. A reversed pair is put in order.
    void SetRange(int32_t minimum, int32_t maximum) {
        if (minimum > maximum) std::swap(minimum, maximum);
        min_ = minimum;
        max_ = maximum;
        SetPos(pos_);
    }
    /// Stores the position, clamped: above the maximum becomes the maximum, then below the
    /// minimum becomes the minimum.
    void SetPos(int32_t position) {
        if (position > max_) position = max_;
        if (position < min_) position = min_;
        pos_ = position;
    }
    int32_t GetPos() const { return pos_; }
    int32_t GetRangeMin() const { return min_; }
    int32_t GetRangeMax() const { return max_; }

    void EnableWindow(bool enabled) { enabled_ = enabled; }
    bool IsEnabled() const { return enabled_; }
    void ShowWindow(bool visible) { visible_ = visible; }
    bool IsVisible() const { return visible_; }
    int id() const { return id_; }

private:
    int id_ = 0;
    int32_t min_ = 0;
    int32_t max_ = 100;
    int32_t pos_ = 0;
    bool enabled_ = true;
    bool visible_ = true;
};

}  // namespace vx::ui
