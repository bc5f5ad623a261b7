// The monitor log over the chart of a simulated rig: the exact header bytes, column order, -1
// for an unreadable value, no file lost when logging restarts within a second, the question
// and the opener on switch-off, and a second program that reads the file back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "monitor/ChartSetup.h"
#include "monitor/MonitorFixture.h"
#include "monitor/MonitorLog.h"
#include "platform/FileOpener.h"
#include "support/TempDir.h"

namespace vx::monitortest {
namespace {

using monitor::CNCVCurves;
using monitor::kChartSeries;

std::string Utf16Bytes(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct RecordingOpener : platform::FileOpener {
    bool OpenWithDefaultApplication(const std::filesystem::path& path) override {
        opened.push_back(path);
        return true;
    }
    std::vector<std::filesystem::path> opened;
};

class MonitorLogTest : public MonitorFixture {
protected:
    void StartChart(sim::Rig rig, std::array<bool, kChartSeries> shown) {
        StartMonitor(std::move(rig));
        chart = std::make_unique<CNCVCurves>(loop, clock);
        monitor::SetUpChart(*chart, dlg(), shown, monitor::ComputeSeriesRanges({}), 600, &history);
        chart->onSampled = [this] { log.LogSample(*chart); };
    }
    std::filesystem::path Saved(const std::filesystem::path& name) const { return folder / name; }
    std::vector<std::filesystem::path> SavedFiles() const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder / "Monitor_Save")) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        return files;
    }

    test::TempDir folder;
    RecordingOpener opener;
    monitor::MonitorLog log{folder.path(), clock, prompts, &opener};
    monitor::ChartHistory history;
    std::unique_ptr<CNCVCurves> chart;
};

TEST_F(MonitorLogTest, OneGpuAllSeriesHeaderIsExact) {
    StartChart(SteadyRig({tuningtest::kPascalId}), {true, true, true, true, true, true, true, true});
    Samples(1);
    log.SetLogging(true);
    chart->SampleCharts();

    const std::string bytes = ReadAll(Saved(log.fileName()));
    const std::string header = std::string("\xFF\xFE", 2) +
                               Utf16Bytes(u"Timestamp;GPU1-Power[W]:GPU1-GPU Clock[MHz]:GPU1-Shader Clock[MHz]:"
                                          u"GPU1-Memory Clock[MHz]:GPU1-Temperature[\u00B0C]:GPU1-Fan Speed[%]:"
                                          u"GPU1-GPU Voltage[mv]:GPU1-FanSpeed[RPM]:\r\n");
    ASSERT_EQ(bytes.substr(0, header.size()), header);
    const tuning::LiveFields& live = dlg().record(0).live;
    char values[160];
    std::snprintf(values, sizeof values, ";%d;%d;%d;%d;%d;%d;%d;%d;\r\n", live.boardPower, live.graphicsClock,
                  live.processorClock, live.memoryClock, live.temperature, live.fanPercent, live.coreVoltage,
                  live.fanRpm);
    const std::string valueText = values;
    const std::string line = bytes.substr(header.size());
    const std::u16string expectedValues(valueText.begin(), valueText.end());  // ASCII
    EXPECT_EQ(line.size(), Utf16Bytes(u"2024-01-01 00:00:00").size() + Utf16Bytes(expectedValues).size());
    EXPECT_TRUE(line.ends_with(Utf16Bytes(expectedValues)));
    EXPECT_EQ(log.fileName().parent_path(), "Monitor_Save");
    EXPECT_EQ(log.fileName().extension(), ".csv");
    EXPECT_EQ(log.fileName().stem().string().size(), std::string("2024-01-0100_00_00").size());
}

