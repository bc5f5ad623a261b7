// The two on-screen display texts, byte for byte, and the overlay-on byte the last GPU decides.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "monitor/OverlayText.h"

namespace vx::monitor {
namespace {

OverlayGpuValues Gpu(int index, bool controllable = true, bool rpm = false) {
    OverlayGpuValues gpu;
    gpu.index = index;
    gpu.graphicsClock = 1500;
    gpu.processorClock = 1500;
    gpu.memoryClock = 5000;
    gpu.temperature = 60;
    gpu.fanPercent = 40;
    gpu.fanRpm = 1230;
    gpu.fanControllable = controllable;
    gpu.fanInRpm = rpm;
    return gpu;
}

struct TextCase {
    const char* name;
    OverlaySwitches on;
    std::vector<OverlayGpuValues> gpus;
    std::string narrow;
    std::u16string wide;
    uint8_t overlayOn;
};

constexpr OverlaySwitches kAll{true, true, true};
constexpr OverlaySwitches kClocks{true, false, false};
constexpr OverlaySwitches kTemp{false, true, false};
constexpr OverlaySwitches kFan{false, false, true};

const TextCase kTextCases[] = {
    {"AllOn", kAll, {Gpu(0)}, "GPU:1500MHZ SHADER:1500MHZ MEM:5000MHZ \nTEMP:60\rC FAN:40%\n",
     u"GPU:1500MHZ  SHADER:1500MHZ  MEM:5000MHZ \nTEMP:60 \u2103  FAN:40%\n", 1},
    {"TemperatureOnly", kTemp, {Gpu(0)}, "TEMP:60\rC\n", u"TEMP:60 \u2103 \n", 1},
    {"AllOff", {}, {Gpu(0), Gpu(1)}, "", u"", 0},
    {"FanInRpm", kFan, {Gpu(0, true, true)}, "FAN:1230RPM\n", u"FAN:1230RPM\n", 1},
    {"FanWithoutController", kFan, {Gpu(0, false)}, "", u"", 0},
    {"ClocksAndUncontrollableFan", {true, false, true}, {Gpu(0, false)},
     "GPU:1500MHZ SHADER:1500MHZ MEM:5000MHZ \n\n", u"GPU:1500MHZ  SHADER:1500MHZ  MEM:5000MHZ \n\n", 1},
    {"ClocksAndTemperature", {true, true, false}, {Gpu(0)}, "GPU:1500MHZ SHADER:1500MHZ MEM:5000MHZ \nTEMP:60\rC\n",
     u"GPU:1500MHZ  SHADER:1500MHZ  MEM:5000MHZ \nTEMP:60 \u2103 \n", 1},
    {"TwoGpusClocksOnly", kClocks, {Gpu(0), Gpu(1)},
     "GPU0 GPU:1500MHZ SHADER:1500MHZ MEM:5000MHZ\n\nGPU1 GPU:1500MHZ SHADER:1500MHZ MEM:5000MHZ\n\n",
     u"GPU0  GPU:1500MHZ  SHADER:1500MHZ  MEM:5000MHZ\n\nGPU1  GPU:1500MHZ  SHADER:1500MHZ  MEM:5000MHZ\n\n", 1},
    // The prefix comes with the fan switch even where no fan part follows; the last GPU decides.
    {"LastGpuWithoutFanTurnsOff", kFan, {Gpu(0), Gpu(1, false)}, "GPU0 FAN:40%\nGPU1 \n", u"GPU0  FAN:40%\nGPU1  \n",
     0},
    {"LastGpuWithFanTurnsOn", kFan, {Gpu(0, false), Gpu(1)}, "GPU0 \nGPU1 FAN:40%\n", u"GPU0  \nGPU1  FAN:40%\n", 1},
};

class OverlayTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(OverlayTextTest, ComposesBothTextsExactly) {
    const TextCase& c = GetParam();
    OverlayText text;
    uint8_t overlayOn = 0xFF;
    for (const OverlayGpuValues& gpu : c.gpus) overlayOn = text.AppendGpu(c.on, gpu, static_cast<int>(c.gpus.size()));
    EXPECT_EQ(text.narrow(), c.narrow);
    EXPECT_EQ(text.wide(), c.wide);
    EXPECT_EQ(overlayOn, c.overlayOn);
    text.Clear();
    EXPECT_TRUE(text.narrow().empty() && text.wide().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, OverlayTextTest, testing::ValuesIn(kTextCases),
                         [](const testing::TestParamInfo<TextCase>& info) { return info.param.name; });

// The widest numbers every switch can show; `count` GPUs of them.
OverlayText Widest(int count, std::vector<std::string>* blocks = nullptr) {
    OverlayText text;
    for (int i = 0; i < count; ++i) {
        OverlayGpuValues gpu{i, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, true, true};
        if (blocks) {
            OverlayText alone;
            alone.AppendGpu(kAll, gpu, count);
            blocks->push_back(alone.narrow());
        }
        text.AppendGpu(kAll, gpu, count);
    }
    return text;
}

TEST(OverlayTextBound, ThreeGpusWithEverySwitchFit) {
    const OverlayText text = Widest(3);
    EXPECT_EQ(text.narrow().size(), 3u * 104u);
    EXPECT_LT(text.wide().size(), OverlayText::kBufferUnits);
    EXPECT_NE(text.wide().find(u"GPU2  "), std::u16string::npos);
}

TEST(OverlayTextBound, TenGpusAreCutAtAWholeBlock) {
    std::vector<std::string> blocks;
    const OverlayText text = Widest(10, &blocks);
    std::string whole;
    std::size_t kept = 0;
    while (kept < blocks.size() && whole.size() + blocks[kept].size() < OverlayText::kBufferUnits)
        whole += blocks[kept++];
    ASSERT_LT(kept, blocks.size());  // the cut is exercised
    EXPECT_EQ(text.narrow(), whole);
    EXPECT_LT(text.wide().size(), OverlayText::kBufferUnits);
    EXPECT_EQ(text.wide().back(), u'\n');
    EXPECT_EQ(text.wide().find(u"GPU" + std::u16string(1, static_cast<char16_t>(u'0' + kept))), std::u16string::npos);
}

}  // namespace
}  // namespace vx::monitor
