// The history charts' windows over a simulated rig: the monitor window's menu, its rebuild from
// the process-wide history, a stored period of 0, the settings' period reaching every chart,
// the main window's charts, and the desktop opener started without a shell.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QMenu>

#include <chrono>
#include <cstdlib>
#include <set>
#include <fstream>
#include <thread>

#include "monitor/MonitorFixture.h"
#include "qt/CDlg_Monitor.h"
#include "qt/ChartsHost.h"
#include "qt/HostWindow.h"
#include "qt/CurveChartView.h"
#include "qt/MainWindow.h"
#include "qt/QtFileOpener.h"
#include "qt/QtTestApp.h"
#include "support/TempDir.h"

namespace vx::monitortest {
namespace {

using monitor::kChartSeries;

QAction* SeriesItem(QMenu& menu, int series) {
    for (QAction* item : menu.actions().front()->menu()->actions())
        if (item->data().toUInt() == monitor::kSeries[static_cast<std::size_t>(series)].menuCommand) return item;
    return nullptr;
}

class MonitorWindowTest : public MonitorFixture {
protected:
    MonitorWindowTest() { test::QtTestApp(); }
    ~MonitorWindowTest() override { charts.reset(); }

    void StartCharts() {
        StartMonitor(SteadyRig({tuningtest::kPascalId, tuningtest::kKeplerId}));
        Samples(1);  // live values, so the series they feed are available
        charts = std::make_unique<qt::ChartsHost>(
            qt::ChartsContext{dlg(), settings, loop, clock, prompts, nullptr, folder.path()});
        charts->Start();
    }
    qt::CDlg_Monitor& window() { return *charts->monitorWindow(); }
    // The window takes its background's outline: rounded corners, the left column trimmed.
    void ExpectShapedToItsSize() {
        const QRegion mask = window().mask();
        const int w = window().width(), h = window().height();
        EXPECT_TRUE(mask.contains(QPoint(1, h / 2)) && mask.contains(QPoint(w - 2, h / 2)));
        EXPECT_FALSE(mask.contains(QPoint(0, h / 2)));
        EXPECT_FALSE(mask.contains(QPoint(1, 1)) || mask.contains(QPoint(w - 2, h - 2)));
        EXPECT_TRUE(mask.contains(QPoint(w / 2, h - 3)));
        EXPECT_LE(mask.boundingRect().bottom(), h - 1);
    }

    test::TempDir folder;
    std::unique_ptr<qt::ChartsHost> charts;
};

TEST_F(MonitorWindowTest, SeriesToggleRebuildsFromTheSharedHistoryAndStoredZeroStops) {
    StartCharts();
    charts->OpenMonitor();
    loop.RunPending();  // the sample at once
    loop.RunFor(3000);  // then three more
    ASSERT_EQ(window().chart().queue(1, monitor::kGpuClock).Count(), 4);
    ExpectShapedToItsSize();
    EXPECT_EQ(window().chart().Curve(1, monitor::kGpuClock, window().width(), window().height()).size(), 4u);

    auto menu = window().BuildMenu();
    ASSERT_EQ(menu->actions().front()->menu()->actions().size(), static_cast<qsizetype>(kChartSeries));
    EXPECT_FALSE(SeriesItem(*menu, monitor::kPower)->isEnabled());  // no GPU reports board power
    EXPECT_FALSE(SeriesItem(*menu, monitor::kPower)->isChecked());
    QAction* temperature = SeriesItem(*menu, monitor::kTemperature);
    ASSERT_TRUE(temperature->isEnabled() && temperature->isChecked());
    const int shownBefore = window().chart().enabledCount();
    const qt::CDlg_Monitor* before = charts->monitorWindow();
    temperature->trigger();
    QCoreApplication::processEvents();  // message 2024 is posted

    ASSERT_NE(charts->monitorWindow(), before);
    EXPECT_FALSE(window().chart().enabled(monitor::kTemperature));
    EXPECT_EQ(window().chart().enabledCount(), shownBefore - 1);
    EXPECT_EQ(window().height(), 90 * (shownBefore - 1) + 5);
    ExpectShapedToItsSize();
    for (int g = 0; g < 2; ++g) EXPECT_EQ(window().chart().queue(g, monitor::kGpuClock).Count(), 4) << g;

    // A stored 0 stops the rebuilt chart and empties it; the shared history stays.
    settings.samplingPeriod = 0;
    SeriesItem(*window().BuildMenu(), monitor::kTemperature)->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window().chart().enabled(monitor::kTemperature));
    EXPECT_FALSE(window().chart().sampling());
    EXPECT_EQ(window().chart().queue(0, monitor::kGpuClock).Count(), 0);
    EXPECT_EQ(charts->history().queues[0][monitor::kGpuClock].Count(), 4);
    charts->OnMonitorMessage(0);
    EXPECT_EQ(charts->history().queues[0][monitor::kGpuClock].Count(), 0);
}

TEST_F(MonitorWindowTest, SettingsPeriodReachesEveryChartAndMainWindowTakesThem) {
    StartCharts();
    charts->OpenMonitor();
    charts->SetSamplingInterval(3000);
    std::vector<const monitor::CurveChart*> all{&charts->largeChart(), &window().chart()};
    for (std::size_t slot = 0; slot < 4; ++slot) all.push_back(&charts->smallChart(slot));
    for (const monitor::CurveChart* chart : all) {
        EXPECT_EQ(chart->samplingPeriodMs(), 3000u);
        EXPECT_TRUE(chart->sampling());
    }
    loop.RunPending();  // one sample for the start or opening, one for the new period
    loop.RunFor(6000);
    for (const monitor::CurveChart* chart : all) EXPECT_EQ(chart->queue(0, chart->enabledSeries().front()).Count(), 4);

    qt::MainWindow view(dlg(), {});
    view.AttachCharts(*charts);
    EXPECT_EQ(charts->TakeLargeView()->window(), &view);
    for (std::size_t slot = 0; slot < 4; ++slot) EXPECT_EQ(charts->TakeSmallView(slot)->window(), &view) << slot;
}

// Colours of the pixels of `image` (a grab).
std::set<QRgb> Colours(const QImage& image) {
    std::set<QRgb> colours;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) colours.insert(rgb.pixel(x, y) & 0xFFFFFF);
    return colours;
}

