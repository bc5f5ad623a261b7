// The advanced control window over its controller: the first open request builds and shows
// it, later ones show the same window without reading the hardware again; the widgets reach
// the controller and show its models.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "qt/AdvanceWindow.h"
#include "qt/HostWindow.h"
#include "qt/QtTestApp.h"
#include "qt/SkinnedSlider.h"
#include "tuning/TuningFixture.h"

namespace vx::tuningtest {
namespace {

class AdvanceWindowTest : public TuningFixture {
protected:
    AdvanceWindowTest() { test::QtTestApp(); }
    ~AdvanceWindowTest() override { host.reset(); }

    void OpenOver(sim::Rig rig) {
        StartDialog(std::move(rig));
        host = std::make_unique<qt::AdvanceDialogHost>(dlg(), loop);
        host->Open();
        ASSERT_NE(host->window(), nullptr);
    }
    template <class Widget>
    Widget* Find(const QString& name) {
        Widget* widget = host->window()->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QString LabelText(int controlId) {
        for (QLabel* label : host->window()->findChildren<QLabel*>())
            if (label->property("controlId").toInt() == controlId) return label->text();
        ADD_FAILURE() << "no label " << controlId;
        return {};
    }

    std::unique_ptr<qt::AdvanceDialogHost> host;
};

TEST_F(AdvanceWindowTest, SecondOpenRequestShowsTheExistingWindowWithoutRereading) {
    OpenOver(Pstates20Rig());
    qt::AdvanceWindow* first = host->window();
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->windowTitle(), "Advance Control");
    EXPECT_FALSE(first->testAttribute(Qt::WA_QuitOnClose)) << "closing it must not end the program";
    Find<qt::SkinnedSlider>("trackbar1077")->setValue(-30000);
    first->close();
    ASSERT_FALSE(first->isVisible());
    ClearCalls();

    host->Open();
    EXPECT_EQ(host->window(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(CallsTo(nvapi::GPU_PowerPoliciesGetInfo).empty());
    EXPECT_TRUE(CallsTo(nvapi::GPU_GetPstates20).empty());
    EXPECT_EQ(host->dialog()->controls.memoryOffset.GetPos(), -30000) << "what the user set is still there";
}

TEST_F(AdvanceWindowTest, TrackbarsAndButtonsReachTheControllerAndTheHardware) {
    OpenOver(Pstates20Rig());
    qt::AdvanceWindow* window = host->window();
    EXPECT_EQ(window->width(), 320);
    QPushButton* widen = Find<QPushButton>("button1025");
    ASSERT_TRUE(widen);
    EXPECT_EQ(widen->text(), ">>>");
    auto* voltage = Find<qt::SkinnedSlider>("trackbar1078");
    ASSERT_TRUE(voltage);
    EXPECT_FALSE(voltage->isVisible()) << "narrow: the trackbars are out of view";

    widen->click();
    EXPECT_EQ(widen->text(), "<<<");
    EXPECT_EQ(window->width(), 760);
    EXPECT_TRUE(voltage->isVisible());
    EXPECT_EQ(voltage->minimum(), -8);
    EXPECT_EQ(voltage->maximum(), 8);

    voltage->setValue(4);  // as a drag does
    EXPECT_EQ(LabelText(tuning::advance::kVoltageValue), "50000");
    Find<QPushButton>("button1108")->click();
    {
        std::lock_guard guard(simulator->mutex());
        EXPECT_EQ(rig().gpus[0].clocks.pstates[0].baseVoltages[0].deltaUv, 50000);
    }

    Find<qt::SkinnedSlider>("trackbar1076")->setValue(75000);
    Find<QPushButton>("button1106")->click();
    {
        std::lock_guard guard(simulator->mutex());
        EXPECT_EQ(rig().gpus[0].clocks.pstates[0].clocks[0].deltaKhz, 75000);
    }
    Find<QPushButton>("button1109")->click();
    EXPECT_EQ(voltage->value(), 0);
    EXPECT_EQ(LabelText(tuning::advance::kGraphicsValue), "0");

    widen->click();
    EXPECT_EQ(window->width(), 320);
    EXPECT_FALSE(voltage->isVisible());
}

TEST_F(AdvanceWindowTest, ReadingsShowOnTheTimer) {
    OpenOver(Pstates20Rig());
    QLineEdit* graphics = Find<QLineEdit>("box1044");
    ASSERT_TRUE(graphics);
    EXPECT_TRUE(graphics->text().isEmpty());
    loop.RunFor(tuning::advance::kReadingsIntervalMs);
    EXPECT_TRUE(graphics->text().endsWith("MHz")) << graphics->text().toStdString();
    EXPECT_EQ(LabelText(tuning::advance::kPowerTargetReading), "100000");
}

TEST(AdvanceWindowHostTest, TitleBarOpensTheAdvancedAndProfileWindows) {
    test::QtTestApp();
    qt::HostWindow window;
    int advanced = 0, profile = 0;
    QObject::connect(&window, &qt::HostWindow::advancedRequested, [&] { ++advanced; });
    QObject::connect(&window, &qt::HostWindow::profileRequested, [&] { ++profile; });
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == "Advanced") button->click();
        if (button->text() == "Profile") button->click();
    }
    EXPECT_EQ(advanced, 1);
    EXPECT_EQ(profile, 1);
}

}  // namespace
}  // namespace vx::tuningtest
