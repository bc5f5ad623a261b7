// The display tools' windows over their controllers and the simulated rig: the widgets show
// the models, the countdown window follows its controller, and closing reverts a trial.
// With VX_SCREENSHOT_DIR set, the dialogs are also saved there as pictures.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include <cstdlib>

#include "display/DisplayFixture.h"
#include "qt/DisplayToolWindows.h"
#include "qt/QtTestApp.h"
#include "support/ScriptedPrompts.h"

namespace vx::displaytest {
namespace {

void Keep(QWidget& widget, const char* name) {
    if (const char* dir = std::getenv("VX_SCREENSHOT_DIR")) widget.grab().save(QString(dir) + "/" + name);
}

class DisplayToolWindows : public DisplayRig {
protected:
    DisplayToolWindows() { test::QtTestApp(); }
};

TEST_F(DisplayToolWindows, PixelClockWindowShowsAndDrivesItsController) {
    Start({Monitor(), PanelDevice(2)});
    display::CPixelClockDlg dialog(*binding, loop, display::TrialMarker({}), {});
    qt::PixelClockWindow window(dialog);
    EXPECT_EQ(window.windowTitle(), "PIXEL CLOCK OC");
    EXPECT_EQ(window.findChild<QLabel*>("pixelClock")->text(), "Pixel Clock 148.5 MHz");
    EXPECT_EQ(window.findChild<QComboBox*>()->count(), 2);
    window.findChild<QSlider*>()->setValue(1782);
    EXPECT_EQ(window.findChild<QLabel*>("refresh")->text(), "Refresh Rate 72.00 Hz");
    window.show();
    Keep(window, "pixel-clock.png");

    dialog.OnApply();  // no confirmation window here: the trial waits for its answer
    ASSERT_TRUE(dialog.confirmation() && dialog.confirmation()->isOpen());
    window.reject();
    EXPECT_EQ(DisplayNow().pixelClock10kHz, 14850u) << "closing the window reverts";
}

TEST_F(DisplayToolWindows, CountdownWindowFollowsItsController) {
    Start({Monitor()});
    int closed = 0;
    display::CPixelMessageDlg countdown(loop, [&closed] { ++closed; });
    countdown.OnInitDialog();
    qt::PixelMessageWindow window(countdown);
    window.show();
    loop.RunFor(3000);
    window.Render();
    EXPECT_EQ(window.findChild<QLabel*>("countdown")->text(), "Cancel after 8 seconds.");
    Keep(window, "pixel-clock-countdown.png");
    loop.RunFor(7000);
    window.Render();
    EXPECT_FALSE(window.isVisible()) << "the countdown closed it";
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(display::keepCustomTiming, 0);
}

TEST_F(DisplayToolWindows, ViewerWindowShowsTheDevice) {
    Start({Monitor(), PanelDevice(2)});
    display::DisplayViewer viewer(*binding, clock);
    test::ScriptedPrompts prompts;
    display::CViewDlg dialog(viewer, prompts);
    qt::ViewWindow window(dialog);
    EXPECT_EQ(window.windowTitle(), "TLX Series Setting");
    EXPECT_EQ(window.findChild<QLabel*>("status")->text(), "FirmWare Version:TLX2-1.04.7");
    window.show();
    Keep(window, "tlx-series-setting.png");
}

}  // namespace
}  // namespace vx::displaytest
