#include "qt/Application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

#include "app/CCorvaneHDApp.h"
#include "app/CommandLine.h"
#include "app/GpuSummary.h"
#include "monitor/SampleLine.h"  // monitoring
#include "monitor/SampleLoop.h"  // monitoring
#include "platform/InstanceRequests.h"  // advanced control window
#include "platform/PlatformServices.h"
#include "platform/TerminationSignals.h"
#include "qt/AlarmWindow.h"  // monitoring
#include "qt/AdvanceWindow.h"  // advanced control window
#include "qt/HostWindow.h"
#include "qt/MainWindow.h"
#include "qt/QtEventLoop.h"
#include "qt/ProfileWindow.h"  // profile window; keeps the profile slots' header clear of Qt's `slots`
#include "qt/QtFontRegistry.h"
#include "qt/QtPrompts.h"
#include "qt/SettingsWindow.h"
#include "qt/Skin.h"
#include "sim/Simulator.h"
#include "tuning/CCorvaneHDDlg.h"
#include "tuning/ProfileSlots.h"       // settings file
#include "tuning/UserSettingsFile.h"   // settings file
#include "ui/ConsolePrompts.h"

namespace vx::qt {
namespace {

constexpr int kInstancePollMs = 250;

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

void ServeInstanceRequests(QCoreApplication& qapp, platform::InstanceGuard& guard, std::function<void()> show,
                           std::function<void()> advanced = {}) {
    guard.OnRequest([show = std::move(show), advanced = std::move(advanced)](const std::string& request) {
        if (request == platform::kShowRequest && show) show();
        if (request == platform::kAdvancedRequest && advanced) advanced();  // advanced control window
    });
    auto* timer = new QTimer(&qapp);
    QObject::connect(timer, &QTimer::timeout, &qapp, [&guard] { guard.Poll(); });
    timer->start(kInstancePollMs);
}

// Monitoring: without a window the live values go to standard output, one line per GPU per
// sample; the driver layer's diagnostics then go to the error stream so the feed stays readable.
void PrintSampleLines(tuning::CCorvaneHDDlg& dialog) {
    for (int i = 0; i < dialog.gpuCount(); ++i)
        std::printf("%s\n", monitor::SampleLine(static_cast<uint8_t>(i), dialog.record(i).live).c_str());
    std::fflush(stdout);
}
// End of monitoring.

void OpenSettingsWindow(app::CCorvaneHDApp& application, platform::SettingsStore& store,
                        tuning::CCorvaneHDDlg& dialog, QWidget* parent) {
    app::SetDialogContext context;
    if (dialog.currentGpu() >= 0) {
        const auto g = static_cast<uint8_t>(dialog.currentGpu());
        context.usesPstates20 = application.gpu().usesPstates20(g);
        const GpuRecord* record = application.gpu().Record(g);
        context.legacyListB = record && record->legacyListB;
    }
    context.lcmServiceInstalled = application.lcmServiceInstalled();
    app::CSetDialog setDialog(application.settings(), store, application.autostart(), context);
    SettingsWindow window(setDialog, parent);
    window.exec();
}

// Profile window: SAVE, LOAD and the ten slot buttons over the settings file; modal.
void OpenProfileWindow(tuning::ProfileSlots& profileSlots, ui::IPrompts& prompts, QWidget* parent,
                       std::function<void()> onLoaded) {
    tuning::CCVProfileDlg profileDialog(profileSlots, SystemProfileFileDialogs(parent), prompts);
    ProfileWindow window(profileDialog, profileSlots, std::move(onLoaded), parent);
    window.exec();
}

// The window shows at once, unless it starts minimized or in the notification area.
void ShowForStartupMode(HostWindow& host, int mode) {
    if (mode == app::kModeMinimize) host.showMinimized();
    else if (mode != app::kModeSysTray || !host.HasTrayIcon()) host.show();
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
    platform::RemoveInterruptedWrites(paths);

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
    // Advanced control window: with --advanced a running copy is asked to show it, and this one leaves.
    if (cl.advanced && platform::ForwardToRunningCopy(*services.instanceGuard, platform::kAdvancedRequest)) return 0;
    app::CCorvaneHDApp application(env, driver::DriverBinding::Process());
    // Settings file: restored at start-up, saved or deleted on hide and quit.
    tuning::UserSettingsFile userSettings(application.gpu(), ui::SystemClock(), paths.dataDir,
                                          application.lastLoadedSettings);
    application.SetUserSettingsRestore([&userSettings] { return userSettings.LoadUserSettings() == 1; });
    // End of settings file.
    if (application.InitInstance(cl.switchText) == app::CCorvaneHDApp::Next::Exit) {
        application.gpu().ReleaseHandles();
        return application.exitCode();
    }

    const app::SystemSummary summary = app::Summarize(application.gpu());
    PrintSummary(summary, driverChoice.simulator.get());
    QuitOnTerminationSignals(*qapp);

    QtEventLoop loop;
    std::unique_ptr<tuning::CCorvaneHDDlg> dialog;
    std::unique_ptr<tuning::ProfileSlots> profileSlots;  // settings file
    QPointer<HostWindow> hostView;
    QPointer<MainWindow> mainView;
    std::unique_ptr<HostWindow> host;
    std::unique_ptr<AdvanceDialogHost> advancedHost;  // advanced control window
    std::unique_ptr<monitor::SampleLoop> sampler;  // monitoring
    if (headless) {
        std::printf("Running without a window; Ctrl+C ends it.\n");
        // Monitoring: the window's sampling loop (alarm and fan schemes included) over a
        // controller without a view.
        application.gpu().SetTraceSink([](const std::string& text) { std::fputs(text.c_str(), stderr); });
        dialog = std::make_unique<tuning::CCorvaneHDDlg>(application.gpu(), consolePrompts, loop, ui::SystemClock(),
                                                         application.settings(), tuning::MainDialogHooks{});
        dialog->OnInitDialog(application.startupMode());
        monitor::SampleHooks sampleHooks;
        sampleHooks.sampled = [controller = dialog.get()] { PrintSampleLines(*controller); };
        sampler = std::make_unique<monitor::SampleLoop>(*dialog, application.settings(), *services.settingsStore,
                                                        *services.systemActions, ui::SystemClock(),
                                                        std::move(sampleHooks));
        sampler->Start(loop);
        // End of monitoring.
        ServeInstanceRequests(*qapp, *services.instanceGuard, {});
    } else {
        Skin::Instance().SetDirectory(paths.templatesDir / "skin");
        tuning::MainDialogHooks hooks;
        hooks.modelChanged = [&mainView] {
            if (mainView) mainView->ModelChanged();
        };
        hooks.showWindow = [&hostView](bool visible) {
            if (hostView) hostView->ShowOrHide(visible);
        };
        hooks.minimizeWindow = [&hostView] {
            if (hostView) hostView->showMinimized();
        };
        hooks.quitProcess = [&loop] { loop.Quit(0); };
        hooks.openSettingsDialog = [&] {
            if (dialog) OpenSettingsWindow(application, *services.settingsStore, *dialog, hostView);
        };
        // Settings file.
        hooks.saveOrDeleteUserSettings = [&userSettings, &application] {
            userSettings.SaveOrDelete(application.settings().restoreUserSettings);
        };
        hooks.resetProfileSlots = [&profileSlots] {
            if (profileSlots) profileSlots->ResetLooks();
        };
        // End of settings file.
        dialog = std::make_unique<tuning::CCorvaneHDDlg>(application.gpu(), qtPrompts, loop, ui::SystemClock(),
                                                         application.settings(), std::move(hooks));
        // Settings file: loads and saves now share the window's hardware lock.
        userSettings.AttachDialog(dialog.get());
        profileSlots = std::make_unique<tuning::ProfileSlots>(userSettings, *dialog, qtPrompts, ui::SystemClock());
        // End of settings file.
        host = std::make_unique<HostWindow>();
        hostView = host.get();
        WindowFonts fonts{QString::fromStdString(application.fonts().FamilyFor("arial")),
                          QString::fromStdString(application.fonts().FamilyFor("DS-Digital"))};
        auto* view = new MainWindow(*dialog, ReadGpuIdentities(*dialog), fonts);
        mainView = view;
        view->AttachProfileSlots(*profileSlots);
        host->SetContent(view);
        tuning::CCorvaneHDDlg* controller = dialog.get();
        HostWindow* frame = host.get();
        QObject::connect(frame, &HostWindow::showRequested, frame, [controller] { controller->OnShowFromTray(); });
        QObject::connect(frame, &HostWindow::hideRequested, frame, [controller] { controller->OnHide(); });
        QObject::connect(frame, &HostWindow::quitRequested, frame, [controller] { controller->OnQuit(); });
        // Advanced control and profile windows.
        advancedHost = std::make_unique<AdvanceDialogHost>(*controller, loop);
        QObject::connect(frame, &HostWindow::advancedRequested, frame, [&advancedHost] { advancedHost->Open(); });
        QObject::connect(frame, &HostWindow::profileRequested, frame, [&profileSlots, &qtPrompts, &hostView, &mainView] {
            if (!profileSlots) return;
            OpenProfileWindow(*profileSlots, qtPrompts, hostView, [&mainView] {
                if (mainView) mainView->ModelChanged();
            });
        });
        // End of advanced control and profile windows.
        ShowForStartupMode(*host, application.startupMode());
        controller->OnInitDialog(application.startupMode());
        // Monitoring: the sampling loop starts with the window's timers.
        monitor::SampleHooks sampleHooks;
        sampleHooks.sampled = [&mainView] {
            if (mainView) mainView->SampleTaken();
        };
        sampleHooks.showAlarm = [&hostView](monitor::CIndicateInstDialog& window) {
            AlarmWindow::ShowModal(window, hostView);
        };
        sampler = std::make_unique<monitor::SampleLoop>(*controller, application.settings(), *services.settingsStore,
                                                        *services.systemActions, ui::SystemClock(),
                                                        std::move(sampleHooks));
        view->AttachSampler(*sampler);
        sampler->Start(loop);
        // End of monitoring.
        ServeInstanceRequests(*qapp, *services.instanceGuard, [controller] { controller->OnShowFromTray(); },
                              [&advancedHost] { advancedHost->Open(); });  // advanced control window
        if (cl.advanced) advancedHost->Open();                             // advanced control window
    }

    const int status = qapp->exec();
    if (sampler) sampler->Stop();  // monitoring
    // The window goes before the controller it renders, the controller (and its worker)
    // before the GPU layer.
    advancedHost.reset();  // advanced control window: before the controller it reads through
    host.reset();
    sampler.reset();  // monitoring: after the window that shows its curve, before the controller
    profileSlots.reset();               // settings file
    userSettings.AttachDialog(nullptr);  // settings file
    dialog.reset();
    Skin::Instance().ReleaseImages();
    application.gpu().ReleaseHandles();
    if (headless) std::printf("Stopped.\n");
    return status;
}

}  // namespace vx::qt
