// The host window keeps the main window reachable, and the Qt event loop delivers posted work
// and timers on the interface thread.
#include <gtest/gtest.h>

#include <QPushButton>

#include <thread>

#include "qt/HostWindow.h"
#include "qt/QtEventLoop.h"
#include "qt/QtTestApp.h"

namespace vx::test {
namespace {

TEST(HostWindowTest, WithoutATrayCloseQuitsAndHideMinimizesSoTheWindowStaysReachable) {
    QtTestApp();
    qt::HostWindow window;
    EXPECT_EQ(window.windowTitle(), "Veltrix Plus");
    ASSERT_FALSE(window.HasTrayIcon()) << "the offscreen platform has no tray";
    int quits = 0, hides = 0;
    QObject::connect(&window, &qt::HostWindow::quitRequested, [&] { ++quits; });
    QObject::connect(&window, &qt::HostWindow::hideRequested, [&] { ++hides; });
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->text() == QString::fromUtf8("×")) button->click();
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(hides, 0);

    window.show();
    window.ShowOrHide(false);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());
    window.ShowOrHide(true);
    EXPECT_FALSE(window.isMinimized());
}

TEST(QtEventLoopTest, PostedWorkRunsOnTheInterfaceThread) {
    QtTestApp();
    qt::QtEventLoop loop;
    std::thread::id ranOn;
    std::thread worker([&] { loop.Post([&] { ranOn = std::this_thread::get_id(); }); });
    worker.join();
    ASSERT_TRUE(ProcessEventsUntil([&] { return ranOn != std::thread::id(); }));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(QtEventLoopTest, TimersRepeatUntilKilled) {
    QtTestApp();
    qt::QtEventLoop loop;
    int ticks = 0;
    loop.SetTimer(32, 1, [&] { ++ticks; });
    ASSERT_TRUE(ProcessEventsUntil([&] { return ticks >= 3; }));
    loop.KillTimer(32);
    const int atKill = ticks;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(ticks, atKill);
}

}  // namespace
}  // namespace vx::test
