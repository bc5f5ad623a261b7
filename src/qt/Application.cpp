#include "qt/Application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "app/CCorvaneHDApp.h"
#include "app/CommandLine.h"
#include "app/GpuSummary.h"
#include "monitor/LiveReadout.h"
#include "platform/PlatformServices.h"
#include "platform/TerminationSignals.h"
#include "qt/HostWindow.h"
#include "qt/QtEventLoop.h"
#include "qt/QtFontRegistry.h"
#include "qt/QtPrompts.h"
#include "sim/Simulator.h"
#include "ui/ConsolePrompts.h"

namespace vx::qt {
namespace {

constexpr int kInstancePollMs = 250;
constexpr uint32_t kSampleTimerId = 32;
constexpr uint32_t kSampleIntervalMs = 1100;

bool DisplayAvailable() {
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
}

// The simulator to serve the driver entries, or nothing for the real driver. Loaded before the
// working directory changes, so a relative rig path means what the user typed.
struct DriverChoice {
    std::unique_ptr<sim::Simulator> simulator;
    std::string error;
};

DriverChoice ChooseDriver(const app::CommandLine& cl) {
    DriverChoice choice;
    if (!cl.simulate) return choice;
    sim::Rig rig;
    if (cl.rigFile) {
        sim::RigLoadResult loaded = sim::LoadRigFile(std::filesystem::absolute(*cl.rigFile));
        if (!loaded.rig) {
            choice.error = loaded.error ? loaded.error->message : "cannot load " + cl.rigFile->string();
            return choice;
        }
        rig = std::move(*loaded.rig);
    } else {
        rig = sim::DemoRig();
    }
    choice.simulator = std::make_unique<sim::Simulator>(std::move(rig));
    choice.simulator->Activate();
    driver::DriverBinding::Process().SetOpener(driver::InProcessOpener(sim::Simulator::QueryInterface()));
    return choice;
}

void PrintSummary(const app::SystemSummary& summary, sim::Simulator* simulator) {
    std::printf("Veltrix Plus %s", VX_VERSION);
    if (simulator) std::printf(" on the simulated rig \"%s\"", simulator->rig().name.c_str());
    if (!summary.driverVersionText.empty()) std::printf(", driver %s", summary.driverVersionText.c_str());
    std::printf("\n");
    for (const app::GpuSummary& gpu : summary.gpus) std::printf("%s\n", app::GpuLine(gpu).c_str());
    std::fflush(stdout);
}

// SIGINT and SIGTERM end the loop cleanly with status 0.
void QuitOnTerminationSignals(QCoreApplication& qapp) {
    const int fd = platform::TerminationRequestFd();
    if (fd < 0) return;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &qapp);
    QObject::connect(notifier, &QSocketNotifier::activated, &qapp, [] {
        platform::DrainTerminationRequests();
        QCoreApplication::exit(0);
    });
}

void ServeInstanceRequests(QCoreApplication& qapp, platform::InstanceGuard& guard, HostWindow* host) {
    guard.OnRequest([host](const std::string& request) {
        if (request == "show" && host) host->ShowMainWindow();
    });
    auto* timer = new QTimer(&qapp);
    QObject::connect(timer, &QTimer::timeout, &qapp, [&guard] { guard.Poll(); });
    timer->start(kInstancePollMs);
}

// Without a window the live values go to standard output, one line per GPU per sample; the
// driver layer's diagnostics then go to the error stream so the feed stays readable.
void PrintLiveValuesEverySample(QtEventLoop& loop, GpuAccess& gpu) {
    gpu.SetTraceSink([](const std::string& text) { std::fputs(text.c_str(), stderr); });
    loop.SetTimer(kSampleTimerId, kSampleIntervalMs, [&gpu] {
        for (uint8_t i = 0; i < gpu.GetGpuCount(); ++i)
            std::printf("%s\n", monitor::FormatLiveLine(i, monitor::ReadLiveValues(gpu, i)).c_str());
        std::fflush(stdout);
    });
}

void ShowForStartupMode(HostWindow& host, int mode) {
    if (mode == app::kModeMinimize) host.showMinimized();
    else if (mode == app::kModeSysTray && host.StartInTray()) return;
    else host.show();
}

}  // namespace

int RunApplication(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const app::CommandLine cl = app::ParseCommandLine(args);
    const std::string program = argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "veltrix-plus";
    if (!cl.errors.empty()) {
        for (const std::string& e : cl.errors) std::fprintf(stderr, "%s: %s\n", program.c_str(), e.c_str());
        std::fputs(app::UsageText(program).c_str(), stderr);
        return 2;
    }
    if (cl.help) {
        std::fputs(app::UsageText(program).c_str(), stdout);
        return 0;
    }
    if (cl.version) {
        std::printf("Veltrix Plus %s\n", VX_VERSION);
        return 0;
    }

    const bool headless = cl.headless || !DisplayAvailable();
    DriverChoice driverChoice = ChooseDriver(cl);
    if (!driverChoice.error.empty()) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), driverChoice.error.c_str());
        return 2;
    }

    const platform::AppPaths paths = platform::ResolveAppPaths(cl.dataDir);
    if (!platform::PrepareDataDir(paths)) {
        std::fprintf(stderr, "%s: cannot use the data folder %s\n", program.c_str(), paths.dataDir.c_str());
        return 1;
    }

    std::unique_ptr<QCoreApplication> qapp;
    if (headless) qapp = std::make_unique<QCoreApplication>(argc, argv);
    else qapp = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName("veltrix-plus");
    QCoreApplication::setApplicationVersion(VX_VERSION);

    platform::PlatformServices services = platform::MakePlatformServices(paths);
    ui::ConsolePrompts consolePrompts;
    QtPrompts qtPrompts;
    std::optional<QtFontRegistry> fontRegistry;
    if (!headless) fontRegistry.emplace();

    app::AppEnvironment env{*services.settingsStore, *services.autostart, *services.instanceGuard,
                            *services.serviceControl,
                            headless ? static_cast<ui::IPrompts&>(consolePrompts) : qtPrompts,
                            fontRegistry ? &*fontRegistry : nullptr, paths.executable.string(),
                            paths.dataDir / "fonts"};
    app::CCorvaneHDApp application(env, driver::DriverBinding::Process());
    if (application.InitInstance(cl.switchText) == app::CCorvaneHDApp::Next::Exit) {
        application.gpu().ReleaseHandles();
        return application.exitCode();
    }

    const app::SystemSummary summary = app::Summarize(application.gpu());
    PrintSummary(summary, driverChoice.simulator.get());
    QuitOnTerminationSignals(*qapp);

    QtEventLoop loop;
    std::unique_ptr<HostWindow> host;
    if (headless) {
        std::printf("Running without a window; Ctrl+C ends it.\n");
        PrintLiveValuesEverySample(loop, application.gpu());
    } else {
        host = std::make_unique<HostWindow>(summary);
        QObject::connect(host.get(), &HostWindow::quitRequested, qapp.get(), [] { QCoreApplication::exit(0); });
        ShowForStartupMode(*host, application.startupMode());
    }
    ServeInstanceRequests(*qapp, *services.instanceGuard, host.get());

    const int status = qapp->exec();
    host.reset();
    application.gpu().ReleaseHandles();
    if (headless) std::printf("Stopped.\n");
    return status;
}

}  // namespace vx::qt
