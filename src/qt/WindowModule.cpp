// The window module: Qt Widgets and Gui, loaded by a windowed start only.
#include <QApplication>
#include <QPointer>
#include <QSessionManager>  // card lighting: the session end
#include <QSocketNotifier>  // keyboard companion: plug events

#include <optional>

#include "app/GadgetInstaller.h"
#include "app/CCorvaneHDApp.h"
#include "app/RegistryValues.h"  // speaker test: "HdmiAutoSet"
#include "monitor/OverlayFeed.h"  // on-screen display feed
#include "monitor/SampleLoop.h"  // monitoring
#include "peripherals/KeyboardCompanion.h"  // keyboard companion
#include "peripherals/LcmMessage.h"  // LCD module
#include "peripherals/LcmService.h"  // LCD module
#include "peripherals/ResumePath.h"  // resume from suspend
#include "peripherals/LedLighting.h"  // card lighting
#include "peripherals/SpeakerClips.h"  // speaker test
#include "peripherals/SpeakerTest.h"  // speaker test
#include "platform/AudioDevices.h"  // speaker test
#include "platform/PlatformServices.h"
#include "qt/AdvanceWindow.h"  // advanced control window
#include "qt/AlarmWindow.h"    // monitoring
#include "qt/ChartsHost.h"     // history charts
#include "qt/DisplayBellActions.h"  // monitoring
#include "qt/DisplayToolWindows.h"  // display tools
#include "qt/HostWindow.h"
#include "qt/LcmWindows.h"  // LCD module
#include "qt/MainWindow.h"
#include "qt/PasswordWindow.h"  // phone server
#include "qt/ProfileWindow.h"  // profile window; keeps the profile slots' header clear of Qt's `slots`
#include "qt/QtEventLoop.h"
#include "qt/QtFileOpener.h"  // history charts
#include "qt/QtFontRegistry.h"
#include "qt/QtPrompts.h"
#include "qt/SettingsWindow.h"
#include "qt/Skin.h"
#include "qt/UpdateWindow.h"  // online update check
#include "qt/WindowFrontEnd.h"
#include "remote/RemoteControl.h"  // phone server
#include "tuning/CCorvaneHDDlg.h"
#include "tuning/ProfileSlots.h"      // settings file
#include "tuning/UserSettingsFile.h"  // settings file

namespace vx::qt {
namespace {

void OpenSettingsWindow(app::CCorvaneHDApp& application, platform::SettingsStore& store,
                        tuning::CCorvaneHDDlg& dialog, app::SetDialogHooks hooks, QWidget* parent,
                        DisplayTools* displayTools = nullptr) {
    const GpuRecord* record =
        dialog.currentGpu() >= 0 ? application.gpu().Record(static_cast<uint8_t>(dialog.currentGpu())) : nullptr;
    const app::SetDialogContext context = app::SetDialogContext::ForGpu(record, application.lcmServiceInstalled());
    app::CSetDialog setDialog(application.settings(), store, application.autostart(), context, std::move(hooks));
    DisplayToolActions tools;  // display tools
    if (displayTools) {
        tools.pixelClock = [displayTools, parent] { displayTools->OpenPixelClock(parent); };
        tools.viewer = [displayTools, parent] { displayTools->OpenViewer(parent); };
    }
    SettingsWindow window(setDialog, parent, std::move(tools));
    window.exec();
}

// "Change Password" for the phone, modal over the settings dialog.
void OpenPasswordWindow(platform::SettingsStore& store, remote::RemoteControl& control, ui::IPrompts& prompts,
                        QWidget* parent) {
    app::CPasswordDlg passwordDialog(store, control.storedPassword(), prompts);
    PasswordWindow window(passwordDialog, parent);
    window.exec();
}

// Profile window: SAVE, LOAD and the ten slot buttons over the settings file; modal.
void OpenProfileWindow(tuning::ProfileSlots& profileSlots, ui::IPrompts& prompts, QWidget* parent,
                       std::function<void()> onLoaded) {
    tuning::CCVProfileDlg profileDialog(profileSlots, SystemProfileFileDialogs(parent), prompts);
    ProfileWindow window(profileDialog, profileSlots, std::move(onLoaded), parent);
    window.exec();
}

// LCD module: the display panel and, from it, the "LCM Services" window; both modal.
struct LcmHost {
    std::unique_ptr<peripherals::LcmDisplay> display;
    std::unique_ptr<peripherals::LcmService> service;
    std::unique_ptr<platform::ProcessLauncher> scripts = platform::ProcessLauncher::Make();

