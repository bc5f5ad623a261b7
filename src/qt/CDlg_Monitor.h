#pragma once
// The monitor window: one strip per shown series with a curve per GPU. Its context menu picks
// the series, switches the log, hides or closes it.
#include <QImage>
#include <QWidget>

#include <memory>

#include "monitor/CurveChart.h"

namespace vx::qt {

class ChartsHost;
class CurveChartView;

class CDlg_Monitor final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPlotWidth = 640;
    static constexpr uint32_t kHideCommand = 32796;
    static constexpr uint32_t kCloseCommand = 32797;

    /// The chart is set up by the host; the window owns it.
    CDlg_Monitor(ChartsHost& host, std::unique_ptr<monitor::CNCVCurves> chart, QWidget* parent = nullptr);
    ~CDlg_Monitor() override;

    monitor::CNCVCurves& chart() { return *chart_; }
    CurveChartView* view() const { return view_; }
    /// Builds the context menu as it would open now (tests use its actions).
    std::unique_ptr<class QMenu> BuildMenu();
    /// "Close": ends logging (asking about the file), then hides.
    void CloseMonitor();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    /// The window's background for its size: a panel with rounded corners on the key colour.
    static QImage Background(QSize size);

    ChartsHost& host_;
    std::unique_ptr<monitor::CNCVCurves> chart_;
    CurveChartView* view_ = nullptr;
};

}  // namespace vx::qt
