#include "qt/WindowFrontEnd.h"

#include <QTimer>

#include "platform/DynamicLibrary.h"
#include "platform/InstanceGuard.h"
#include "platform/InstanceRequests.h"

namespace vx::qt {
namespace {

constexpr int kInstancePollMs = 250;
constexpr const char* kModuleName = "veltrix-plus-window.so";

}  // namespace

LoadedWindowFrontEnd LoadWindowFrontEnd(const std::filesystem::path& executable, std::string& error) {
    LoadedWindowFrontEnd loaded;
    for (const std::filesystem::path& path :
         {executable.parent_path() / kModuleName, std::filesystem::path(VX_INSTALL_MODULEDIR) / kModuleName}) {
        loaded.library = platform::DynamicLibrary::Open(path);
        if (loaded.library) break;
    }
    if (!loaded.library) {
        error = std::string("cannot load the window module ") + kModuleName + " (--headless runs without it)";
        return loaded;
    }
    using Factory = WindowFrontEnd* (*)();
    const auto factory = reinterpret_cast<Factory>(loaded.library->Symbol("vx_window_front_end"));
    if (factory) loaded.frontEnd.reset(factory());
    if (!loaded.frontEnd) error = std::string("the window module ") + kModuleName + " is not this program's";
    return loaded;
}

void ServeInstanceRequests(QCoreApplication& qapp, platform::InstanceGuard& guard, std::function<void()> show,
                           std::function<void()> advanced) {
    guard.OnRequest([show = std::move(show), advanced = std::move(advanced)](const std::string& request) {
        if (request == platform::kShowRequest && show) show();
        if (request == platform::kAdvancedRequest && advanced) advanced();  // advanced control window
    });
    auto* timer = new QTimer(&qapp);
    QObject::connect(timer, &QTimer::timeout, &qapp, [&guard] { guard.Poll(); });
    timer->start(kInstancePollMs);
}

}  // namespace vx::qt