    void OpenServices(const std::filesystem::path& programFolder, QWidget* parent) {
        // The flags are those of start-up and the toggle, as the settings dialog's line shows them.
        peripherals::CLCMServicesDlg dialog(*service, *scripts, programFolder);
        LcmServicesWindow window(dialog, parent);
        window.exec();
    }
    void OpenPanel(const tuning::CCorvaneHDDlg& controller, const std::filesystem::path& programFolder,
                   QWidget* parent) {
        LcmPanelWindow window(*display,
                              {[&controller] { return controller.currentGpu(); }, [&controller] { return controller.syncAll(); }},
                              [this, programFolder, &window] { OpenServices(programFolder, &window); }, parent);
        window.exec();
    }
};

// The window shows at once, unless it starts minimized or in the notification area.
void ShowForStartupMode(HostWindow& host, int mode) {
    if (mode == app::kModeMinimize) host.showMinimized();
    else if (mode != app::kModeSysTray || !host.HasTrayIcon()) host.show();
}

class QtWindowFrontEnd final : public WindowFrontEnd {
public:
    std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) override {
        auto qapp = std::make_unique<QApplication>(argc, argv);
        fontRegistry_.emplace();
        return qapp;
    }
    ui::IPrompts& prompts() override { return prompts_; }
    app::FontRegistry& fontRegistry() override { return *fontRegistry_; }
    int Run(const WindowSession& session) override;

private:
    QtPrompts prompts_;
    std::optional<QtFontRegistry> fontRegistry_;
};

// Keyboard companion: the seams it runs over and the plug events, read on this thread.
struct KeyboardHost {
    std::unique_ptr<platform::DeviceList> devices = platform::MakeSysfsDeviceList();
    std::unique_ptr<platform::ProcessLauncher> launcher = platform::ProcessLauncher::Make();
    std::unique_ptr<peripherals::KeyboardBacklight> backlight;
    std::unique_ptr<peripherals::KeyboardCompanion> companion;
    std::unique_ptr<platform::UsbHotplugMonitor> monitor = platform::UsbHotplugMonitor::Open();
    std::unique_ptr<QSocketNotifier> notifier;

    void Start(peripherals::LedLighting& lighting, ui::IPrompts& prompts, const std::filesystem::path& programFolder,
               std::function<void()> changed, std::function<bool()> onLightingPage) {
        // A failing vendor library is told once, on the interface thread.
        backlight = std::make_unique<peripherals::KeyboardBacklight>(programFolder, [&prompts](const std::string& text) {
            QMetaObject::invokeMethod(qApp, [&prompts, text] {
                prompts.MessageBox(text, "", ui::BoxIcon::Warning, ui::BoxButtons::Ok);
            }, Qt::QueuedConnection);
        });
        companion = std::make_unique<peripherals::KeyboardCompanion>(*devices, *launcher, prompts, lighting.effects(),
                                                                     *backlight, programFolder);
        if (!monitor) return;
        notifier = std::make_unique<QSocketNotifier>(monitor->fd(), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this, changed, onLightingPage] {
            if (std::optional<platform::UsbEvent> event = monitor->Receive()) {
                companion->OnDeviceChange(*event, onLightingPage());
                changed();
            }
        });
    }
    void Stop() {
        notifier.reset();
        if (companion) companion->CloseCompanion();
        companion.reset();
    }
};

