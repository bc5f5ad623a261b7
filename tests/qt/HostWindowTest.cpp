// The host window renders what the shell found, and the Qt event loop delivers posted work
// and timers on the interface thread.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include <thread>

#include "qt/HostWindow.h"
#include "qt/QtEventLoop.h"
#include "qt/QtTestApp.h"

namespace vx::test {
namespace {

QStringList LabelTexts(const QWidget& window) {
    QStringList texts;
    for (const QLabel* label : window.findChildren<QLabel*>()) texts << label->text();
    return texts;
}

app::SystemSummary TwoGpus() {
    app::SystemSummary summary;
    summary.driverVersionText = "410.91";
    summary.dedicatedMemoryMb = 8192;
    summary.gpus = {{0, "GeForce GTX 1070 Ti", "1b82"}, {1, "GeForce GTX 770", "1184"}};
    return summary;
}

TEST(HostWindowTest, ShowsCaptionDriverAndEveryGpu) {
    QtTestApp();
    qt::HostWindow window(TwoGpus());
    EXPECT_EQ(window.windowTitle(), "Veltrix Plus");
    const QStringList texts = LabelTexts(window);
    EXPECT_TRUE(texts.contains("410.91"));
    EXPECT_TRUE(texts.contains("GPU0  GeForce GTX 1070 Ti"));
    EXPECT_TRUE(texts.contains("GPU1  GeForce GTX 770"));
    EXPECT_TRUE(texts.contains("1b82"));
    EXPECT_TRUE(texts.contains("1184"));
    EXPECT_TRUE(texts.contains("8192 MB"));
}

TEST(HostWindowTest, NoGpuFoundSaysSoInsteadOfAnEmptyWindow) {
    QtTestApp();
    qt::HostWindow window(app::SystemSummary{});
    EXPECT_TRUE(LabelTexts(window).contains(
        "Initiate hardware failed!\nPlease confirm NVidia driver has been installed correctly!"));
}

TEST(HostWindowTest, WithoutATrayTheWindowStaysReachableAndCloseQuits) {
    QtTestApp();
    qt::HostWindow window(TwoGpus());
    ASSERT_FALSE(window.HasTrayIcon()) << "the offscreen platform has no tray";
    EXPECT_FALSE(window.StartInTray());
    int quits = 0;
    QObject::connect(&window, &qt::HostWindow::quitRequested, [&] { ++quits; });
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->text() == QString::fromUtf8("×")) button->click();
    EXPECT_EQ(quits, 1);
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
