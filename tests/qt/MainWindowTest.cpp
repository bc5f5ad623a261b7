// The main window over the tuning controller on a simulated rig: what a user does to the
// widgets reaches the models and the simulated hardware, and what the models hold shows.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QRegularExpression>

#include <filesystem>
#include <memory>

#include "app/CMultiLangSupp.h"
#include "gpu/DriverBinding.h"
#include "gpu/NvApiIds.h"
#include "monitor/SampleLoop.h"
#include "peripherals/SpeakerTest.h"
#include "qt/FanCurveView.h"
#include "qt/MainWindow.h"
#include "qt/QtEventLoop.h"
#include "qt/QtTestApp.h"
#include "qt/Skin.h"
#include "qt/SkinnedButton.h"
#include "qt/SkinnedSlider.h"
#include "qt/WaitProgressWindow.h"
#include "sim/ClockConfig.h"
#include "sim/Rig.h"
#include "sim/Simulator.h"
#include "support/FakeAudioDevices.h"
#include "support/FakeClock.h"
#include "support/FakeSettingsStore.h"
#include "support/FakeSystemActions.h"
#include "support/ScriptedPrompts.h"

namespace vx::test {
namespace {

constexpr int kPascal = 0;  // demo rig: VF points
constexpr int kKepler = 1;  // demo rig: P-state 2.0

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() { QtTestApp(); }
    ~MainWindowTest() override {
        // The window before the controller it renders, the controller (and its worker) before
        // the driver.
        window.reset();
        sampler.reset();
        dialog.reset();
        gpus.reset();
        binding.reset();
        simulator.reset();
    }

    void Open(sim::Rig rig) {
        simulator = std::make_unique<sim::Simulator>(std::move(rig));
        simulator->SetClock(clock);
        simulator->Activate();
        binding = std::make_unique<driver::DriverBinding>(driver::InProcessOpener(sim::Simulator::QueryInterface()));
        gpus = std::make_unique<GpuAccess>(*binding);
        gpus->SetClock(clock);
        gpus->SetPrompts(&prompts);
        gpus->SetTraceSink([](const std::string&) {});
        gpus->SetDebugSink([](const std::string&) {});
        ASSERT_EQ(gpus->Initialize(), 0);
        settings.Load(store);
        tuning::MainDialogHooks hooks;
        hooks.modelChanged = [this] {
            if (window) window->ModelChanged();
        };
        dialog = std::make_unique<tuning::CCorvaneHDDlg>(*gpus, prompts, loop, clock, settings, hooks);
        window = std::make_unique<qt::MainWindow>(*dialog, qt::ReadGpuIdentities(*dialog));
        dialog->OnInitDialog(1);
        window->resize(1000, 620);
        window->show();
        QCoreApplication::processEvents();
    }

    qt::SkinnedSlider* Slider(const ui::CCVSlider& model) {
        qt::SkinnedSlider* widget = window->SliderFor(model);
        EXPECT_NE(widget, nullptr);
        return widget;
    }
    qt::SkinnedButton* Button(const ui::CCVButton& model) {
        qt::SkinnedButton* widget = window->ButtonFor(model);
        EXPECT_NE(widget, nullptr);
        return widget;
    }
    bool WaitForBox(const std::string& text) {
        return ProcessEventsUntil([&] {
            for (const auto& box : prompts.shown)
                if (box.text == text) return true;
            return false;
        });
    }
    const ScriptedPrompts::Shown* Box(const std::string& text) const {
        for (const auto& box : prompts.shown)
            if (box.text == text) return &box;
        return nullptr;
    }
    QStringList LabelTexts() const {
        QStringList texts;
        for (const QLabel* label : window->findChildren<QLabel*>())
            if (label->isVisibleTo(window.get())) texts << label->text();
        return texts;
    }

