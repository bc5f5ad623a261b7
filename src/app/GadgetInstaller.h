#pragma once
// The desktop sidebar gadget of Windows 7: installed once while the main window initialises,
// then fed a copy of "CurrInfo.xml" after every sample.
#include <array>
#include <filesystem>
#include <optional>

#include "platform/OsInfo.h"

namespace vx::app {

/// Where the installer looks; `FromSystem` asks the operating system, tests pass their own.
struct GadgetEnvironment {
    std::optional<platform::WindowsVersion> version;
    std::filesystem::path profileFolder;
    std::filesystem::path windowsFolder;
    std::filesystem::path workingFolder;  // holds the gadget's source folder and "CurrInfo.xml"

    static GadgetEnvironment FromSystem(const std::filesystem::path& workingFolder);
};

class GadgetInstaller {
public:
    static constexpr const char* kFolderName = "TAVIRO.cab.gadget";
    static constexpr std::array<const char*, 7> kFiles = {"cpu.png",   "gadget.css",    "gadget.html", "gadget.js",
                                                          "gadget.xml", "settings.html", "settings.js"};
    static constexpr const char* kCurrentState = "CurrInfo.xml";

    explicit GadgetInstaller(GadgetEnvironment environment) : environment_(std::move(environment)) {}

    /// Windows 7 only (6.1 or major 7), and only when both folders are known. An existing destination is left as it is; every
    /// file-system failure is ignored.
    void Install();
    /// After each rewrite of "CurrInfo.xml": the gadget's copy, when installed.
    void RefreshCopy() const;

    bool enabled() const { return enabled_; }
    const std::filesystem::path& destination() const { return destination_; }
    const std::filesystem::path& currentStateCopy() const { return currentStateCopy_; }

private:
    GadgetEnvironment environment_;
    std::filesystem::path destination_;
    std::filesystem::path currentStateCopy_;
    bool enabled_ = false;
};

}  // namespace vx::app
