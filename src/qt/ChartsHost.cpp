#include "qt/ChartsHost.h"

#include <QMetaObject>

#include "app/AppSettings.h"
#include "gpu/GpuAccess.h"
#include "qt/CDlg_Monitor.h"
#include "qt/CurveChartView.h"
#include "tuning/CCorvaneHDDlg.h"

namespace vx::qt {
namespace {

constexpr int32_t kLargePlotWidth = 480;
constexpr int32_t kSmallPlotWidth = 200;
constexpr int kMonitorRebuild = 1;

std::array<bool, monitor::kChartSeries> Only(int series) {
    std::array<bool, monitor::kChartSeries> shown{};
    shown[static_cast<std::size_t>(series)] = true;
    return shown;
}

}  // namespace

ChartsHost::ChartsHost(ChartsContext context)
    : context_(std::move(context)),
      log_(context_.programFolder, context_.clock, context_.prompts, context_.opener),
      large_(std::make_unique<monitor::CCVCurves>(context_.loop, context_.clock)) {
    for (std::size_t slot = 0; slot < small_.size(); ++slot)
        small_[slot] = std::make_unique<monitor::CTCVCurves>(context_.loop, context_.clock, static_cast<int>(slot));
    largeView_ = new CurveChartView(CurveChartView::Style::Strips);
    largeView_->SetChart(large_.get());
    large_->onSampled = [view = largeView_] {
        if (view) view->update();
    };
    for (std::size_t slot = 0; slot < small_.size(); ++slot) {
        smallViews_[slot] = new CurveChartView(CurveChartView::Style::Compact);
        smallViews_[slot]->SetChart(small_[slot].get());
        small_[slot]->onSampled = [view = smallViews_[slot]] {
            if (view) view->update();
        };
    }
}

ChartsHost::~ChartsHost() {
    delete monitor_;
    // Views not taken into a window are ours.
    for (auto& view : smallViews_)
        if (view && !view->parent()) delete view;
    if (largeView_ && !largeView_->parent()) delete largeView_;
    for (auto& view : smallViews_)
        if (view) view->SetChart(nullptr);
    if (largeView_) largeView_->SetChart(nullptr);
}

const std::array<monitor::SeriesRange, monitor::kChartSeries>& ChartsHost::Ranges() {
    // Read once: the limits do not change while the program runs, and a later read would wait
    // for an apply worker that holds the hardware.
    if (ranges_) return *ranges_;
    tuning::CCorvaneHDDlg& dialog = context_.dialog;
    std::vector<monitor::ClockDomainLimits> limits;
    auto hardware = dialog.LockHardware();
    for (int g = 0; g < dialog.gpuCount() && g < monitor::kChartGpus; ++g)
        limits.push_back(monitor::ReadClockDomainLimits(dialog.gpu(), g));
    ranges_ = monitor::ComputeSeriesRanges(limits);
    return *ranges_;
}

void ChartsHost::Start() {
    const auto& ranges = Ranges();
    monitor::SetUpChart(*large_, context_.dialog, Only(kLargeSeries), ranges, kLargePlotWidth);
    for (std::size_t slot = 0; slot < small_.size(); ++slot)
        monitor::SetUpChart(*small_[slot], context_.dialog, Only(kSmallSeries[slot]), ranges, kSmallPlotWidth);
    SetSamplingInterval(context_.settings.samplingPeriod * 1000);
}

void ChartsHost::SetSamplingInterval(uint32_t ms) {
    large_->SetSamplingPeriod(ms);
    for (auto& chart : small_) chart->SetSamplingPeriod(ms);
    if (monitor_) monitor_->chart().SetSamplingPeriod(ms);
}

void ChartsHost::OpenMonitor() {
    if (!monitor_) BuildMonitor(false);
    monitor_->show();
    monitor_->raise();
    monitor_->activateWindow();
}

void ChartsHost::ToggleSeries(int series) {
    if (series < 0 || series >= monitor::kChartSeries) return;
    auto& show = history_.show[static_cast<std::size_t>(series)];
    show = !show;
    // Posted: the window that asked is destroyed by the rebuild.
    QMetaObject::invokeMethod(this, [this] { OnMonitorMessage(kMonitorRebuild); }, Qt::QueuedConnection);
}

void ChartsHost::OnMonitorMessage(int parameter) {
    if (parameter == 0) {
        history_.Clear();
        return;
    }
    const bool visible = monitor_ && monitor_->isVisible();
    const QPoint position = monitor_ ? monitor_->pos() : QPoint();
    delete monitor_;
    BuildMonitor(true);
    if (position != QPoint()) monitor_->move(position);
    if (visible) monitor_->show();
}

void ChartsHost::BuildMonitor(bool refill) {
    auto chart = std::make_unique<monitor::CNCVCurves>(context_.loop, context_.clock);
    monitor::UpdateAvailability(history_, context_.dialog);
    monitor::SetUpChart(*chart, context_.dialog, monitor::MonitorSeries(history_), Ranges(),
                        CDlg_Monitor::kPlotWidth, &history_);
    if (refill) chart->RefillFrom(history_);
    monitor::CNCVCurves& model = *chart;
    monitor_ = new CDlg_Monitor(*this, std::move(chart));
    model.onSampled = [this, &model, view = QPointer<CurveChartView>(monitor_->view())] {
        log_.LogSample(model);
        if (view) view->update();
    };
    // A stored 0 ("Sampling period" unchecked) stops the chart and empties it.
    model.SetSamplingPeriod(context_.settings.samplingPeriod * 1000);
}

CDlg_Monitor* ChartsHost::monitorWindow() const { return monitor_; }

CurveChartView* ChartsHost::TakeLargeView() { return largeView_; }

CurveChartView* ChartsHost::TakeSmallView(std::size_t slot) { return slot < smallViews_.size() ? smallViews_[slot] : nullptr; }

}  // namespace vx::qt
