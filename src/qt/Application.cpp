#include "qt/Application.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/CCorvaneHDApp.h"
#include "app/CommandLine.h"
#include "app/GpuSummary.h"
#include "display/TrialMarker.h"  // display tools
#include "maintenance/BoardIdentification.h"
#include "monitor/SampleLine.h"  // monitoring
#include "monitor/OverlayFeed.h"  // on-screen display feed
#include "monitor/SampleLoop.h"  // monitoring
#include "peripherals/LcmMessage.h"  // LCD module
#include "peripherals/LcmService.h"  // LCD module
#include "peripherals/LedLighting.h"  // card lighting
#include "peripherals/ResumePath.h"  // resume from suspend
#include "platform/InstanceRequests.h"  // advanced control window
#include "platform/PlatformServices.h"
#include "platform/TerminationSignals.h"
#include "platform/posix/SysfsBiosImage.h"
#include "qt/LogindResumeWatcher.h"  // resume from suspend
#include "qt/QtEventLoop.h"
#include "qt/WindowFrontEnd.h"
#include "remote/RemoteControl.h"  // phone server
#include "sim/SimBiosImage.h"
#include "sim/Simulator.h"
#include "tuning/CCorvaneHDDlg.h"
#include "tuning/UserSettingsFile.h"   // settings file
#include "ui/ConsolePrompts.h"
#include "ui/FastForwardClock.h"

namespace vx::qt {
namespace {

bool DisplayAvailable() {
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
}

// The simulator to serve the driver entries, or nothing for the real driver. Loaded before the
// working directory changes, so a relative rig path means what the user typed.
struct DriverChoice {
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<ui::FastForwardClock> clock;  // the simulator's and the GPU layer's waits
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
    choice.clock = std::make_unique<ui::FastForwardClock>();
    choice.simulator->SetClock(*choice.clock);
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

// The driver layer's trace and status lines are for whoever debugs a board: shown only with
// --verbose, on the error stream, so standard output stays the program's own (the headless feed).
void RouteDiagnostics(GpuAccess& gpu, bool verbose) {
    GpuAccess::TextSink toErrorStream;
    if (verbose) toErrorStream = [](const std::string& text) { std::fputs(text.c_str(), stderr); };
    gpu.SetTraceSink(toErrorStream);
    gpu.SetDebugSink(toErrorStream);
}

// Monitoring: without a window the live values go to standard output, one line per GPU per
// sample.
void PrintSampleLines(tuning::CCorvaneHDDlg& dialog) {
    for (int i = 0; i < dialog.gpuCount(); ++i)
        std::printf("%s\n", monitor::SampleLine(static_cast<uint8_t>(i), dialog.record(i).live).c_str());
    std::fflush(stdout);
}
// End of monitoring.

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

    // Before the working directory changes: relative paths mean what the user typed.
    const std::vector<std::string> autostartOptions = app::AutostartOptions(cl);
    const platform::AppPaths paths = platform::ResolveAppPaths(cl.dataDir);
    if (!platform::PrepareDataDir(paths)) {
        std::fprintf(stderr, "%s: cannot use the data folder %s\n", program.c_str(), paths.dataDir.c_str());
        return 1;
    }
    platform::RemoveInterruptedWrites(paths);

    // Qt Widgets and Gui come with the window module, which only a windowed start loads.
    LoadedWindowFrontEnd window;
    if (!headless) {
        std::string error;
        window = LoadWindowFrontEnd(paths.executable, error);
        if (!window.frontEnd) {
            std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
            return 1;
        }
    }
    std::unique_ptr<QCoreApplication> qapp =
        headless ? std::make_unique<QCoreApplication>(argc, argv) : window.frontEnd->MakeApplication(argc, argv);
    QCoreApplication::setApplicationName("veltrix-plus");
    QCoreApplication::setApplicationVersion(VX_VERSION);

    platform::PlatformServices services = platform::MakePlatformServices(paths);
    ui::ConsolePrompts consolePrompts;
    app::AppEnvironment env{*services.settingsStore, *services.autostart, *services.instanceGuard,
                            *services.serviceControl,
                            headless ? static_cast<ui::IPrompts&>(consolePrompts) : window.frontEnd->prompts(),
                            headless ? nullptr : &window.frontEnd->fontRegistry(), paths.executable.string(),
                            paths.templatesDir / "fonts", autostartOptions};
    // Advanced control window: with --advanced a running copy is asked to show it, and this one leaves.
    if (cl.advanced && platform::ForwardToRunningCopy(*services.instanceGuard, platform::kAdvancedRequest)) return 0;
    app::CCorvaneHDApp application(env, driver::DriverBinding::Process());
    RouteDiagnostics(application.gpu(), cl.verbose);
    if (driverChoice.clock) application.gpu().SetClock(*driverChoice.clock);
    // Settings file: restored at start-up, saved or deleted on hide and quit.
    tuning::UserSettingsFile userSettings(application.gpu(), ui::SystemClock(), paths.dataDir,
                                          application.lastLoadedSettings);
    application.SetUserSettingsRestore([&userSettings] { return userSettings.LoadUserSettings() == 1; });
    // End of settings file.
    if (application.InitInstance(cl.switchText) == app::CCorvaneHDApp::Next::Exit) {
        application.gpu().ReleaseHandles();
        return application.exitCode();
    }