TEST_F(MonitorWindowTest, AMinuteOnTheDemoRigDrawsBothGpusCurves) {
    StartMonitor(DemoRig());
    Samples(1);
    charts = std::make_unique<qt::ChartsHost>(qt::ChartsContext{dlg(), settings, loop, clock, prompts, nullptr, folder.path()});
    charts->Start();
    qt::HostWindow host;
    auto* view = new qt::MainWindow(dlg(), qt::ReadGpuIdentities(dlg()));
    host.SetContent(view);
    view->AttachSampler(sampler());
    view->AttachCharts(*charts);
    dlg().ShowPage(tuning::kPageMonitor);
    view->Render();
    charts->OpenMonitor();
    loop.RunFor(60000);
    view->SampleTaken();

    const QImage monitor = window().grab().toImage();
    const QImage main = host.grab().toImage();
    for (const QImage* image : {&monitor, &main}) {
        const auto colours = Colours(*image);
        EXPECT_TRUE(colours.count(0x00FF00)) << "GPU 1's green curve";
        EXPECT_TRUE(colours.count(0xFFFF00)) << "GPU 2's yellow curve";
    }
    // VX_SCREENSHOT_DIR keeps the pictures for the documentation.
    if (const char* dir = std::getenv("VX_SCREENSHOT_DIR")) {
        monitor.save(QString(dir) + "/monitor-window.png");
        main.save(QString(dir) + "/page-5-monitor.png");
    }
}

TEST(QtFileOpenerTest, PathReachesTheOpenerAsOneArgumentWithoutAShell) {
    test::QtTestApp();
    test::TempDir folder;
    const std::filesystem::path opener = folder / "opener";
    std::ofstream(opener) << "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened.tmp\"\n"
                             "mv \"$(dirname \"$0\")/opened.tmp\" \"$(dirname \"$0\")/opened\"\n";
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    const std::filesystem::path log = folder / "Monitor Save; $(touch pwned) 'x'.csv";
    qt::QtFileOpener files(QString::fromStdString(opener.string()));
    ASSERT_TRUE(files.OpenWithDefaultApplication(log));
    for (int i = 0; i < 500 && !std::filesystem::exists(folder / "opened"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(folder / "opened");
    const std::string received{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(received, log.string());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::current_path() / "pwned"));
    EXPECT_FALSE(qt::QtFileOpener((folder / "missing").string().c_str()).OpenWithDefaultApplication(log));
}

}  // namespace
}  // namespace vx::monitortest
