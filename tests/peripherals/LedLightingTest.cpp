// The lighting controller and the effect thread against the simulator's lighting controllers:
// probes, colour writes of each kind, and what each effect leaves in the recorded colours.
#include "../gpu/I2cTestSupport.h"

#include "peripherals/LedLighting.h"
#include "support/ManualEventLoop.h"
#include "support/ScriptedPrompts.h"
#include "tuning/CCorvaneHDDlg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace vx::gputest {
namespace {

using peripherals::LedColour;
using peripherals::LedController;
using peripherals::LedEffectParams;
using peripherals::LedEffects;
using sim::LightingColour;
using ::testing::ElementsAre;
using ::testing::Each;
using ::testing::ElementsAreArray;

constexpr uint8_t kBus = 2;  // the port byte every lighting transfer uses
const auto kLed1 = Device(I2cDeviceKind::LedController1, kBus, 0x40);
const auto kLed2 = Device(I2cDeviceKind::LedController2, kBus, 0x8A);
const auto kLed3 = Device(I2cDeviceKind::LedController3, kBus, 0x58);

template <class Condition>
bool WaitFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Sleeps take no time at first; later ones a real millisecond, so an effect that a test lets run
// on cannot overrun the simulator's colour record before the test stops it.
class PacedClock : public test::FakeClock {
public:
    static constexpr uint64_t kFastSleeps = 1000;
    void SleepMs(uint32_t ms) override {
        if (++sleeps > kFastSleeps) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        FakeClock::SleepMs(ms);
    }
    std::atomic<uint64_t> sleeps{0};
};

class LedLightingTest : public I2cGpus {
protected:
    void StartWith(std::vector<std::vector<sim::I2cDeviceConfig>> boards) {
        effects.reset();  // a running effect ends before the GPUs it writes to go
        std::vector<sim::GpuModel> models;
        for (auto& devices : boards) models.push_back(GpuWith(0x1B82, std::move(devices)));
        ASSERT_EQ(StartAndInitialize(RigOf(std::move(models))), 0);
        controller = std::make_unique<LedController>(*gpus);
        effectClock.sleeps = 0;
        effects = std::make_unique<LedEffects>(*controller, effectClock);
        simulator->ClearCalls();
    }
    void TearDown() override { effects.reset(); }
    std::vector<LightingColour> Colours(uint8_t address, std::size_t gpu = 0) const {
        return simulator->I2cLightingColours(gpu, kBus, address);
    }
    /// Addresses the transfers went to, a retry through the extended entry counted once.
    std::vector<int> AddressesTried() const {
        std::vector<int> addresses;
        for (const I2cCall& call : I2cCalls())
            if (!call.extended()) addresses.push_back(call.address);
        return addresses;
    }
    void Run(int32_t selector, LedColour colour, int32_t gpuCount = 1) {
        effects->StartLedEffect(LedEffectParams{0, selector, gpuCount, selector, colour}, {});
    }
    void RunUntil(int32_t selector, LedColour colour, std::size_t colours, int32_t gpuCount = 1) {
        Run(selector, colour, gpuCount);
        EXPECT_TRUE(WaitFor([&] { return Colours(0x40).size() >= colours; }));
        effects->Stop();
    }

