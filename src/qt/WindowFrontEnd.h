#pragma once
// The windowed front end. Qt Widgets and Gui (and their graphics, font and X libraries) live in
// a module that only a windowed start loads, so a headless run maps none of them.
#include <QCoreApplication>

#include "platform/DynamicLibrary.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace vx::app { class CCorvaneHDApp; class FontRegistry; }
namespace vx::platform { class InstanceGuard; struct PlatformServices; }
namespace vx::tuning { class UserSettingsFile; }
namespace vx::peripherals { class ResumePath; }
namespace vx::ui { class IPrompts; }

namespace vx::qt {

class QtEventLoop;

// What start-up made before the window opens; the windows are built over it.
struct WindowSession {
    app::CCorvaneHDApp& application;
    platform::PlatformServices& services;
    tuning::UserSettingsFile& userSettings;
    QtEventLoop& loop;
    std::filesystem::path skinDir;
    std::filesystem::path dataDir;  // the program folder: monitor logs
    bool openAdvanced = false;  // --advanced
    std::filesystem::path cacheDir;  // the update check's download
    peripherals::ResumePath* resume = nullptr;  // LCD module, lighting: what a resume redoes
    std::filesystem::path runtimeDir;  // the on-screen display's feed file
};

class WindowFrontEnd {
public:
    virtual ~WindowFrontEnd() = default;
    virtual std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) = 0;
    /// Message boxes and the font registry; valid once the application is made.
    virtual ui::IPrompts& prompts() = 0;
    virtual app::FontRegistry& fontRegistry() = 0;
    /// Builds the windows, runs the event loop, takes the windows down; returns the loop's status.
    virtual int Run(const WindowSession& session) = 0;
};

// The loaded module and its front end; the front end goes first.
struct LoadedWindowFrontEnd {
    std::unique_ptr<platform::DynamicLibrary> library;
    std::unique_ptr<WindowFrontEnd> frontEnd;
};

/// The window module beside the program (a build tree), else the installed one. On failure
/// `frontEnd` is null and `error` says why.
LoadedWindowFrontEnd LoadWindowFrontEnd(const std::filesystem::path& executable, std::string& error);

/// Serves the instance channel's requests on the event loop (both front ends).
void ServeInstanceRequests(QCoreApplication& qapp, platform::InstanceGuard& guard, std::function<void()> show,
                           std::function<void()> advanced = {});

}  // namespace vx::qt

/// The module's one export: a new front end, owned by the caller.
extern "C" vx::qt::WindowFrontEnd* vx_window_front_end();
