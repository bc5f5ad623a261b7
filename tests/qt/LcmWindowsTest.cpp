// The LCD module's windows over the simulated demo rig: what is typed and clicked reaches the
// module's register, the service window offers what the flags say, and the lighting page opens
// the panel. VX_SCREENSHOT_DIR keeps the pictures for the documentation.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdlib>
#include <cstring>

#include "gpu/DriverBinding.h"
#include "peripherals/LedLighting.h"
#include "qt/HostWindow.h"
#include "qt/LcmWindows.h"
#include "qt/MainWindow.h"
#include "qt/QtEventLoop.h"
#include "qt/QtTestApp.h"
#include "qt/SkinnedButton.h"
#include "sim/Rig.h"
#include "sim/Simulator.h"
#include "support/FakeClock.h"
#include "support/FakeShellServices.h"
#include "support/ScriptedPrompts.h"

namespace vx::test {
namespace {

void Keep(QWidget& widget, const char* name) {
    if (const char* dir = std::getenv("VX_SCREENSHOT_DIR")) widget.grab().save(QString(dir) + "/" + name);
}

class LcmWindowsTest : public ::testing::Test {
protected:
    LcmWindowsTest() {
        QtTestApp();
        simulator = std::make_unique<sim::Simulator>(sim::DemoRig());
        simulator->SetClock(clock);
        simulator->Activate();
        binding = std::make_unique<driver::DriverBinding>(driver::InProcessOpener(sim::Simulator::QueryInterface()));
        gpus = std::make_unique<GpuAccess>(*binding);
        gpus->SetClock(clock);
        gpus->SetTraceSink([](const std::string&) {});
        gpus->SetDebugSink([](const std::string&) {});
        EXPECT_EQ(gpus->Initialize(), 0);
        display = std::make_unique<peripherals::LcmDisplay>(*gpus, prompts, saved);
    }
    ~LcmWindowsTest() override {
        display.reset();
        gpus.reset();
        binding.reset();
        simulator.reset();
    }
    std::vector<std::vector<uint8_t>> Messages() const { return simulator->I2cLcdMessages(0, 2, 0x9C); }

    FakeClock clock;
    ScriptedPrompts prompts;
    tuning::LcmValues saved;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<driver::DriverBinding> binding;
    std::unique_ptr<GpuAccess> gpus;
    std::unique_ptr<peripherals::LcmDisplay> display;
};

TEST_F(LcmWindowsTest, PanelSendsWhatIsTypedAndKeepsItOnlyWhenItCanBeShown) {
    int services = 0;
    qt::LcmPanelWindow window(*display, {[] { return 0; }, [] { return false; }}, [&services] { ++services; });
    window.show();
    window.findChild<QComboBox*>("lcmScreenCount")->setCurrentIndex(2);
    ASSERT_TRUE(window.findChild<QLineEdit*>("lcmScreen3")->isEnabled());
    EXPECT_FALSE(window.findChild<QLineEdit*>("lcmStandardText")->isEnabled());
    window.findChild<QLineEdit*>("lcmScreen1")->setText("Veltrix");
    window.findChild<QLineEdit*>("lcmScreen2")->setText("Plus");
    window.findChild<QLineEdit*>("lcmScreen3")->setText("OC 1900 MHz");
    window.findChild<QComboBox*>("lcmMode")->setCurrentIndex(1);
    window.findChild<QCheckBox*>("lcmToggle0")->setChecked(false);
    window.findChild<QCheckBox*>("lcmToggle1")->setChecked(true);
    window.findChild<QPushButton*>("apply")->click();
    std::vector<uint8_t> expected = {0x91, 0x83};
    for (const char* text : {"Veltrix\r", "Plus\r", "OC 1900 MHz"}) expected.insert(expected.end(), text, text + std::strlen(text));
    expected.push_back(0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages().back(), expected);
    EXPECT_EQ(saved.fontAndScreen, 0x83);
    Keep(window, "lcm-panel.png");

    window.findChild<QLineEdit*>("lcmScreen2")->setText(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F" "e"));
    window.findChild<QPushButton*>("apply")->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, peripherals::kLcmBadCharacterText);
    EXPECT_EQ(Messages().size(), 1u);
    EXPECT_EQ(saved.screens[1], u"Plus");

    window.findChild<QPushButton*>("lcmServices")->click();
    EXPECT_EQ(services, 1);
}

TEST_F(LcmWindowsTest, ServiceWindowStopsARunningService) {
    FakeServiceControl control;
    control.polls = {{true, platform::ServiceControl::State::Running, false, std::chrono::milliseconds(1)},
                     {true, platform::ServiceControl::State::Stopped, false, std::chrono::milliseconds(1)}};
    peripherals::LcmService service(control, prompts, clock, true, true);
    struct NoLauncher : platform::ProcessLauncher {
        bool Start(const std::filesystem::path&) override { return false; }
        bool Running() override { return false; }
        bool Terminate() override { return false; }
    } launcher;
    peripherals::CLCMServicesDlg dialog(service, launcher, "/tmp");
    qt::LcmServicesWindow window(dialog);
    window.show();
    EXPECT_EQ(window.findChild<QPushButton*>("install"), nullptr);
    ASSERT_NE(window.findChild<QPushButton*>("uninstall"), nullptr);
    QList<QRadioButton*> radios = window.findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 2);
    EXPECT_TRUE(radios[0]->isChecked());
    Keep(window, "lcm-services.png");
    window.findChild<QPushButton*>("startStop")->click();
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(control.requests, std::vector<std::string>{"stop TestServices"});
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "stop success.");
    EXPECT_FALSE(service.running());
}

TEST_F(LcmWindowsTest, TheLightingPageOpensThePanel) {
    qt::QtEventLoop loop;
    app::AppSettings settings;
    tuning::CCorvaneHDDlg dialog(*gpus, prompts, loop, clock, settings, {});
    tuning::LightingValues lightingSaved;
    peripherals::LedLighting lighting(*gpus, clock, lightingSaved);
    qt::HostWindow host;
    auto* window = new qt::MainWindow(dialog, qt::ReadGpuIdentities(dialog));
    host.SetContent(window);
    dialog.OnInitDialog(1);
    window->AttachLighting(lighting);
    int opened = 0;
    window->AttachLcmPanel([&opened] { ++opened; });
    dialog.ShowPage(tuning::kPageLighting);
    host.resize(1010, 600);
    host.show();
    window->ModelChanged();
    QCoreApplication::processEvents();
    auto* button = window->findChild<qt::SkinnedButton*>("lcmPanel");
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible());
    Keep(host, "page-3-lighting-lcd.png");
    button->click();
    EXPECT_EQ(opened, 1);
}

}  // namespace
}  // namespace vx::test