    // Display tools: a custom timing trial that a killed run left on the screen goes back first.
    display::TrialMarker(paths.dataDir / display::kTrialMarkerName)
        .RevertLeftover(driver::DisplayEntries(driver::DriverBinding::Process()),
                        [](const std::string& text) { std::fputs(text.c_str(), stderr); });
    const app::SystemSummary summary = app::Summarize(application.gpu());
    PrintSummary(summary, driverChoice.simulator.get());
    QuitOnTerminationSignals(*qapp);

    QtEventLoop loop;
    // Video BIOS identification on its own thread. The window and the headless sampling are built
    // only once it has finished, so no fan control is used before the card is classified; they
    // then show its result, and the completion messages need no further handling.
    std::unique_ptr<platform::BiosImageSource> biosImages;
    if (driverChoice.simulator)
        biosImages = std::make_unique<sim::SimBiosImage>(*driverChoice.simulator);
    else
        biosImages = std::make_unique<platform::SysfsBiosImage>();
    maintenance::BoardIdentification(application.gpu(), *biosImages, loop, [](uint32_t) {}).Wait();
    // LCD module: the service scripts are written afresh at every start.
    peripherals::LcmService::WriteServiceScripts(paths.dataDir);
    // Suspend and resume: the settings saved before sleep; after it they, the module's message and
    // the lighting again.
    peripherals::ResumePath resume(application.settings(), userSettings);
    // Without a system bus (containers) that is a diagnostic, shown with --verbose.
    LogindResumeWatcher resumeWatcher({}, [verbose = cl.verbose](const std::string& line) {
        if (verbose) std::fputs(line.c_str(), stderr);
    });
    resumeWatcher.Start([&resume] { resume.BeforeSleep(); }, [&resume] { resume.OnResume(); });
    // End of resume from suspend.
    if (!headless) {
        const int status = window.frontEnd->Run(
            WindowSession{application, services, userSettings, loop, paths.templatesDir / "skin", paths.dataDir,
                          cl.advanced, paths.cacheDir, &resume, paths.runtimeDir});
        application.gpu().ReleaseHandles();
        return status;
    }

    std::printf("Running without a window; Ctrl+C ends it.\n");
    // Monitoring: the window's sampling loop (alarm and fan schemes included) over a
    // controller without a view.
    std::unique_ptr<remote::RemoteControl> phoneServer;  // phone server: outlives the controller whose hooks reach it
    tuning::MainDialogHooks dialogHooks;
    remote::RemoteControl::AddDialogHooks(dialogHooks, phoneServer);  // phone server
    auto dialog = std::make_unique<tuning::CCorvaneHDDlg>(application.gpu(), consolePrompts, loop, ui::SystemClock(),
                                                          application.settings(), std::move(dialogHooks));
    dialog->OnInitDialog(application.startupMode());
    // Phone server: a service run may be controlled from the phone alone.
    phoneServer = std::make_unique<remote::RemoteControl>(*dialog, loop, consolePrompts, application.settings(),
                                                          *services.settingsStore, ui::SystemClock(),
                                                          remote::ServerOptionsFor(paths.dataDir));
    phoneServer->FillInitInfo();
    phoneServer->Start();
    // Card lighting: the saved effect goes on without a window too.
    auto lighting = std::make_unique<peripherals::LedLighting>(application.gpu(), ui::SystemClock(),
                                                                userSettings.kept.lighting);
    lighting->Startup(0);
    // LCD module: the saved message at start and after a resume.
    peripherals::LcmDisplay lcmDisplay(application.gpu(), consolePrompts, userSettings.kept.lcm);
    lcmDisplay.Resend();
    resume.AttachDisplay(&lcmDisplay);
    resume.AttachLighting(&lighting->effects());
    resume.SetRestoredHook([controller = dialog.get()] { controller->RefreshFromHardware(false); });
    monitor::SampleHooks sampleHooks;
    phoneServer->AddSampleHooks(sampleHooks);  // phone server
    sampleHooks.sampled = [controller = dialog.get(), lights = lighting.get()] {
        PrintSampleLines(*controller);
        lights->FollowReadings(*controller);  // card lighting
    };
    // On-screen display feed: no window to hand over; the text of every sample; stopped at quit.
    const std::unique_ptr<platform::OverlayBridge> overlayBridge = platform::MakeOverlayBridge(paths.runtimeDir);
    auto overlay = std::make_unique<monitor::OverlayFeed>(*overlayBridge, application.settings(), *dialog,
                                                          ui::SystemClock());
    overlay->InitOverlay(0);
    overlay->Attach(sampleHooks);
    // End of on-screen display feed.
    auto sampler = std::make_unique<monitor::SampleLoop>(*dialog, application.settings(), *services.settingsStore,
                                                         *services.systemActions, ui::SystemClock(),
                                                         std::move(sampleHooks));
    sampler->curve().AttachCurves(userSettings.fanCurves);  // restored and saved with the GPUs' settings
    sampler->Start(loop);
    // End of monitoring.
    ServeInstanceRequests(*qapp, *services.instanceGuard, {});

    const int status = qapp->exec();
    sampler->Stop();  // monitoring
    overlay->StopOverlay();  // on-screen display feed: a stale text never shows
    phoneServer->Stop();  // phone server: no request reaches the controller from here on
    sampler.reset();  // monitoring: before the controller it samples through
    resume.AttachDisplay(nullptr);   // resume from suspend
    resume.AttachLighting(nullptr);  // resume from suspend
    resume.SetRestoredHook({});      // resume from suspend
    overlay.reset();  // on-screen display feed
    lighting.reset();  // card lighting: its thread ends before the GPU layer goes
    dialog.reset();
    application.gpu().ReleaseHandles();
    std::printf("Stopped.\n");
    return status;
}

}  // namespace vx::qt
