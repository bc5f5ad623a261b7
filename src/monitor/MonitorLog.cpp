#include "monitor/MonitorLog.h"

#include <cstdio>
#include <ctime>
#include <system_error>

#include "app/CMultiLangSupp.h"
#include "monitor/CurveChart.h"
#include "platform/FileOpener.h"
#include "platform/LogFile.h"
#include "platform/CIni.h"
#include "ui/IClock.h"
#include "ui/IPrompts.h"

namespace vx::monitor {
namespace {

constexpr int kTextGpu = 43;
constexpr int kTextOpenSavedFile = 247;
constexpr int kMaxNameSuffix = 999;  // "-2" … for files started within the same second
constexpr char kByteOrderMark[] = "\xFF\xFE";

std::tm LocalTime(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    if (const std::tm* converted = std::localtime(&seconds)) local = *converted;  // interface thread only
    return local;
}

template <class... Args>
std::string Format(const char* format, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// For each GPU with a bound series, each enabled series: GPU outer, series inner.
template <class Visit>
void ForEachColumn(const CurveChart& chart, Visit visit) {
    for (int g = 0; g < kChartGpus; ++g) {
        if (!chart.gpuBound(g)) continue;
        for (int s = 0; s < kChartSeries; ++s)
            if (chart.enabled(s)) visit(g, s);
    }
}

}  // namespace

MonitorLog::MonitorLog(std::filesystem::path programFolder, ui::IClock& clock, ui::IPrompts& prompts,
                       platform::FileOpener* opener)
    : programFolder_(std::move(programFolder)), clock_(clock), prompts_(prompts), opener_(opener) {}

void MonitorLog::SetLogging(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    if (on) {
        headerPending_ = true;
        return;
    }
    const ui::BoxAnswer answer = prompts_.MessageBox(app::Text(kTextOpenSavedFile), app::Text(app::msg::kAppName),
                                                     ui::BoxIcon::Question, ui::BoxButtons::YesNo);
    if (answer == ui::BoxAnswer::Yes && opener_ && !fileName_.empty())
        opener_->OpenWithDefaultApplication(programFolder_ / fileName_);
}

void MonitorLog::CloseMonitor() {
    if (enabled_) SetLogging(false);
}

std::string MonitorLog::Utf16Le(const std::string& text) {
    std::string bytes;
    for (const char16_t unit : tuning::CIni::FromUtf8(text)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string MonitorLog::HeaderText(const CurveChart& chart) {
    std::string header = "Timestamp;";
    ForEachColumn(chart, [&](int g, int s) {
        header += Format("%s%d-", app::Text(kTextGpu), g + 1) + chart.label(s) + "[" + chart.unit(s, g) + "]:";
    });
    return header + "\r\n";
}

std::string MonitorLog::LineText(const CurveChart& chart, std::chrono::system_clock::time_point now) {
    const std::tm t = LocalTime(now);
    std::string line = Format("%04d-%02d-%02d %02d:%02d:%02d;", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                              t.tm_min, t.tm_sec);
    ForEachColumn(chart, [&](int g, int s) { line += Format("%d;", chart.current(s, g)); });
    return line + "\r\n";
}

void MonitorLog::StartFile(const CurveChart& chart) {
    headerPending_ = false;  // one header pass per switch-on, even when it fails
    const std::string content = std::string(kByteOrderMark, 2) + Utf16Le(HeaderText(chart));
    const std::tm t = LocalTime(clock_.Now());
    const std::string stamp = Format("%04d-%02d-%02d%02d_%02d_%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                                     t.tm_hour, t.tm_min, t.tm_sec);
    const std::filesystem::path folder = kFolderName;
    std::error_code ignored;
    std::filesystem::create_directories(programFolder_ / folder, ignored);
    fileName_ = folder / (stamp + ".csv");
    // A file started earlier in the same second keeps its data: the new one gets a suffix.
    for (int suffix = 2; suffix <= kMaxNameSuffix; ++suffix) {
        if (platform::CreateNewFile(programFolder_ / fileName_, content) != platform::NewFileResult::Exists) return;
        fileName_ = folder / (stamp + "-" + std::to_string(suffix) + ".csv");
    }
}

void MonitorLog::LogSample(const CurveChart& chart) {
    if (!enabled_) return;
    if (headerPending_) StartFile(chart);
    platform::AppendToFile(programFolder_ / fileName_, Utf16Le(LineText(chart, clock_.Now())));
}

}  // namespace vx::monitor