    PacedClock effectClock;
    std::unique_ptr<LedController> controller;
    std::unique_ptr<LedEffects> effects;
};

TEST_F(LedLightingTest, ProbesRunInTableOrderAndTheFirstAnswerSetsTheKind) {
    struct Case {
        std::vector<sim::I2cDeviceConfig> devices;
        int kind;
        std::vector<int> tried;
    } cases[] = {
        {{kLed1, kLed3}, 1, {0x40}},
        {{kLed2}, 2, {0x40, 0x8A}},
        {{kLed3, kLed2}, 2, {0x40, 0x8A}},
        {{kLed3}, 3, {0x40, 0x8A, 0x58}},
        {{}, 0, {0x40, 0x8A, 0x58}},
    };
    for (Case& c : cases) {
        StartWith({c.devices});
        EXPECT_EQ(controller->ProbeLedController(0), c.kind);
        EXPECT_EQ(AddressesTried(), c.tried) << "kind " << c.kind;
    }
}

TEST_F(LedLightingTest, EachGpuGetsItsOwnKindAndTheStartGpuSetsTheProcessKind) {
    StartWith({{}, {kLed2}});
    EXPECT_EQ(controller->ProbeAll(1), 2);
    EXPECT_EQ(controller->gpuKind(0), 0);
    EXPECT_EQ(controller->gpuKind(1), 2);
    EXPECT_FALSE(controller->WriteLedColour(0, {1, 2, 3})) << "GPU 0 has nothing at 0x8A";
    EXPECT_TRUE(controller->WriteLedColour(1, {1, 2, 3}));
    EXPECT_THAT(simulator->I2cLightingColours(1, kBus, 0x8A), ElementsAre(LightingColour{1, 2, 3}));
}

TEST_F(LedLightingTest, InitSendsTheThreeCommandsToTheKind1Address) {
    StartWith({{kLed1}});
    controller->InitLedController(0);
    EXPECT_EQ(Steps(kBus, 0x40), (std::vector<std::string>{"W 00=10", "W 00=10", "W FF=00"}));
    std::vector<std::vector<uint8_t>> data;
    for (const I2cCall& call : I2cCalls()) data.push_back(call.bytes);
    EXPECT_THAT(data, ElementsAre(ElementsAre(0x10, 0x01), ElementsAre(0x10, 0x02), ElementsAre(0x00, 0x01)));
}

TEST_F(LedLightingTest, ColourWritesOfEachKindAndTheirSessionEndingForms) {
    struct Case {
        sim::I2cDeviceConfig device;
        bool ownKind;  // kind set on the GPU, else only process-wide
        bool ending;
        std::vector<std::string> steps;
        bool written;
    } cases[] = {
        {kLed1, false, false, {"W 01=01"}, true},
        {kLed1, true, true, {"W 01=01"}, true},
        {kLed2, false, false, {"W 01=01", "W 31=03", "W 32=03", "W 33=03", "W 34=FF", "W 35=00", "W 36=80", "W 30=07"}, true},
        {kLed2, true, true, {"W 01=01", "W 31=03", "W 32=03", "W 33=03", "W 34=FF", "W 35=00", "W 36=80", "W 30=07"}, true},
        {kLed3, true, false, {"W 05=00", "W 02=FF", "W 03=00", "W 04=80"}, true},
        {kLed3, true, true, {}, false},
        {kLed3, false, false, {}, false},
    };
    for (const Case& c : cases) {
        StartWith({{c.device}});
        const int kind = c.device.kind == I2cDeviceKind::LedController1 ? 1 : c.device.kind == I2cDeviceKind::LedController2 ? 2 : 3;
        controller->SetProcessKind(kind);
        if (c.ownKind) controller->SetGpuKind(0, kind);
        controller->SetSessionEnding(c.ending);
        SCOPED_TRACE(testing::Message() << "kind " << kind << " ending " << c.ending);
        EXPECT_EQ(controller->WriteLedColour(0, {255, 0, 128}), c.written);
        EXPECT_EQ(Steps(kBus, c.device.address), c.steps);
        EXPECT_EQ(Colours(c.device.address).size(), c.written ? 1u : 0u);
        if (kind == 1) {
            EXPECT_THAT(I2cCalls().at(0).bytes, ElementsAre(1, 0, 0, 0, 0, 255, 0, 128, c.ending ? 0x00 : 0xFF, 0xF0));
        }
        if (kind == 2) {
            // The board-control call comes between the colour registers and the latch.
            std::vector<uint32_t> entries;
            for (const sim::CallRecord& call : simulator->Calls()) entries.push_back(call.entryId);
            ASSERT_EQ(entries.size(), 9u);
            EXPECT_EQ(entries[7], nvapi::GPU_SetVoltageRail);
            EXPECT_THAT(simulator->CallsTo(nvapi::GPU_SetVoltageRail).at(0).args, ElementsAre(nvapi::kBoardControlVer, 20, 0, 1));
        }
    }
}

TEST_F(LedLightingTest, BreathingRisesFromBlackToStep29ThenFallsFromTheFullColour) {
    StartWith({{kLed1}});
    controller->SetProcessKind(1);
    RunUntil(peripherals::kLedBreathing, {255, 0, 128}, 62);
    const std::vector<LightingColour> colours = Colours(0x40);
    EXPECT_EQ(colours[0], (LightingColour{0, 0, 0}));
    EXPECT_EQ(colours[1], (LightingColour{8, 0, 4}));
    EXPECT_EQ(colours[29], (LightingColour{246, 0, 123}));
    EXPECT_EQ(colours[30], (LightingColour{255, 0, 128}));
    EXPECT_EQ(colours[60], (LightingColour{0, 0, 0}));
    EXPECT_EQ(colours[61], (LightingColour{0, 0, 0})) << "the next breath starts black";
    EXPECT_GE(effectClock.slept.load(), 61u * 50u) << "3,000 ms period: 50 ms a step";
}

TEST_F(LedLightingTest, FollowingEffectsTurnReadingsIntoColoursKeptInRange) {
    struct Case {
        int32_t selector, temperature, load, fan;
        LightingColour colour;
    } cases[] = {
        {peripherals::kLedTemperature, 100, 0, 0, {255, 0, 0}},
        {peripherals::kLedTemperature, 0, 0, 0, {255, 255, 0}},
        {peripherals::kLedTemperature, 50, 0, 0, {255, 128, 0}},
        {peripherals::kLedTemperature, 120, 0, 0, {255, 0, 0}},   // past 100: still red
        {peripherals::kLedTemperature, -1, 0, 0, {255, 255, 0}},  // no reading
        {peripherals::kLedLoad, 0, 100, 0, {0, 0, 255}},
        {peripherals::kLedLoad, 0, 20, 0, {0, 204, 255}},
        {peripherals::kLedFan, 0, 0, 100, {255, 0, 255}},
        {peripherals::kLedFan, 0, 0, 40, {102, 153, 102}},
    };
    for (const Case& c : cases) {
        StartWith({{kLed1}});
        controller->SetProcessKind(1);
        effects->SetLiveReadings(0, c.temperature, c.load, c.fan);
        RunUntil(c.selector, {}, 2);
        EXPECT_EQ(Colours(0x40).at(0), c.colour) << c.selector << " " << c.temperature << " " << c.load << " " << c.fan;
    }
}

// Counts each GPU's colours whenever the effect pauses.
class PauseRecorder : public test::FakeClock {
public:
    explicit PauseRecorder(sim::Simulator& simulator) : simulator_(simulator) {}
    void SleepMs(uint32_t ms) override {
        std::lock_guard<std::mutex> lock(mutex);
        counts.emplace_back(simulator_.I2cLightingColours(0, kBus, 0x40).size(),
                            simulator_.I2cLightingColours(1, kBus, 0x40).size());
        FakeClock::SleepMs(ms);
    }
    std::mutex mutex;
    std::vector<std::pair<std::size_t, std::size_t>> counts;

private:
    sim::Simulator& simulator_;
};

TEST_F(LedLightingTest, WithTwoGpusEveryColourReachesBothBeforeThePause) {
    StartWith({{kLed1}, {kLed1}});
    controller->SetProcessKind(1);
    PauseRecorder clock(*simulator);
    effects = std::make_unique<LedEffects>(*controller, clock);
    for (int32_t selector : {peripherals::kLedBreathing, peripherals::kLedCycleStepped, peripherals::kLedFlashing}) {
        RunUntil(selector, {10, 20, 30}, Colours(0x40).size() + 40, 2);
        std::lock_guard<std::mutex> lock(clock.mutex);
        for (const auto& [first, second] : clock.counts) ASSERT_EQ(first, second) << "selector " << selector;
    }
    EXPECT_EQ(Colours(0x40, 0), Colours(0x40, 1));
}

TEST_F(LedLightingTest, CycleListsAndTheSeveralGpuVariant) {
    StartWith({{kLed1}, {kLed1}});
    controller->SetProcessKind(1);
    RunUntil(peripherals::kLedCycleStepped, {}, 1 + 8 * 30, 2);
    const std::vector<LightingColour> stepped = Colours(0x40);
    EXPECT_EQ(stepped[0], (LightingColour{0, 0, 0}));
    std::vector<LightingColour> firsts;
    for (int k = 0; k < 8; ++k) firsts.push_back(stepped[1 + 30 * k]);
    EXPECT_THAT(firsts, ElementsAreArray(std::vector<LightingColour>{
                            {255, 255, 255}, {255, 0, 0}, {255, 49, 0}, {255, 200, 0}, {0, 255, 0}, {0, 0, 255},
                            {254, 27, 67}, {128, 0, 128}}));
    simulator->ClearCalls();
    const std::size_t before = stepped.size();
    RunUntil(peripherals::kLedCycleBreathing, {}, before + 8 * 61, 1);
    const std::vector<LightingColour> breathing = Colours(0x40);
    std::vector<LightingColour> peaks;
    for (int k = 0; k < 8; ++k) peaks.push_back(breathing[before + 30 + 61 * k]);
    EXPECT_THAT(peaks, ElementsAreArray(std::vector<LightingColour>{
                           {255, 255, 255}, {255, 0, 0}, {255, 49, 0}, {255, 200, 0}, {0, 255, 0}, {0, 0, 255},
                           {254, 27, 46}, {255, 0, 255}}));
}

TEST_F(LedLightingTest, SteadyWritesOnceAndANewEffectReplacesTheOldOneWhole) {
    StartWith({{kLed1}});
    controller->SetProcessKind(1);
    Run(peripherals::kLedBreathing, {255, 0, 0});
    ASSERT_TRUE(WaitFor([&] { return Colours(0x40).size() >= 10; }));
    Run(peripherals::kLedSteady, {0, 255, 0});  // the breathing thread has ended when this returns
    const LightingColour green{0, 255, 0};
    const auto greens = [&] {
        const std::vector<LightingColour> colours = Colours(0x40);
        return std::count(colours.begin(), colours.end(), green);
    };
    ASSERT_TRUE(WaitFor([&] { return greens() == 1; }));
    effects->NotifyResume();
    ASSERT_TRUE(WaitFor([&] { return greens() == 2; }));
    Run(peripherals::kLedOff, {0, 255, 0});
    ASSERT_TRUE(WaitFor([&] { return !effects->running(); }));
    const std::vector<LightingColour> colours = Colours(0x40);
    const auto switched = std::find(colours.begin(), colours.end(), green);
    EXPECT_THAT(std::vector<LightingColour>(switched, colours.end()),
                ElementsAre(green, green, LightingColour{0, 0, 0}))
        << "one steady write, one more after the resume, black once for off";
}

TEST_F(LedLightingTest, AFailedWriteIsSkippedAndTheEffectGoesOn) {
    StartWith({{kLed1}, {kLed1}});
    controller->SetProcessKind(1);
    ASSERT_TRUE(simulator->SetI2cDeviceFault(0, kBus, 0x40, -1));
    Run(peripherals::kLedSteady, {1, 2, 3}, 2);
    ASSERT_TRUE(WaitFor([&] { return effectClock.slept.load() >= 3 * LedEffects::kRetryMs; }));
    EXPECT_GE(Colours(0x40, 1).size(), 3u) << "the other GPU still gets each try";
    EXPECT_THAT(Colours(0x40, 1), Each(LightingColour{1, 2, 3}));
    ASSERT_TRUE(simulator->SetI2cDeviceFault(0, kBus, 0x40, 0));
    EXPECT_TRUE(WaitFor([&] { return Colours(0x40, 0).size() == 1; })) << "written once the bus answers";
}

class LedLightingFeatureTest : public LedLightingTest {
protected:
    void StartFeature(std::vector<std::vector<sim::I2cDeviceConfig>> boards) {
        lighting.reset();  // its thread ends before the GPUs it writes to go
        StartWith(std::move(boards));
        effects.reset();
        lighting = std::make_unique<peripherals::LedLighting>(*gpus, effectClock, saved);
    }
    void TearDown() override { lighting.reset(); }
    std::vector<LightingColour> Settled(std::size_t gpu, std::size_t count) {
        EXPECT_TRUE(WaitFor([&] { return Colours(0x40, gpu).size() >= count; }));
        lighting->effects().Stop();
        return Colours(0x40, gpu);
    }