    FakeClock clock;  // the worker's waits pass at once
    qt::QtEventLoop loop;
    ScriptedPrompts prompts;
    FakeSettingsStore store;
    app::AppSettings settings;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<driver::DriverBinding> binding;
    std::unique_ptr<GpuAccess> gpus;
    std::unique_ptr<tuning::CCorvaneHDDlg> dialog;
    std::unique_ptr<qt::MainWindow> window;
    FakeSystemActions actions;
    std::unique_ptr<monitor::SampleLoop> sampler;
};

TEST_F(MainWindowTest, SliderWidgetsMoveTheirModelAndTheLinkedOne) {
    Open(sim::DemoRig());
    tuning::MainSliders& s = dialog->sliders;
    ASSERT_TRUE(s.powerTarget.IsEnabled() && s.tempTarget.IsEnabled()) << "the demo GPU has both targets";

    // Linked targets: the power slider drags the temperature slider with it, in both views.
    Button(dialog->buttons.powerTempLink)->click();
    ASSERT_TRUE(dialog->record(kPascal).powerTempLinked);
    EXPECT_EQ(Button(dialog->buttons.powerTempLink)->imageBase(), "img_200");
    const int temperatureBefore = s.tempTarget.GetPos();
    Slider(s.powerTarget)->setValue(s.powerTarget.GetRangeMax());
    EXPECT_EQ(s.powerTarget.GetPos(), s.powerTarget.GetRangeMax());
    EXPECT_EQ(s.tempTarget.GetPos(), s.tempTarget.GetRangeMax()) << "from " << temperatureBefore;
    EXPECT_EQ(Slider(s.tempTarget)->value(), s.tempTarget.GetPos());

    // Keys and a press on the groove go through the same path.
    qt::SkinnedSlider* vf = Slider(s.gpuVfOffset);
    ASSERT_TRUE(vf->isVisible() && vf->isEnabled());
    const int before = s.gpuVfOffset.GetPos();
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QCoreApplication::sendEvent(vf, &right);
    EXPECT_EQ(s.gpuVfOffset.GetPos(), before + 1);
    const QPointF end(vf->width() - 1, vf->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, end, vf->mapToGlobal(end), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(vf, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, end, vf->mapToGlobal(end), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(vf, &release);
    EXPECT_EQ(s.gpuVfOffset.GetPos(), s.gpuVfOffset.GetRangeMax());

    // A model the controller disabled takes no user moves: the fan slider stays in automatic.
    ASSERT_FALSE(s.fanSpeed.IsEnabled());
    EXPECT_FALSE(Slider(s.fanSpeed)->isEnabled());
    Button(dialog->buttons.fanMode)->click();
    EXPECT_TRUE(Slider(s.fanSpeed)->isEnabled());
    EXPECT_EQ(Button(dialog->buttons.fanMode)->imageBase(), "img_202");
}

TEST_F(MainWindowTest, ApplyReachesTheSimulatorAndTheResultShowsItsBox) {
    Open(sim::DemoRig());
    Button(dialog->buttons.gpu[kKepler])->click();
    ASSERT_EQ(dialog->currentGpu(), kKepler);
    ui::CCVSlider& offset = dialog->sliders.gpuClockOffset;
    ASSERT_TRUE(Slider(offset)->isVisible() && offset.IsEnabled());
    const int target = offset.GetRangeMax() > 50 ? 50 : offset.GetRangeMax();
    Slider(offset)->setValue(target);

    Button(dialog->buttons.apply)->click();
    ASSERT_TRUE(WaitForBox("Hardware settings applied!")) << prompts.shown.size() << " boxes";
    const ScriptedPrompts::Shown* box = Box("Hardware settings applied!");
    EXPECT_EQ(box->caption, "Veltrix Plus");
    EXPECT_EQ(box->icon, ui::BoxIcon::Information);
    dialog->JoinWorker();
    EXPECT_EQ(sim::Pstate0DeltasKhz(simulator->rig().gpus[kKepler].clocks).first, target * 1000);
    EXPECT_EQ(Slider(offset)->value(), offset.GetPos()) << "the window shows what the GPU holds";
}

// The VF-point GPU's apply asks before writing: the worker waits on the answer meanwhile.
TEST_F(MainWindowTest, TheWaitBarShowsWhileTheClockWorkerRunsAndGoesAfter) {
    Open(sim::DemoRig());
    ASSERT_EQ(dialog->currentGpu(), kPascal);
    auto* wait = window->findChild<qt::WaitProgressWindow*>();
    ASSERT_NE(wait, nullptr);
    bool shownDuringWork = false;
    prompts.onShow = [&](const ScriptedPrompts::Shown& box) {
        if (box.text == app::Text(app::msg::kOverclockWarning)) shownDuringWork = wait->isVisible();
    };
    Button(dialog->buttons.apply)->click();
    ASSERT_TRUE(WaitForBox("Hardware settings applied!"));
    EXPECT_TRUE(shownDuringWork);
    dialog->JoinWorker();
    EXPECT_TRUE(ProcessEventsUntil([&] { return !wait->isVisible(); }));
}

TEST_F(MainWindowTest, AFailedApplyShowsTheErrorBox) {
    Open(sim::DemoRig());
    Button(dialog->buttons.gpu[kKepler])->click();
    // The worker's read of the work mode's clocks fails.
    simulator->ForceStatus(nvapi::GPU_GetPerfClocks, -1);
    Button(dialog->buttons.apply)->click();
    ASSERT_TRUE(WaitForBox("Overclocking apply failed!"));
    EXPECT_EQ(Box("Overclocking apply failed!")->icon, ui::BoxIcon::Error);
    EXPECT_EQ(Box("Hardware settings applied!"), nullptr);
}

TEST_F(MainWindowTest, GpuAndPageButtonsSwitchWhatTheWindowShows) {
    Open(sim::DemoRig());
    tuning::MainButtons& b = dialog->buttons;
    for (int i = 0; i < tuning::kMaxGpuSlots; ++i)
        EXPECT_EQ(Button(b.gpu[i])->isVisible(), i < 2) << "GPU button " << i;
    EXPECT_TRUE(Button(b.syncAll)->isEnabled()) << "two GPUs can be synchronised";
    EXPECT_TRUE(Button(b.gpu[kPascal])->isOn());
    EXPECT_TRUE(LabelTexts().contains("1b82"));
    EXPECT_TRUE(Slider(dialog->sliders.gpuVfOffset)->isVisible());
    EXPECT_FALSE(Slider(dialog->sliders.gpuClockOffset)->isVisible());

    Button(b.gpu[kKepler])->click();
    EXPECT_EQ(dialog->currentGpu(), kKepler);
    EXPECT_TRUE(Button(b.gpu[kKepler])->isOn());
    EXPECT_FALSE(Button(b.gpu[kPascal])->isOn());
    const QStringList texts = LabelTexts();
    EXPECT_TRUE(texts.contains("1184"));
    EXPECT_TRUE(texts.contains("GPU 1  GeForce GTX 770"));
    EXPECT_TRUE(texts.contains("410.91"));
    EXPECT_FALSE(Slider(dialog->sliders.gpuVfOffset)->isVisible()) << "VF sliders belong to VF GPUs only";
    EXPECT_TRUE(Slider(dialog->sliders.gpuClockOffset)->isVisible());

    // Pages: the regulator page hides the overclocking rows.
    Button(b.pages[tuning::kPageRegulators])->click();
    EXPECT_EQ(dialog->activePage(), tuning::kPageRegulators);
    EXPECT_TRUE(Button(b.pages[tuning::kPageRegulators])->isOn());
    EXPECT_FALSE(Slider(dialog->sliders.gpuClockOffset)->isVisible());
    EXPECT_EQ(window->ButtonFor(b.pages[4]), nullptr) << "page 4 does not exist";
    Button(b.pages[tuning::kPageOneClick])->click();
    Button(b.oneClick[1])->click();
    EXPECT_EQ(dialog->oneClickMode(), tuning::kOneClickBoost3);
    EXPECT_TRUE(Button(b.oneClick[1])->isOn());
    EXPECT_FALSE(Button(b.oneClick[0])->isOn());
}

TEST_F(MainWindowTest, LegacyGpusShowTheirClocksWorkModesAndUnlocks) {
    sim::RigLoadResult loaded = sim::LoadRigFile(std::filesystem::path(VX_TEST_ASSETS) / "rigs/legacy.json");
    ASSERT_TRUE(loaded.rig.has_value());
    Open(std::move(*loaded.rig));
    tuning::MainButtons& b = dialog->buttons;
    tuning::MainSliders& s = dialog->sliders;
    EXPECT_TRUE(Slider(s.coreClock)->isVisible());
    EXPECT_FALSE(Slider(s.gpuClockOffset)->isVisible());
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Button(b.workMode[i])->isVisible()) << "work mode " << i;
    EXPECT_EQ(Button(b.workMode[0])->text(), "2D");
    EXPECT_EQ(Button(b.linkCoreShader)->imageBase(), "img_200");

    Button(b.workMode[2])->click();  // "3D PERF"
    EXPECT_EQ(dialog->record(0).workMode, tuning::kWorkMode3DPerf);
    EXPECT_TRUE(Button(b.workMode[2])->isOn());
    EXPECT_FALSE(Button(b.workMode[0])->isOn());
    const int maximum = s.coreClock.GetRangeMax();
    Button(b.unlockMax)->click();
    EXPECT_TRUE(Button(b.unlockMax)->isOn());
    EXPECT_EQ(Slider(s.coreClock)->maximum(), s.coreClock.GetRangeMax());
    EXPECT_GT(s.coreClock.GetRangeMax(), maximum) << "the widened range reaches the widget";
}

// The value tile of a live field, found by its message row.
QLabel* LiveTile(qt::MainWindow& window, int row) {
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->property("liveRow").toInt() == row) return label;
    return nullptr;
}

TEST_F(MainWindowTest, MonitorPageShowsEverySampleInTheLabelColours) {
    Open(sim::DemoRig());
    monitor::SampleHooks hooks;
    hooks.sampled = [this] { window->SampleTaken(); };
    sampler = std::make_unique<monitor::SampleLoop>(*dialog, settings, store, actions, clock, hooks);
    window->AttachSampler(*sampler);
    dialog->ShowPage(tuning::kPageMonitor);
    window->Render();

    QLabel* temperature = LiveTile(*window, 21);
    QLabel* clock = LiveTile(*window, 18);
    ASSERT_TRUE(temperature && clock);
    sampler->SampleTick();
    const tuning::LiveFields& live = dialog->record(kPascal).live;
    ASSERT_GT(live.temperature, 0);
    EXPECT_EQ(temperature->text(), QString::number(live.temperature));
    EXPECT_EQ(clock->text(), QString::number(live.graphicsClock));
    EXPECT_EQ(temperature->styleSheet(), "color: rgb(245, 245, 245);");

    // The alarm armed in the store turns the temperature red at the next sample.
    store.values[app::reg::kTemperatureAlarmSet] = 1;
    store.values[app::reg::kTemperatureAlarmValue] = 25;  // far above the board
    sampler->SampleTick();
    EXPECT_EQ(temperature->styleSheet(), "color: rgb(245, 0, 0);");
    EXPECT_TRUE(actions.beeps.empty());

    // The other GPU's values show once it is selected.
    dialog->SelectGpu(kKepler);
    sampler->SampleTick();
    EXPECT_EQ(temperature->text(), QString::number(dialog->record(kKepler).live.temperature));
}

TEST_F(MainWindowTest, FanCurveDrawsTheModelAndItsDoubleClickSwitchesTheShape) {
    Open(sim::DemoRig());
    sampler = std::make_unique<monitor::SampleLoop>(*dialog, settings, store, actions, clock);
    window->AttachSampler(*sampler);
    dialog->ShowPage(tuning::kPageMonitor);
    window->Render();
    sampler->SampleTick();
    qt::FanCurveView* view = window->fanCurve();
    ASSERT_TRUE(view && view->isVisibleTo(window.get()));
    ASSERT_GT(view->height(), 100);
    monitor::CLineChartCtrl& curve = sampler->curve();

    // Zigzag: the step leaves the first point level; smooth: it rises straight to the second.
    const auto marks = curve.PointMarks();
    const QPoint step((marks[0].x + marks[1].x) / 2, marks[0].y);
    const QColor cyan(29, 255, 255);
    QImage image = view->grab().toImage();
    EXPECT_EQ(image.pixelColor(marks[2].x, marks[2].y), cyan);
    EXPECT_EQ(image.pixelColor(step), cyan);
    // The band is dotted: some of its row in its colour, not all.
    const int bandY = curve.BandY(curve.fanMax());
    int dots = 0;
    for (int x = curve.plot().left; x < curve.plot().right; ++x) dots += image.pixelColor(x, bandY) == QColor(128, 128, 0);
    EXPECT_GT(dots, 5);
    EXPECT_LT(dots, (curve.plot().right - curve.plot().left) * 3 / 4);

    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(step), view->mapToGlobal(QPointF(step)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &click);
    EXPECT_EQ(curve.shape(), monitor::kShapeSmooth);
    image = view->grab().toImage();
    EXPECT_NE(image.pixelColor(step), cyan);

    // A drag moves the point it grabbed to the value under the mouse, clamped to the band.
    auto mouse = [&](QEvent::Type type, QPoint at) {
        QMouseEvent event(type, QPointF(at), view->mapToGlobal(QPointF(at)), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    };
    const auto pixel = [&](monitor::CurvePoint p) { return QPoint(curve.ToPixel(p).x, curve.ToPixel(p).y); };
    mouse(QEvent::MouseButtonPress, pixel({60, 60}) + QPoint(3, 3));
    mouse(QEvent::MouseMove, pixel({70, 30}));
    mouse(QEvent::MouseMove, pixel({50, 35}));
    mouse(QEvent::MouseButtonRelease, pixel({50, 35}));
    EXPECT_EQ(curve.points()[2], (monitor::CurvePoint{50, std::max(35, curve.fanMin())}));
    mouse(QEvent::MouseMove, pixel({70, 70}));  // no button held: nothing moves
    EXPECT_EQ(curve.points()[2].x, 50);

    // Tab walks the points, the arrows move the selected one; the context menu resets.
    auto key = [&](int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, code, modifiers);
        QCoreApplication::sendEvent(view, &event);
    };
    view->setFocus();
    key(Qt::Key_Tab);
    EXPECT_EQ(curve.selectedPoint(), 3);
    key(Qt::Key_Up);
    key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(curve.points()[3], (monitor::CurvePoint{75, 81}));
    view->resetAction()->trigger();
    EXPECT_EQ(curve.points(), monitor::CLineChartCtrl::kStartPoints);

    // The marker shows where the card is.
    curve.SetMarker(monitor::CurvePoint{45, 62});
    image = view->grab().toImage();
    const QPoint marker = pixel({45, 62});
    EXPECT_EQ(image.pixelColor(marker), QColor(255, 96, 64));

    dialog->SelectGpu(kKepler);
    EXPECT_EQ(curve.selectedGpu(), kKepler) << "edits go to the selected GPU's curve at once";
    dialog->SelectGpu(kPascal);

    // The curve switch beside the fan slider hands the fan to this curve for the current GPU.
    dialog->ShowPage(tuning::kPageOverclock);
    window->Render();
    Button(dialog->buttons.curveSwitch)->click();
    EXPECT_EQ(gpus->uiFlag(kPascal), 1);
}

TEST_F(MainWindowTest, TheSpeakerPagePlaysTheClickedSpeakerAndShowsItLit) {
    Open(sim::DemoRig());
    FakeAudioDevices audio;
    audio.devices = {{"hdmi", "HDA NVidia Digital Stereo (HDMI)", "HDA NVidia"}};
    peripherals::SpeakerTest speakers(audio, loop, "/clips");
    window->AttachSpeakers(speakers);
    speakers.StartAutoSelect([] { return false; }, [this] { window->ModelChanged(); });
    Button(dialog->buttons.pages[tuning::kPageSpeakers])->click();
    EXPECT_EQ(dialog->activePage(), tuning::kPageSpeakers);
    auto* picture = window->findChild<QWidget*>("speakerPicture");
    ASSERT_TRUE(picture && picture->isVisible());
    EXPECT_FALSE(Slider(dialog->sliders.fanSpeed)->isVisible());

    // Front right (row 3) at 359,380 in window coordinates; the picture starts at 100,320.
    const QPoint frontRight(359 - 100 + 10, 380 - 320 + 23);
    const QColor idle = picture->grab().toImage().pixelColor(frontRight);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(frontRight), picture->mapToGlobal(QPointF(frontRight)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(picture, &press);
    EXPECT_EQ(audio.played, std::vector<std::string>{"clip3.wav"});
    const QColor lit = picture->grab().toImage().pixelColor(frontRight);
    EXPECT_GT(lit.blue(), idle.blue() + 60) << "the highlight image is drawn over the speaker";

    Button(speakers.autoSelect)->click();
    speakers.WaitForAutoSelect();
    QCoreApplication::processEvents();  // the result, posted back
    EXPECT_EQ(audio.defaultsSet, std::vector<std::string>{"hdmi"});
    EXPECT_TRUE(LabelTexts().join("|").contains("HDMI: the card's audio device is connected"));
    Button(speakers.play)->click();
    EXPECT_EQ(audio.played.back(), "clip3.wav");
    if (const char* folder = std::getenv("VX_SCREENSHOT_DIR"))
        window->grab().save(QString(folder) + "/page-4-speakers.png");
    window.reset();  // before the speakers it draws
}

TEST_F(MainWindowTest, EveryImageTheWindowDrawsIsInTheSkinAtBothScales) {
    Open(sim::DemoRig());
    qt::Skin& skin = qt::Skin::Instance();
    skin.SetDirectory(skin.directory());  // forget earlier tests' lookups
    FakeAudioDevices audio;
    peripherals::SpeakerTest speakers(audio, loop, "/clips");
    window->AttachSpeakers(speakers);
    speakers.PlaySpeaker(0);  // the highlight images too
    for (int page : {0, 1, 2, 3, 4, 5, 6}) {
        dialog->ShowPage(page);
        window->grab();
    }
    for (ui::CCVButton* toggle : {&dialog->buttons.frameRate, &dialog->buttons.overVoltage,
                                  &dialog->buttons.voltageLock, &dialog->buttons.factoryBoost}) {
        qt::SkinnedButton* widget = window->ButtonFor(*toggle);
        skin.Pixmap(widget->imageBase() + "_hover", 1.0);
    }
    EXPECT_TRUE(skin.missing().isEmpty()) << skin.missing().values().join(", ").toStdString();

    const QDir dir(QString::fromStdString(skin.directory().string()));
    const QStringList plain = dir.entryList({"*.png"}, QDir::Files).filter(QRegularExpression("^[^@]+\\.png$"));
    ASSERT_GT(plain.size(), 50);
    for (const QString& name : plain) {
        const QImage one(dir.filePath(name));
        const QImage two(dir.filePath(QString(name).replace(".png", "@2x.png")));
        EXPECT_FALSE(two.isNull()) << name.toStdString() << " has no 2x image";
        EXPECT_EQ(two.size(), one.size() * 2) << name.toStdString();
    }
    window.reset();  // before the speakers it draws
}

}  // namespace
}  // namespace vx::test