TEST_F(MonitorLogTest, TwoGpusTwoSeriesInGpuThenSeriesOrderWithMinusOneForAnUnreadableTemperature) {
    std::array<bool, kChartSeries> shown{};
    shown[monitor::kGpuClock] = shown[monitor::kTemperature] = true;
    StartChart(SteadyRig({tuningtest::kPascalId, tuningtest::kKeplerId}), shown);
    simulator->ForceStatus(nvapi::GPU_GetThermalSettings, -5);
    Samples(1);
    ASSERT_EQ(dlg().record(1).live.temperature, -1);
    dlg().record(0).live.graphicsClock = 1001;
    dlg().record(1).live.graphicsClock = 2002;
    const std::string header = monitor::MonitorLog::HeaderText(*chart);
    EXPECT_EQ(header, "Timestamp;GPU1-GPU Clock[MHz]:GPU1-Temperature[\xC2\xB0" "C]:GPU2-GPU Clock[MHz]:"
                      "GPU2-Temperature[\xC2\xB0" "C]:\r\n");
    const std::string line = monitor::MonitorLog::LineText(*chart, clock.Now());
    EXPECT_TRUE(line.ends_with(";1001;-1;2002;-1;\r\n")) << line;
}

TEST_F(MonitorLogTest, RestartWithinOneSecondKeepsBothFilesAndSwitchOffOffersTheFile) {
    StartChart(SteadyRig({tuningtest::kPascalId}), {false, true, false, false, true, false, false, false});
    prompts.answers = {ui::BoxAnswer::No, ui::BoxAnswer::Yes};
    log.SetLogging(true);
    chart->SampleCharts();
    chart->SampleCharts();
    const std::filesystem::path first = log.fileName();
    log.SetLogging(false);
    EXPECT_TRUE(opener.opened.empty());  // "No"
    log.SetLogging(true);
    chart->SampleCharts();  // same second
    log.CloseMonitor();     // "Yes"
    EXPECT_FALSE(log.enabled());
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].text, "Open Saved File?");
    EXPECT_EQ(prompts.shown[0].buttons, ui::BoxButtons::YesNo);

    const auto files = SavedFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(log.fileName(), first);
    EXPECT_EQ(log.fileName().stem(), first.stem().string() + "-2");
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0], Saved(log.fileName()));
    const std::string header = monitor::MonitorLog::Utf16Le(monitor::MonitorLog::HeaderText(*chart));
    const std::string kept = ReadAll(Saved(first));
    const std::string restarted = ReadAll(Saved(log.fileName()));
    EXPECT_EQ(kept.size() - 2 - header.size(), 2 * (restarted.size() - 2 - header.size()));  // two lines, one line
    EXPECT_EQ(log.fileName().extension(), ".csv");
}

TEST_F(MonitorLogTest, PythonCsvReadsTheHeaderAndEveryLine) {
    if (std::system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is not installed";
    StartChart(SteadyRig({tuningtest::kPascalId, tuningtest::kKeplerId}), {true, true, true, true, true, true, true, true});
    log.SetLogging(true);
    for (int i = 0; i < 5; ++i) {
        Samples(1);
        chart->SampleCharts();
        clock.Advance(1000);
    }
    const std::filesystem::path script = folder / "read.py";
    std::ofstream(script) << "import csv, sys\n"
                             "with open(sys.argv[1], encoding='utf-16', newline='') as f:\n"
                             "    rows = list(csv.reader(f, delimiter=';'))\n"
                             "cells = rows[0][1].split(':')\n"
                             "print(rows[0][0], len(cells) - 1, cells[0], cells[12])\n"
                             "for row in rows[1:]:\n"
                             "    print(len(row), row[-1] == '', all(int(v) >= -1 for v in row[1:-1]), row[1 + 4])\n";
    const std::filesystem::path out = folder / "out.txt";
    const std::string command = "python3 '" + script.string() + "' '" + Saved(log.fileName()).string() + "' > '" + out.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string expected = "Timestamp 16 GPU1-Power[W] GPU2-Temperature[\xC2\xB0" "C]\n";
    for (int i = 0; i < 5; ++i) expected += "18 True True " + std::to_string(kAmbientC) + "\n";
    EXPECT_EQ(ReadAll(out), expected);
}

}  // namespace
}  // namespace vx::monitortest
