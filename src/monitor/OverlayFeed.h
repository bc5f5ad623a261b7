#pragma once
// The on-screen display feed: hands the overlay libraries the main window at start, the text of
// every sample, and stops them at quit. Runs on the interface thread only.
#include <cstdint>

#include "monitor/OverlayText.h"
#include "platform/OverlayBridge.h"

namespace vx {
namespace app {
struct AppSettings;
}
namespace tuning {
class CCorvaneHDDlg;
}
namespace ui {
class IClock;
}
}  // namespace vx

namespace vx::monitor {

struct SampleHooks;

class OverlayFeed {
public:
    /// The Direct3D 11 hook gets this long to see its cleared run word before the other side stops.
    static constexpr uint32_t kStopPauseMs = 50;

    /// Everything passed must outlive the feed. The switches are read from `settings` at each use.
    OverlayFeed(platform::OverlayBridge& bridge, const app::AppSettings& settings, tuning::CCorvaneHDDlg& dialog,
                ui::IClock& clock);

    /// During the main window's initialisation, before its timers start.
    void InitOverlay(platform::OverlayWindow window);
    /// Called by the sample for each GPU, then PublishOverlay after the last one.
    void AppendGpuOverlay(int gpu);
    void PublishOverlay();
    /// On quit, before the process ends. Later calls do nothing.
    void StopOverlay();
    /// The settings dialog's OK: the Direct3D 9 side gets the frame-rate switch at once.
    void SetFramerateShow(bool show);
    /// Joins the sample's display hooks and the settings dialog's frame-rate hook to this feed.
    void Attach(SampleHooks& hooks);

    const OverlayText& text() const { return text_; }

private:
    platform::OverlayBridge& bridge_;
    const app::AppSettings& settings_;
    tuning::CCorvaneHDDlg& dialog_;
    ui::IClock& clock_;
    OverlayText text_;
    int gpuCount_ = 0;  // kept from the start, as the prefix rule counts them
    bool stopped_ = false;
};

}  // namespace vx::monitor
