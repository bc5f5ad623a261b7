#pragma once
// Owns every history chart of the process: the main window's CCVCurves and four CTCVCurves,
// the monitor window (built on demand, rebuilt when its series change), the process-wide
// history that survives the rebuilds, and the monitor log.
#include <QObject>
#include <QPointer>

#include <array>
#include <filesystem>
#include <memory>
#include <optional>

#include "monitor/ChartSetup.h"
#include "monitor/CurveChart.h"
#include "monitor/MonitorLog.h"

namespace vx::app {
struct AppSettings;
}
namespace vx::platform {
class FileOpener;
}
namespace vx::ui {
class IPrompts;
}

namespace vx::qt {

class CDlg_Monitor;
class CurveChartView;

struct ChartsContext {
    tuning::CCorvaneHDDlg& dialog;
    const app::AppSettings& settings;
    ui::IEventLoop& loop;
    ui::IClock& clock;
    ui::IPrompts& prompts;
    platform::FileOpener* opener;  // may be null
    std::filesystem::path programFolder;
};

class ChartsHost final : public QObject {
    Q_OBJECT
public:
    /// Series of the four small main-window charts, in order.
    static constexpr std::array<int, 4> kSmallSeries{monitor::kGpuClock, monitor::kMemoryClock, monitor::kFanPercent,
                                                     monitor::kVoltage};
    static constexpr int kLargeSeries = monitor::kTemperature;

    explicit ChartsHost(ChartsContext context);
    ~ChartsHost() override;

    /// Sets up the main-window charts and starts them with the stored period.
    void Start();
    /// The settings dialog's OK: every chart samples every `ms` (0 stops and empties them).
    void SetSamplingInterval(uint32_t ms);
    /// Shows the monitor window, building it on first use.
    void OpenMonitor();
    /// Message 2024: 0 clears the process-wide history; anything else rebuilds the monitor
    /// window with the current series and refills it from that history.
    void OnMonitorMessage(int parameter);
    /// A series' check item in the monitor window's menu.
    void ToggleSeries(int series);

    CDlg_Monitor* monitorWindow() const;
    monitor::ChartHistory& history() { return history_; }
    monitor::MonitorLog& log() { return log_; }
    monitor::CCVCurves& largeChart() { return *large_; }
    monitor::CTCVCurves& smallChart(std::size_t slot) { return *small_.at(slot); }
    /// Views of the main-window charts; the main window takes them into its layout.
    CurveChartView* TakeLargeView();
    CurveChartView* TakeSmallView(std::size_t slot);

private:
    void BuildMonitor(bool refill);
    const std::array<monitor::SeriesRange, monitor::kChartSeries>& Ranges();

    ChartsContext context_;
    monitor::ChartHistory history_;
    monitor::MonitorLog log_;
    std::unique_ptr<monitor::CCVCurves> large_;
    std::array<std::unique_ptr<monitor::CTCVCurves>, 4> small_;
    QPointer<CurveChartView> largeView_;
    std::array<QPointer<CurveChartView>, 4> smallViews_;
    QPointer<CDlg_Monitor> monitor_;
    std::optional<std::array<monitor::SeriesRange, monitor::kChartSeries>> ranges_;
};

}  // namespace vx::qt
