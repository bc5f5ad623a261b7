// The translucent host and its controls: which state image shows, when the host redraws, and
// what lands on the surface in which order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/TranslucentDialog.h"

namespace vx::ui {
namespace {

struct RecordingCanvas final : ITranslucentCanvas {
    std::vector<std::string> calls;
    void DrawImage(int image, TRect source, TRect target) override {
        calls.push_back("image " + std::to_string(image) + " " + Text(source) + " -> " + Text(target));
    }
    void DrawFace(int image, TRect target) override {
        calls.push_back("face " + std::to_string(image) + " " + Text(target));
    }
    void DrawCaption(const std::string& text, TRect target) override {
        calls.push_back("caption " + text + " " + Text(target));
    }
    static std::string Text(TRect r) {
        return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "x" +
               std::to_string(r.height);
    }
};

constexpr TRect kButtonRect{10, 20, 30, 15};

// Images 100 + index for the indices listed in `images`.
CTranslucentButton& AddButton(CTranslucentDialog& host, int style, std::vector<int> images) {
    auto& button = host.Add(std::make_unique<CTranslucentButton>(kButtonRect, style));
    for (int index : images) button.SetImage(index, 100 + index);
    return button;
}

TEST(TranslucentButtonTest, TheFirstApplicableRuleChoosesTheImageAndAMissingOneFallsBackToNormal) {
    struct Case {
        const char* name;
        bool hover, pressed, disabled, checked;
        std::vector<int> images;
        int shown;
    };
    const std::vector<Case> cases = {
        {"hovered and pressed", true, true, false, true, {0, 1, 2, 3, 4}, 103},
        {"pressed without a pressed image", true, true, false, false, {0, 2}, 100},
        {"hovered", true, false, true, true, {0, 1, 2, 4}, 102},
        {"hovered without a hover image", true, false, false, false, {0, 3}, 100},
        {"disabled", false, false, true, true, {0, 1, 4}, 101},
        {"disabled without a disabled image", false, false, true, false, {0}, 100},
        {"plain", false, false, false, false, {0, 4}, 100},
        {"checked", false, false, false, true, {0, 4}, 104},
        {"checked without a checked image", false, false, false, true, {0}, 100},
        {"no images at all", true, false, false, false, {}, CTranslucentWnd::kNoImage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTranslucentDialog host(CTranslucentWnd::kNoImage, {0, 0, 100, 60});
        auto& button = AddButton(host, 0, c.images);
        button.SetCheck(c.checked);
        if (c.hover) button.OnMouseMove(true);
        if (c.pressed) button.OnMousePress();
        button.EnableWindow(!c.disabled);
        EXPECT_EQ(button.selectedImage(), c.shown);
    }
}

TEST(TranslucentButtonTest, ReleaseInsideTogglesCheckStylesAndClearsOthersReleaseOutsideDropsHover) {
    struct Case {
        int style;
        bool inside;
        bool checkedAfterTwo;  // after two press-release pairs, starting unchecked
        bool hoverAfter;
        int clicks;
    };
    const std::vector<Case> cases = {
        {2, true, false, true, 2},  {3, true, false, true, 2}, {4, true, false, true, 2},
        {9, true, false, true, 2},  {0, true, false, true, 2}, {2, false, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("style " + std::to_string(c.style) + (c.inside ? " inside" : " outside"));
        CTranslucentDialog host(CTranslucentWnd::kNoImage, {0, 0, 100, 60});
        auto& button = AddButton(host, c.style, {0, 2, 3, 4});
        int clicks = 0;
        button.SetOnClick([&] { ++clicks; });
        const int x = c.inside ? 15 : 90;
        host.OnMouseMove(15, 25);
        host.OnMousePress(15, 25);
        EXPECT_EQ(button.selectedImage(), 103);
        host.OnMouseRelease(x, 25);
        EXPECT_FALSE(button.IsPressed());
        EXPECT_EQ(button.IsChecked(), c.inside && CTranslucentButton::Toggles(c.style));
        EXPECT_EQ(button.IsHovered(), c.hoverAfter);
        host.OnMouseMove(15, 25);
        host.OnMousePress(15, 25);
        host.OnMouseRelease(x, 25);
        EXPECT_EQ(button.IsChecked(), c.checkedAfterTwo);
        EXPECT_EQ(clicks, c.clicks);
    }
    // A push button that was checked is cleared by a release inside.
    CTranslucentDialog host(CTranslucentWnd::kNoImage, {0, 0, 100, 60});
    auto& push = AddButton(host, 0, {0});
    push.SetCheck(true);
    host.OnMousePress(15, 25);
    host.OnMouseRelease(15, 25);
    EXPECT_FALSE(push.IsChecked());
}

TEST(TranslucentButtonTest, TheHostRedrawsOnlyWhenTheShownImageChanges) {
    CTranslucentDialog host(CTranslucentWnd::kNoImage, {0, 0, 100, 60});
    int presented = 0;
    host.SetPresenter([&] { ++presented; });
    auto& withHover = AddButton(host, 0, {0, 2});
    auto& withoutHover = AddButton(host, 0, {0});
    presented = 0;
    const int updatesBefore = host.viewUpdates();
    withoutHover.OnMouseMove(true);  // normal image stays
    withoutHover.OnMousePress();
    EXPECT_EQ(presented, 0);
    withHover.OnMouseMove(true);
    EXPECT_EQ(presented, 1);
    withHover.OnMouseMove(true);
    withHover.SetCheck(false);
    EXPECT_EQ(presented, 1);
    withHover.OnMouseMove(false);
    EXPECT_EQ(presented, 2);
    EXPECT_EQ(host.viewUpdates() - updatesBefore, presented);
}

TEST(TranslucentDialogTest, RendersTheFaceThenVisibleChildrenInListOrder) {
    CTranslucentDialog host(7, {0, 0, 200, 120});
    auto& first = AddButton(host, 0, {0});
    first.SetCaption("Apply");
    auto& hidden = host.Add(std::make_unique<CTranslucentButton>(TRect{0, 0, 5, 5}, 0, false));
    hidden.SetImage(0, 55);
    auto& bar = host.Add(std::make_unique<CTranslucentProgressBar>(TRect{20, 90, 100, 8}));
    bar.SetImage(CTranslucentProgressBar::kBackground, 8);
    bar.SetImage(CTranslucentProgressBar::kBar, 9);
    bar.SetPos(25);
    RecordingCanvas canvas;
    host.Render(canvas);
    EXPECT_EQ(canvas.calls, (std::vector<std::string>{
                                "face 7 0,0,200x120",
                                "image 100 0,0,0x0 -> 10,20,30x15",
                                "caption Apply 10,20,30x15",
                                "image 8 0,0,100x8 -> 20,90,100x8",
                                "image 9 0,0,25x8 -> 20,90,25x8",
                            }));
}

TEST(TranslucentProgressBarTest, FractionAndBarWidthStayWithinTheControl) {
    struct Case {
        int minimum, maximum, position;
        double fraction;
        int width;
    };
    const std::vector<Case> cases = {
        {0, 100, 0, 0.0, 0},      {0, 100, 100, 1.0, 200},  {0, 100, 33, 0.33, 66},
        {0, 3, 1, 1.0 / 3, 66},   {0, 100, 150, 1.0, 200},  {0, 100, -5, 0.0, 0},
        {50, 50, 10, 0.0, 0},     {100, 0, 10, 0.0, 0},     {10, 110, 100, 1.0, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.minimum) + ".." + std::to_string(c.maximum) + " at " + std::to_string(c.position));
        CTranslucentProgressBar bar({0, 0, 200, 10});
        bar.SetRange(c.minimum, c.maximum);
        bar.SetPos(c.position);
        EXPECT_DOUBLE_EQ(bar.Fraction(), c.fraction);
        EXPECT_EQ(bar.BarWidth(), c.width);
    }
}

}  // namespace
}  // namespace vx::ui
