// The host window keeps the main window reachable and shows its face with per-pixel alpha; its
// translucent controls land on one ARGB surface; the Qt event loop delivers posted work and
// timers on the interface thread.
#include <gtest/gtest.h>

#include <QPushButton>

#include <thread>

#include "qt/HostWindow.h"
#include "qt/QtEventLoop.h"
#include "qt/QtTestApp.h"
#include "qt/WaitProgressWindow.h"

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

QImage Solid(QColor colour, int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

TEST(HostWindowTest, TheFaceIsOpaqueInsideAndClearAtTheCornersWithSoftEdgesBetween) {
    QtTestApp();
    qt::HostWindow window;
    window.resize(400, 300);
    window.show();
    const QImage surface = window.Surface();
    ASSERT_EQ(surface.size(), QSize(400, 300));
    EXPECT_EQ(qAlpha(surface.pixel(0, 0)), 0) << "the desktop shows past the rounded corner";
    EXPECT_EQ(qAlpha(surface.pixel(399, 299)), 0);
    const int inside = qAlpha(surface.pixel(200, 150));
    EXPECT_GT(inside, 200);
    EXPECT_LT(inside, 255) << "the panel itself lets a little of the desktop through";
    const int shadow = qAlpha(surface.pixel(200, 296));
    EXPECT_GT(shadow, 0);
    EXPECT_LT(shadow, 80);
}

// A 60 × 20 surface: a half-transparent grey face, a button at the left and a bar at the right.
TEST(TranslucentWindowTest, ButtonsShowTheirChosenImageAndTheBarCoversItsFraction) {
    QtTestApp();
    qt::TranslucentWindow window(Solid(QColor(128, 128, 128, 128), 60, 20));
    ui::CTranslucentDialog& host = window.dialog();
    auto& button = host.Add(std::make_unique<ui::CTranslucentButton>(ui::TRect{0, 0, 20, 20}, 2));
    button.SetImage(ui::CTranslucentButton::kNormal, window.AddImage(Solid(Qt::blue, 8, 8)));
    button.SetImage(ui::CTranslucentButton::kPressed, window.AddImage(Solid(Qt::green, 8, 8)));
    auto& bar = host.Add(std::make_unique<ui::CTranslucentProgressBar>(ui::TRect{30, 5, 30, 10}));
    bar.SetImage(ui::CTranslucentProgressBar::kBar, window.AddImage(Solid(Qt::red, 30, 10)));
    bar.SetRange(0, 10);

    host.OnMouseMove(5, 5);  // hovered, and there is no hover image
    QImage surface = window.Surface();
    EXPECT_EQ(surface.pixelColor(10, 10), QColor(Qt::blue));
    EXPECT_EQ(surface.pixelColor(59, 10).alpha(), 128) << "position 0 draws no bar";
    EXPECT_EQ(surface.pixelColor(30, 10).alpha(), 128);

    host.OnMousePress(5, 5);
    EXPECT_EQ(window.Surface().pixelColor(10, 10), QColor(Qt::green));
    host.OnMouseRelease(5, 5);
    EXPECT_TRUE(button.IsChecked());
    bar.SetPos(10);
    surface = window.Surface();
    EXPECT_EQ(surface.pixelColor(10, 10), QColor(Qt::blue));
    for (int x : {30, 45, 59}) EXPECT_EQ(surface.pixelColor(x, 10), QColor(Qt::red)) << x;
    bar.SetPos(5);
    surface = window.Surface();
    EXPECT_EQ(surface.pixelColor(44, 10), QColor(Qt::red));
    EXPECT_EQ(surface.pixelColor(45, 10).alpha(), 128);
}

TEST(WaitProgressWindowTest, ShownWhileTheWorkRunsAndGoneAfter) {
    QtTestApp();
    QWidget owner;
    qt::WaitProgressWindow wait(QString::fromUtf8("Applying…"), &owner);
    bool running = false;
    wait.Track([&] { return running; });
    EXPECT_FALSE(wait.isVisible()) << "work already over shows nothing";
    running = true;
    wait.Track([&] { return running; });
    EXPECT_TRUE(wait.isVisible());
    ASSERT_TRUE(ProcessEventsUntil([&] { return wait.bar().pos() >= 2; })) << "the bar moves while it waits";
    running = false;
    ASSERT_TRUE(ProcessEventsUntil([&] { return !wait.isVisible(); }));
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
