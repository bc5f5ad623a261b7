#pragma once
// The message table: every user-visible text, looked up by row number.
#include <cstdint>

namespace vx::app {

/// Rows that many windows use.
namespace msg {
constexpr int kAppName = 0;               // "Veltrix Plus", also every message box caption
constexpr int kInitHardwareFailed = 2;
constexpr int kAddFontFailed = 3;
constexpr int kTemperatureTooHigh = 5;    // "GPU %d temperature is too high!!!\n"
constexpr int kSettingsApplied = 6;
constexpr int kApplyFailed = 7;
constexpr int kOk = 51;
constexpr int kCancel = 52;
constexpr int kOsNotSupported = 53;
constexpr int kApplyCanceled = 59;
constexpr int kOverclockWarning = 60;
constexpr int kAlreadyStarted = 61;
constexpr int kSettings = 75;
constexpr int kInitFailedRunAtReboot = 77;
constexpr int kDoNotRun = 78;             // 78..82: the five startup options in mode order
constexpr int kSeconds = 109;             // "s"
constexpr int kShutdownCountdown = 118;   // "System will shutdown in %d seconds!!!"
constexpr int kChangePassword = 124;
constexpr int kPasswordError = 130;
constexpr int kVoltageWarning = 185;
constexpr int kDegreesCelsius = 191;      // "°C"
}  // namespace msg

/// Language columns of the table.
enum class Language { English = 0, ChineseSimplified = 1, ChineseTraditional = 2 };

class CMultiLangSupp {
public:
    static constexpr int kRowCount = 267;

    /// Records the column that matches the system language; the active column stays English.
    explicit CMultiLangSupp(uint16_t systemLanguageId);

    /// The row's text in the active column (UTF-8), or null when the row is outside 0..266.
    const char* text(int row) const;

    Language systemLanguage() const { return systemLanguage_; }
    Language activeLanguage() const { return activeLanguage_; }

    /// Column for a system language id: the Traditional Chinese locales, Simplified Chinese,
    /// everything else English.
    static Language LanguageForId(uint16_t languageId);

private:
    Language systemLanguage_;
    Language activeLanguage_ = Language::English;
};

/// The one table of the process, built on first use from the system's language.
const CMultiLangSupp& Messages();

/// Shorthand for Messages().text(row), with "" for a row outside the table.
const char* Text(int row);

}  // namespace vx::app
