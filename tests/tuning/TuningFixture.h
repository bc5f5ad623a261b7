#pragma once
// The main dialog over a simulated rig: GpuAccess bound to its own simulator, scripted message
// boxes, a fake clock with a manual event loop, and the settings the dialog reads.
//
//   class MyTest : public vx::tuningtest::TuningFixture {};
//   TEST_F(MyTest, X) { StartDialog(vx::test::RigBuilder().Gpu(0x1184).Build()); ... }
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/AppSettings.h"
#include "gpu/DriverBinding.h"
#include "gpu/GpuAccess.h"
#include "sim/Rig.h"
#include "sim/Simulator.h"
#include "support/ClockRigs.h"
#include "support/FakeClock.h"
#include "support/FakeSettingsStore.h"
#include "support/ManualEventLoop.h"
#include "support/RigBuilder.h"
#include "support/ScriptedPrompts.h"
#include "tuning/CCorvaneHDDlg.h"

namespace vx::tuningtest {

/// PCI device IDs of the three families the dialog tells apart.
inline constexpr uint16_t kPascalId = 0x1B82;  // VF points
inline constexpr uint16_t kKeplerId = 0x1184;  // P-state 2.0
inline constexpr uint16_t kFermiId = 0x06CD;   // legacy perf levels only

class TuningFixture : public ::testing::Test {
protected:
    ~TuningFixture() override {
        // The dialog (and any worker it runs) goes before the driver it talks to.
        dialog.reset();
        gpus.reset();
        binding.reset();
        simulator.reset();
    }

    /// Activates a simulator for `rig`, initialises GpuAccess (0 expected) and builds the
    /// dialog without running OnInitDialog.
    void Start(sim::Rig rig) {
        dialog.reset();
        gpus.reset();
        binding.reset();
        simulator = std::make_unique<sim::Simulator>(std::move(rig));
        simulator->SetClock(clock);
        simulator->Activate();
        binding = std::make_unique<driver::DriverBinding>(driver::InProcessOpener(sim::Simulator::QueryInterface()));
        gpus = std::make_unique<GpuAccess>(*binding);
        gpus->SetClock(clock);
        gpus->SetPrompts(&prompts);
        gpus->SetTraceSink([this](const std::string& text) { traces.push_back(text); });
        gpus->SetDebugSink([](const std::string&) {});
        ASSERT_EQ(gpus->Initialize(), 0);
        settings.Load(store);
        dialog = std::make_unique<tuning::CCorvaneHDDlg>(*gpus, prompts, loop, clock, settings, hooks);
    }

    /// Start, then OnInitDialog (GPU 0 selected with the live read).
    void StartDialog(sim::Rig rig, int startupMode = 1) {
        Start(std::move(rig));
        if (dialog) dialog->OnInitDialog(startupMode);
    }

    /// The demo rig: GPU 0 with VF points, GPU 1 on P-state 2.0 with a fan microcontroller.
    static sim::Rig DemoRig() { return sim::DemoRig(); }

    /// One GPU of `deviceId` with the P-state 2.0 table of a Kepler-class board.
    static sim::Rig Pstates20Rig(uint16_t deviceId = kKeplerId) {
        sim::Rig rig = test::RigBuilder().Gpu(deviceId).Build();
        rig.gpus[0].clocks = test::Pstates20Clocks();
        return rig;
    }

    /// One legacy GPU of `deviceId` with an on-card voltage controller of `kind`.
    static sim::Rig VoltageDeviceRig(uint16_t deviceId, sim::I2cDeviceKind kind, uint8_t port, uint8_t address) {
        sim::Rig rig = test::RigBuilder().Gpu(deviceId).Build();
        sim::I2cDeviceConfig device;
        device.kind = kind;
        device.port = port;
        device.address = address;
        rig.gpus[0].i2cDevices = {device};
        return rig;
    }

    /// Calls the simulator received for entry `id` since the last ClearCalls.
    std::vector<sim::CallRecord> CallsTo(uint32_t id) const { return simulator->CallsTo(id); }
    void ClearCalls() { simulator->ClearCalls(); }
    /// The live rig (written state lands in it).
    sim::Rig& rig() { return simulator->rig(); }
    tuning::CCorvaneHDDlg& dlg() { return *dialog; }

    /// Message boxes shown so far whose text contains `fragment`.
    int CountShown(const std::string& fragment) const {
        int count = 0;
        for (const auto& box : prompts.shown)
            if (box.text.find(fragment) != std::string::npos) ++count;
        return count;
    }

    test::FakeClock clock;
    test::ManualEventLoop loop{clock};
    test::ScriptedPrompts prompts;
    test::FakeSettingsStore store;
    app::AppSettings settings;
    tuning::MainDialogHooks hooks;  // set before Start to take effect
    std::vector<std::string> traces;

    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<driver::DriverBinding> binding;
    std::unique_ptr<GpuAccess> gpus;
    std::unique_ptr<tuning::CCorvaneHDDlg> dialog;
};

}  // namespace vx::tuningtest
