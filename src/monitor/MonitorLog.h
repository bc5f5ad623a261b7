#pragma once
// The monitor log: while on, every monitor-chart sample appends one semicolon-separated line
// to a UTF-16LE file in "Monitor_Save" in the program folder. Each switch-on starts a new file
// named after the second it was created; an existing file is never replaced.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace vx::platform {
class FileOpener;
}
namespace vx::ui {
class IClock;
class IPrompts;
}  // namespace vx::ui

namespace vx::monitor {

class CurveChart;

class MonitorLog {
public:
    static constexpr uint32_t kLogCommand = 32814;
    static constexpr const char* kFolderName = "Monitor_Save";

    /// `opener` may be null (nothing is opened). Everything passed must outlive the log.
    MonitorLog(std::filesystem::path programFolder, ui::IClock& clock, ui::IPrompts& prompts,
               platform::FileOpener* opener);

    /// Switching on makes the next sample start a new file; switching off asks "Open Saved
    /// File?" and opens the file on Yes.
    void SetLogging(bool on);
    /// "Close": ends logging (with the same question) when it is on.
    void CloseMonitor();
    /// Appends `chart`'s current values, writing the file's header first after a switch-on.
    void LogSample(const CurveChart& chart);

    bool enabled() const { return enabled_; }
    /// The current (or last) file, relative to the program folder; empty before the first.
    const std::filesystem::path& fileName() const { return fileName_; }

    // The texts, exposed for the tests that byte-compare them.
    static std::string HeaderText(const CurveChart& chart);
    static std::string LineText(const CurveChart& chart, std::chrono::system_clock::time_point now);
    /// UTF-8 → UTF-16LE bytes.
    static std::string Utf16Le(const std::string& text);

private:
    void StartFile(const CurveChart& chart);

    std::filesystem::path programFolder_;
    ui::IClock& clock_;
    ui::IPrompts& prompts_;
    platform::FileOpener* opener_;
    bool enabled_ = false;
    bool headerPending_ = false;
    std::filesystem::path fileName_;
};

}  // namespace vx::monitor