int QtWindowFrontEnd::Run(const WindowSession& session) {
    app::CCorvaneHDApp& application = session.application;
    platform::PlatformServices& services = session.services;
    tuning::UserSettingsFile& userSettings = session.userSettings;
    QtEventLoop& loop = session.loop;
    // Desktop gadget: installed with the main window (Windows 7 only), fed after every sample; outlives the sampler.
    app::GadgetInstaller gadget(app::GadgetEnvironment::FromSystem(session.dataDir));
    std::unique_ptr<tuning::CCorvaneHDDlg> dialog;
    std::unique_ptr<tuning::ProfileSlots> profileSlots;  // settings file
    QPointer<HostWindow> hostView;
    QPointer<MainWindow> mainView;
    std::unique_ptr<HostWindow> host;
    std::unique_ptr<AdvanceDialogHost> advancedHost;  // advanced control window
    std::unique_ptr<monitor::SampleLoop> sampler;     // monitoring
    std::unique_ptr<platform::OverlayBridge> overlayBridge;  // on-screen display feed
    std::unique_ptr<monitor::OverlayFeed> overlay;           // on-screen display feed
    DisplayBellActions desktopActions(*services.systemActions);  // monitoring: the alarm's beep with a window
    QtFileOpener fileOpener;                                     // history charts
    std::unique_ptr<ChartsHost> charts;                          // history charts
    std::unique_ptr<peripherals::LedLighting> lighting;          // card lighting
    KeyboardHost keyboard;                                       // keyboard companion
    std::unique_ptr<platform::AudioDevices> audioDevices = platform::AudioDevices::Make();  // speaker test
    std::unique_ptr<peripherals::SpeakerTest> speakers;                                   // speaker test
    LcmHost lcm;                                                 // LCD module
    DisplayTools displayTools(loop, prompts_, ui::SystemClock(), session.dataDir);  // display tools
    Skin::Instance().SetDirectory(session.skinDir);
    std::unique_ptr<remote::RemoteControl> phoneServer;  // phone server: outlives the controller whose hooks reach it
    tuning::MainDialogHooks hooks;
    remote::RemoteControl::AddDialogHooks(hooks, phoneServer);  // phone server
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
        if (!dialog || !sampler) return;
        app::SetDialogHooks setHooks = sampler->SettingsDialogHooks();
        setHooks.openPasswordDialog = [&] {  // phone server
            if (phoneServer) OpenPasswordWindow(*services.settingsStore, *phoneServer, prompts_, QApplication::activeWindow());
        };
        OpenSettingsWindow(application, *services.settingsStore, *dialog, std::move(setHooks), hostView, &displayTools);
    };
    // Settings file.
    hooks.saveOrDeleteUserSettings = [&userSettings, &application] {
        userSettings.SaveOrDelete(application.settings().restoreUserSettings);
    };
    hooks.resetProfileSlots = [&profileSlots] {
        if (profileSlots) profileSlots->ResetLooks();
    };
    // End of settings file.
    // Card lighting: the lighting page's apply, and the first step of reset.
    hooks.applyLighting = [&lighting, &dialog] {
        if (lighting && dialog) lighting->ApplyPage(dialog->currentGpu(), dialog->syncAll());
    };
    hooks.restoreLighting = [&lighting, &dialog] {
        if (lighting && dialog) lighting->Reset(dialog->currentGpu());
    };
    hooks.gpuSelected = [&lighting](int) {
        if (lighting) lighting->OnGpuSelected();
    };
    lighting = std::make_unique<peripherals::LedLighting>(application.gpu(), ui::SystemClock(), userSettings.kept.lighting);
    lighting->Startup(0);
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, qGuiApp, [&lighting] { lighting->EndSession(); });
    // End of card lighting.
    dialog = std::make_unique<tuning::CCorvaneHDDlg>(application.gpu(), prompts_, loop, ui::SystemClock(),
                                                     application.settings(), std::move(hooks));
    // Settings file: loads and saves now share the window's hardware lock.
    userSettings.AttachDialog(dialog.get());
    profileSlots = std::make_unique<tuning::ProfileSlots>(userSettings, *dialog, prompts_, ui::SystemClock());
    // End of settings file.
    host = std::make_unique<HostWindow>();
    hostView = host.get();
    WindowFonts fonts{QString::fromStdString(application.fonts().FamilyFor("arial")),
                      QString::fromStdString(application.fonts().FamilyFor("DS-Digital"))};
    auto* view = new MainWindow(*dialog, ReadGpuIdentities(*dialog), fonts);
    mainView = view;
    view->AttachProfileSlots(*profileSlots);
    view->AttachLighting(*lighting);  // card lighting
    // Keyboard companion: its controls on the lighting page, plug events, closed at exit.
    keyboard.Start(*lighting, prompts_, session.dataDir, [&mainView] {
        if (mainView) mainView->ModelChanged();
    }, [&dialog] { return dialog && dialog->activePage() == tuning::kPageLighting; });
    view->AttachKeyboard(*keyboard.companion);
    // End of keyboard companion.
    // Speaker test: page 4, and timer 45 making the card's HDMI audio device the default.
    speakers = std::make_unique<peripherals::SpeakerTest>(*audioDevices, loop,
                                                          peripherals::SpeakerClipFolder(session.skinDir.parent_path()));
    view->AttachSpeakers(*speakers);
    speakers->StartAutoSelect(
        [&services, &application] {
            app::ReadRegFlagInto(*services.settingsStore, app::reg::kHdmiAutoSet, application.settings().hdmiAutoSet);
            return application.settings().hdmiAutoSet;
        },
        [&mainView] {
            if (mainView) mainView->ModelChanged();
        });
    // End of speaker test.
    // LCD module: the saved message at start and after a resume; the panel from the lighting page.
    lcm.display = std::make_unique<peripherals::LcmDisplay>(application.gpu(), prompts_, userSettings.kept.lcm);
    lcm.service = std::make_unique<peripherals::LcmService>(*services.serviceControl, prompts_, ui::SystemClock(),
                                                            application.lcmServiceInstalled(),
                                                            application.lcmServiceRunning());
    lcm.display->Resend();
    view->AttachLcmPanel([&lcm, &dialog, &hostView, &session] {
        if (dialog) lcm.OpenPanel(*dialog, session.dataDir, hostView);
    });
    // End of LCD module.
    host->SetContent(view);
    tuning::CCorvaneHDDlg* controller = dialog.get();
    HostWindow* frame = host.get();
    QObject::connect(frame, &HostWindow::showRequested, frame, [controller] { controller->OnShowFromTray(); });
    QObject::connect(frame, &HostWindow::hideRequested, frame, [controller] { controller->OnHide(); });
    QObject::connect(frame, &HostWindow::quitRequested, frame, [controller] { controller->OnQuit(); });
    // Advanced control and profile windows.
    advancedHost = std::make_unique<AdvanceDialogHost>(*controller, loop);
    QObject::connect(frame, &HostWindow::advancedRequested, frame, [&advancedHost] { advancedHost->Open(); });
    QObject::connect(frame, &HostWindow::profileRequested, frame, [this, &profileSlots, &hostView, &mainView] {
        if (!profileSlots) return;
        OpenProfileWindow(*profileSlots, prompts_, hostView, [&mainView] {
            if (mainView) mainView->ModelChanged();
        });
    });
    // End of advanced control and profile windows.
    ShowForStartupMode(*host, application.startupMode());
    controller->OnInitDialog(application.startupMode());
    // Resume from suspend: settings, the module's message and the lighting again; the window
    // then shows what the hardware holds.
    if (session.resume) {
        session.resume->AttachDisplay(lcm.display.get());
        session.resume->AttachLighting(&lighting->effects());
        session.resume->SetRestoredHook([controller, &mainView] {
            controller->RefreshFromHardware(false);
            if (mainView) mainView->ModelChanged();
        });
    }
    // Phone server: "InitInfo.xml" filled before it listens; the program runs on without it.
    phoneServer = std::make_unique<remote::RemoteControl>(*controller, loop, prompts_, application.settings(),
                                                     *services.settingsStore, ui::SystemClock(),
                                                     remote::ServerOptionsFor(session.dataDir));
    phoneServer->FillInitInfo();
    phoneServer->Start();
    // Monitoring: the sampling loop starts with the window's timers.
    monitor::SampleHooks sampleHooks;
    phoneServer->AddSampleHooks(sampleHooks);  // phone server
    gadget.Install();  // desktop gadget
    sampleHooks.copyToGadget = [&gadget] { gadget.RefreshCopy(); };
    sampleHooks.sampled = [&mainView, &lighting, controller] {
        if (mainView) mainView->SampleTaken();
        lighting->FollowReadings(*controller);  // card lighting
    };
    sampleHooks.showAlarm = [&hostView](monitor::CIndicateInstDialog& window) {
        AlarmWindow::ShowModal(window, hostView);
    };
    sampleHooks.samplingIntervalChanged = [&charts](uint32_t ms) {  // history charts
        if (charts) charts->SetSamplingInterval(ms);
    };
    // On-screen display feed: the overlays get the window before the sampling starts, then every
    // sample's text; they are stopped at quit.
    overlayBridge = platform::MakeOverlayBridge(session.runtimeDir);
    overlay = std::make_unique<monitor::OverlayFeed>(*overlayBridge, application.settings(), *controller,
                                                     ui::SystemClock());
    overlay->InitOverlay(static_cast<platform::OverlayWindow>(frame->winId()));
    overlay->Attach(sampleHooks);
    // End of on-screen display feed.
    sampler = std::make_unique<monitor::SampleLoop>(*controller, application.settings(), *services.settingsStore,
                                                    desktopActions, ui::SystemClock(), std::move(sampleHooks));
    sampler->curve().AttachCurves(userSettings.fanCurves);  // settings file: each GPU's fan curve
    view->AttachSampler(*sampler);
    sampler->Start(loop);
    // End of monitoring.
    // History charts: the monitor page's charts and the monitor window (page button, tray).
    charts = std::make_unique<ChartsHost>(ChartsContext{*controller, application.settings(), loop, ui::SystemClock(),
                                                        prompts_, &fileOpener, session.dataDir});
    charts->Start();
    view->AttachCharts(*charts);
    QObject::connect(frame, &HostWindow::monitorRequested, frame, [&charts] { charts->OpenMonitor(); });
    // End of history charts.
    QObject::connect(frame, &HostWindow::updateRequested, frame, [&services, &loop, &session, fonts, frame] {
        RunUpdateDialog(*services.settingsStore, loop, session.cacheDir, fonts.text, frame);
    });
    ServeInstanceRequests(*QCoreApplication::instance(), *services.instanceGuard, [controller] { controller->OnShowFromTray(); },
                          [&advancedHost] { advancedHost->Open(); });  // advanced control window
    if (session.openAdvanced) advancedHost->Open();                            // advanced control window

    const int status = QCoreApplication::exec();
    sampler->Stop();  // monitoring
    overlay->StopOverlay();  // on-screen display feed: a stale text never shows
    phoneServer->Stop();  // phone server: no request reaches the controller from here on
    // The window goes before the controller it renders, the controller (and its worker)
    // before the GPU layer.
    advancedHost.reset();  // advanced control window: before the controller it reads through
    host.reset();
    speakers.reset();  // speaker test: after the page that draws it; its clip ends with it
    charts.reset();   // history charts: they read the controller's live fields
    sampler.reset();  // monitoring: after the window that shows its curve, before the controller
    overlay.reset();  // on-screen display feed: before the controller it reads
    profileSlots.reset();                // settings file
    userSettings.AttachDialog(nullptr);  // settings file
    keyboard.Stop();   // keyboard companion: the program it started ends with this one
    if (session.resume) {  // resume from suspend: nothing of the window is reached after this
        session.resume->AttachDisplay(nullptr);
        session.resume->AttachLighting(nullptr);
        session.resume->SetRestoredHook({});
    }
    lcm.display.reset();  // LCD module
    lighting.reset();  // card lighting: its thread ends before the GPU layer goes
    dialog.reset();
    Skin::Instance().ReleaseImages();
    return status;
}

}  // namespace
}  // namespace vx::qt

extern "C" vx::qt::WindowFrontEnd* vx_window_front_end() { return new vx::qt::QtWindowFrontEnd(); }