    tuning::LightingValues saved;
    std::unique_ptr<peripherals::LedLighting> lighting;
};

TEST_F(LedLightingFeatureTest, StartRestoresTheSavedEffectOnEveryGpuAfterTheStartCommands) {
    struct Case {
        tuning::LightingValues saved;
        LightingColour first;
    } cases[] = {
        {{0, 10, 20, 30, 0, 0, 0}, {10, 20, 30}},  // steady
        {{1, 10, 20, 30, 0, 0, 0}, {0, 0, 0}},     // breathing starts black
        {{4, 10, 20, 30, 0, 0, 0}, {0, 0, 0}},     // off
        {{9, 10, 20, 30, 0, 0, 0}, {10, 20, 30}},  // no such effect: steady
    };
    for (const Case& c : cases) {
        StartFeature({{kLed1}, {kLed1}});
        saved = c.saved;
        saved.timer2 = 4;
        saved.saved = true;
        EXPECT_EQ(lighting->Startup(0), 1);
        const peripherals::LightingChoice shown = lighting->page().Choice();  // the page shows what runs
        EXPECT_EQ(shown.effectValue, c.saved.mode < 8 ? c.saved.mode : 0);
        EXPECT_EQ(shown.preset, 0);
        EXPECT_EQ(shown.custom, (LedColour{10, 20, 30}));
        EXPECT_EQ(shown.speeds, (std::array<int32_t, 3>{0, 4, 0}));
        for (std::size_t gpu : {0u, 1u}) EXPECT_EQ(Settled(gpu, 1).at(0), c.first) << int(c.saved.mode) << " GPU" << gpu;
        const std::vector<std::string> steps = Steps(kBus, 0x40);
        ASSERT_GE(steps.size(), 9u);
        EXPECT_EQ(std::vector<std::string>(steps.begin(), steps.begin() + 9),
                  (std::vector<std::string>{"W 00=10", "W 00=10", "W 00=10", "W 00=10", "W FF=00", "W 00=10",
                                            "W 00=10", "W FF=00", "W 01=01"}))
            << "two probes, the start commands of each GPU, then colours";
    }
    StartFeature({{kLed1}, {kLed1}});
    saved = {};
    EXPECT_EQ(lighting->Startup(0), 1);
    EXPECT_FALSE(lighting->effects().running());
    EXPECT_TRUE(Colours(0x40).empty() && Colours(0x40, 1).empty()) << "nothing saved: the lights are left alone";
    StartFeature({{}, {}});
    saved.saved = true;
    EXPECT_EQ(lighting->Startup(0), 0);
    EXPECT_THAT(Steps(kBus, 0x40), Each(std::string("W 00=10"))) << "only the probes: nothing to restore";
}

TEST_F(LedLightingFeatureTest, ApplyStoresTheChoiceAndResetGivesWhiteSteadyOnTheCurrentGpu) {
    StartFeature({{kLed1}, {kLed1}});
    lighting->controller().ProbeAll(0);
    peripherals::LightingChoice choice{0, 3, {1, 2, 3}, {7, 9, -2}};
    lighting->ApplyChoice(choice, 1, true);
    EXPECT_THAT(Settled(0, 1), ElementsAre(LightingColour{255, 49, 0}));
    EXPECT_THAT(Colours(0x40, 1), ElementsAre(LightingColour{255, 49, 0})) << "sync-all lights both";
    const auto Saved = [&] {
        return std::vector<int>{saved.mode, saved.red, saved.green, saved.blue, saved.timer1, saved.timer2, saved.timer3};
    };
    EXPECT_EQ(Saved(), (std::vector<int>{0, 255, 49, 0, 7, 7, 0}));
    choice.preset = 0;  // custom: the sliders
    choice.effectValue = 3;
    lighting->ApplyChoice(choice, 0, false);
    lighting->effects().Stop();
    EXPECT_EQ(Saved(), (std::vector<int>{3, 1, 2, 3, 7, 7, 0}));

    simulator->ClearCalls();
    const std::size_t before0 = Colours(0x40, 0).size(), before1 = Colours(0x40, 1).size();
    lighting->Reset(1);
    EXPECT_EQ(Settled(1, before1 + 1).back(), (LightingColour{255, 255, 255}));
    EXPECT_EQ(Colours(0x40, 0).size(), before0) << "only the current GPU";
    EXPECT_EQ(Saved(), (std::vector<int>{0, 255, 255, 255, 0, 0, 0}));

    saved.red = 255, saved.green = 49, saved.blue = 0;
    lighting->page().Show(saved);
    EXPECT_EQ(lighting->page().Choice().preset, 3) << "a saved preset colour shows as its preset";

    // The page: custom colour from the sliders, speeds in seconds; reset keeps the speeds.
    peripherals::LightingPageControls& page = lighting->page();
    page.SelectEffect(2);
    page.SelectPreset(0);
    page.red.SetPos(300);
    page.green.SetPos(7);
    page.speeds[1].SetPos(10);
    lighting->ApplyPage(0, false);
    lighting->effects().Stop();
    EXPECT_EQ(Saved(), (std::vector<int>{2, 255, 7, 255, 0, 7, 0}));
    lighting->Reset(0);
    lighting->effects().Stop();
    EXPECT_EQ(Saved(), (std::vector<int>{0, 255, 255, 255, 0, 7, 0}));
    EXPECT_TRUE(page.effects[0].IsChecked() && page.presets[1].IsChecked() && !page.presets[0].IsChecked());
}

TEST_F(LedLightingFeatureTest, SelectingAGpuProbesEveryGpusOwnKindAgain) {
    StartFeature({{kLed1}, {kLed3}});
    ASSERT_TRUE(simulator->SetI2cDeviceFault(1, kBus, 0x58, -1));  // not answering at start
    EXPECT_EQ(lighting->Startup(0), 1);
    EXPECT_EQ(lighting->controller().gpuKind(1), 0);
    EXPECT_FALSE(lighting->controller().WriteLedColour(1, {1, 2, 3})) << "the start kind's address is empty there";
    ASSERT_TRUE(simulator->SetI2cDeviceFault(1, kBus, 0x58, 0));

    test::ScriptedPrompts prompts;
    test::ManualEventLoop loop(effectClock);
    app::AppSettings settings;
    tuning::MainDialogHooks hooks;
    hooks.gpuSelected = [this](int) { lighting->OnGpuSelected(); };
    tuning::CCorvaneHDDlg dialog(*gpus, prompts, loop, effectClock, settings, std::move(hooks));
    ASSERT_EQ(dialog.SelectGpu(1, false), 0);
    EXPECT_EQ(lighting->controller().gpuKind(0), 1);
    EXPECT_EQ(lighting->controller().gpuKind(1), 3);
    EXPECT_EQ(lighting->controller().processKind(), 1) << "fixed at start";
    EXPECT_TRUE(lighting->controller().WriteLedColour(1, {1, 2, 3}));
    EXPECT_THAT(simulator->I2cLightingColours(1, kBus, 0x58), ElementsAre(LightingColour{1, 2, 3}));
}

TEST_F(LedLightingFeatureTest, SessionEndDarkensEveryGpuWithTheEndingFrameAndLeavesNoThread) {
    StartFeature({{kLed1}, {kLed1}});
    lighting->controller().ProbeAll(0);
    lighting->ApplyChoice({1, 2, {}, {}}, 0, true);
    ASSERT_TRUE(WaitFor([&] { return Colours(0x40, 1).size() >= 5; }));
    simulator->ClearCalls();
    lighting->EndSession();
    EXPECT_FALSE(lighting->effects().running());
    std::vector<std::vector<uint8_t>> frames;
    for (const I2cCall& call : I2cCalls()) frames.push_back(call.bytes);
    const std::vector<uint8_t> dark{1, 0, 0, 0, 0, 0, 0, 0, 0x00, 0xF0};
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(std::vector<std::vector<uint8_t>>(frames.end() - 2, frames.end()), (std::vector<std::vector<uint8_t>>{dark, dark}))
        << "the last writes, one per GPU";
}

}  // namespace
}  // namespace vx::gputest
