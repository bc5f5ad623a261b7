// Power, temperature and frame-rate targets through GpuAccess against the simulated driver.
#include "SimulatedGpus.h"

#include "gpu/NvApiIds.h"
#include "gpu/PowerStructs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace vx::gputest {
namespace {

using namespace vx::nvapi;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr uint32_t kTotalPower = kPowerPolicyTotalGpu;
constexpr uint32_t kAcoustic = kThermalPolicyAcoustic;

std::string Narrow(const std::wstring& wide) {
    std::string text;
    for (wchar_t c : wide) text += static_cast<char>(c);
    return text;
}

class GpuPower : public SimulatedGpus {
protected:
    void SetUp() override { ASSERT_EQ(StartAndInitialize(RigOf({Gpu(0x1B80)})), 0); }

    /// Starts over with a rig whose single GPU's policies are changed by `change`.
    template <typename Change>
    void Restart(Change change) {
        sim::GpuModel gpu = Gpu(0x1B80);
        change(gpu.power);
        ASSERT_EQ(StartAndInitialize(RigOf({gpu})), 0);
    }

    uint32_t PowerLimitNow() {
        PowerPoliciesStatus status = {};
        status.version = kPowerPoliciesStatusVer;
        status.count = 1;
        status.entries[0].policyId = kTotalPower;
        EXPECT_EQ(gpus->GetPowerPoliciesStatus(0, status), OK);
        return status.entries[0].powerLimit;
    }
    ThermalPolicyStatusEntry ThermalNow(uint32_t policy) {
        ThermalPoliciesInfo info = {};
        ThermalPoliciesStatus status = {};
        EXPECT_EQ(gpus->GetThermalPolicies(0, info, status), OK);
        for (uint32_t i = 0; i < status.count && i < 4; ++i)
            if (status.entries[i].policyId == policy) return status.entries[i];
        ADD_FAILURE() << "no thermal policy " << policy;
        return {};
    }
    std::size_t Writes(uint32_t id) const { return simulator->CallsTo(id).size(); }
    /// The limit words the thermal writes sent, in order.
    std::vector<int64_t> ThermalWrites() const {
        std::vector<int64_t> limits;
        for (const sim::CallRecord& call : simulator->CallsTo(GPU_ClientThermalPoliciesSetStatus))
            if (call.args.size() >= 3) limits.push_back(call.args[2]);
        return limits;
    }
    bool Traced(const std::string& line) const {
        return std::find(traces.begin(), traces.end(), line) != traces.end();
    }
    std::string Messages() const { return Narrow(gpus->policyMessages()); }
};

TEST_F(GpuPower, InformationReadKeepsTheDefaultLimitInTheRecord) {
    PowerPoliciesInfo info = {};
    ASSERT_EQ(gpus->GetPowerPoliciesInfo(0, info), OK);
    EXPECT_EQ(info.version, kPowerPoliciesInfoVer);
    EXPECT_EQ(info.valid, 1);
    EXPECT_EQ(info.entries[0].pwrLimitMax, 120000u);
    EXPECT_EQ(RecordOf(0).powerLimitDefault, 100000);

    PowerPoliciesInfo beyond = {};
    EXPECT_EQ(gpus->GetPowerPoliciesInfo(1, beyond), INVALID_ARGUMENT);
}

TEST_F(GpuPower, PowerRequestAtTheMaximumIsTakenAndAboveItRefused) {
    EXPECT_EQ(gpus->SetPowerLimit(0, kTotalPower, 120.0f), OK);
    EXPECT_TRUE(Traced("Requested policy limit applied succesfully\n"));
    EXPECT_TRUE(Traced("Power policy status:\n"));  // the dump that follows a write
    EXPECT_EQ(PowerLimitNow(), 120000u);

    traces.clear();
    const std::size_t writes = Writes(GPU_PowerPoliciesSetStatus);
    EXPECT_EQ(gpus->SetPowerLimit(0, kTotalPower, 120.01f), INVALID_ARGUMENT);
    EXPECT_TRUE(Traced("Requested power policy limit exceeds max allowed value!\n"));
    EXPECT_EQ(gpus->SetPowerLimit(0, kTotalPower, 49.99f), INVALID_ARGUMENT);
    EXPECT_EQ(gpus->SetPowerLimit(0, kTotalPower, -5.0f), INVALID_ARGUMENT);  // wraps above any maximum
    EXPECT_EQ(Writes(GPU_PowerPoliciesSetStatus), writes);
    EXPECT_EQ(PowerLimitNow(), 120000u);
}

TEST_F(GpuPower, PowerRequestIsTruncatedToThousandths) {
    ASSERT_EQ(gpus->SetPowerLimit(0, kTotalPower, 87.5f), OK);
    EXPECT_EQ(PowerLimitNow(), 87500u);
    ASSERT_EQ(gpus->SetPowerLimit(0, kTotalPower, 50.0f), OK);  // the minimum itself
    EXPECT_EQ(PowerLimitNow(), 50000u);
}

TEST_F(GpuPower, PowerRefusalsAndFailures) {
    EXPECT_EQ(gpus->SetPowerLimit(0, 7, 100.0f), OK);
    EXPECT_TRUE(Traced("Requested power policy is not supported!\n"));

    simulator->ForceStatus(GPU_PowerPoliciesGetInfo, NOT_SUPPORTED);
    EXPECT_EQ(gpus->SetPowerLimit(0, kTotalPower, 100.0f), NOT_SUPPORTED);
    EXPECT_TRUE(Traced("API call failed with error -104\n"));
    simulator->ClearFault(GPU_PowerPoliciesGetInfo);

    simulator->ForceStatus(GPU_PowerPoliciesSetStatus, ERROR);
    EXPECT_EQ(gpus->SetPowerLimit(0, kTotalPower, 100.0f), ERROR);
    EXPECT_TRUE(Traced("API call failed with error -1\n"));

    Restart([](sim::PowerConfig& power) { power.powerSupported = false; });
    EXPECT_EQ(gpus->SetPowerLimit(0, kTotalPower, 100.0f), OK);
    EXPECT_TRUE(Traced("Power policies are not supported!\n"));
    EXPECT_EQ(Writes(GPU_PowerPoliciesSetStatus), 0u);
}

TEST_F(GpuPower, TemperatureTargetIsSentIn256thsOfADegree) {
    ASSERT_EQ(gpus->SetThermalLimit(0, kAcoustic, 83.5f), OK);
    EXPECT_THAT(ThermalWrites(), ElementsAre(21376));
    EXPECT_EQ(Messages(), "Requested policy limit applied successfully\n");
    EXPECT_EQ(ThermalNow(kAcoustic).currentLimit, 21376);  // a new round of messages starts here
    EXPECT_EQ(Messages(), "");
    EXPECT_TRUE(Traced("Thermal policy status:\n"));

    simulator->ForceStatus(GPU_ClientThermalPoliciesSetStatus, ERROR);
    gpus->ClearPolicyMessages();
    EXPECT_EQ(gpus->SetThermalLimit(0, kAcoustic, 80.0f), ERROR);
    EXPECT_EQ(Messages(), "API call failed with error -1\n");
}

TEST_F(GpuPower, TemperatureRefusalsWriteNothing) {
    EXPECT_EQ(gpus->SetThermalLimit(0, kAcoustic, 92.01f), INVALID_ARGUMENT);
    EXPECT_EQ(gpus->SetThermalLimit(0, kAcoustic, 59.99f), INVALID_ARGUMENT);
    EXPECT_EQ(gpus->SetThermalLimit(0, 9, 80.0f), OK);
    EXPECT_EQ(Messages(), "Requested thermal policy limit exceeds max allowed value!\n"
                          "Requested thermal policy limit exceeds max allowed value!\n"
                          "Requested thermal policy is not supported!\n");
    EXPECT_TRUE(ThermalWrites().empty());
    EXPECT_EQ(gpus->SetThermalLimit(0, kAcoustic, 92.0f), OK);  // the maximum itself
    EXPECT_THAT(ThermalWrites(), ElementsAre(92 * 256));

    Restart([](sim::PowerConfig& power) { power.thermalSupported = false; });
    EXPECT_EQ(gpus->SetThermalLimit(0, kAcoustic, 80.0f), OK);
    EXPECT_EQ(Messages(), "Thermal policies are not supported!\n");
}

TEST_F(GpuPower, PreferFlagKeepsTheLimitAndRefusesOtherValues) {
    ASSERT_EQ(gpus->SetThermalLimit(0, kAcoustic, 70.0f), OK);
    gpus->ClearPolicyMessages();
    const std::size_t writes = Writes(GPU_ClientThermalPoliciesSetStatus);
    EXPECT_EQ(gpus->SetThermalPreferFlag(0, kAcoustic, 2), INVALID_ARGUMENT);
    EXPECT_EQ(Messages(), "Requested remove TDP Limit flag is incorrect!\n");
    EXPECT_EQ(Writes(GPU_ClientThermalPoliciesSetStatus), writes);

    gpus->ClearPolicyMessages();
    ASSERT_EQ(gpus->SetThermalPreferFlag(0, kAcoustic, 1), OK);
    EXPECT_EQ(Messages(), "Requested policy limit applied successfully\n");
    ThermalPolicyStatusEntry now = ThermalNow(kAcoustic);
    EXPECT_EQ(now.flags & kThermalPreferAcoustics, 1u);
    EXPECT_EQ(now.currentLimit, 70 * 256);

    ASSERT_EQ(gpus->SetThermalPreferFlag(0, kAcoustic, 0), OK);
    EXPECT_EQ(ThermalNow(kAcoustic).flags & kThermalPreferAcoustics, 0u);

    simulator->ForceStatus(GPU_ClientThermalPoliciesGetStatus, ERROR);
    gpus->ClearPolicyMessages();
    EXPECT_EQ(gpus->SetThermalPreferFlag(0, kAcoustic, 1), ERROR);
    EXPECT_EQ(Messages(), "NvAPI_GPU_ClientThermalPoliciesGetStatus call failed with error -1\n");
}

TEST_F(GpuPower, LinkedTargetFollowsTheWorkedExample) {
    ASSERT_EQ(gpus->SetLinkedPowerAndThermal(0, kTotalPower, kAcoustic, 110.0f), OK);
    ASSERT_EQ(gpus->SetLinkedPowerAndThermal(0, kTotalPower, kAcoustic, 75.0f), OK);
    ASSERT_EQ(gpus->SetLinkedPowerAndThermal(0, kTotalPower, kAcoustic, 100.0f), OK);
    // 87.5, 71.5 and the default 83 °C.
    EXPECT_THAT(ThermalWrites(), ElementsAre(22400, 18304, 21248));
    EXPECT_EQ(PowerLimitNow(), 100000u);
    ASSERT_EQ(gpus->SetLinkedPowerAndThermal(0, kTotalPower, kAcoustic, 50.0f), OK);
    EXPECT_EQ(ThermalWrites().back(), 60 * 256);

    // A failed temperature write is reported; the power target already taken stays.
    simulator->ForceStatus(GPU_ClientThermalPoliciesSetStatus, ERROR);
    EXPECT_EQ(gpus->SetLinkedPowerAndThermal(0, kTotalPower, kAcoustic, 110.0f), ERROR);
    EXPECT_EQ(PowerLimitNow(), 110000u);
}

TEST_F(GpuPower, LinkedRefusals) {
    EXPECT_EQ(gpus->SetLinkedPowerAndThermal(0, kTotalPower, kAcoustic, 121.0f), INVALID_ARGUMENT);
    EXPECT_EQ(gpus->SetLinkedPowerAndThermal(0, 3, kAcoustic, 100.0f), OK);
    EXPECT_EQ(gpus->SetLinkedPowerAndThermal(0, kTotalPower, 5, 100.0f), OK);
    EXPECT_EQ(Messages(), "Requested power policy limit exceeds allowed range!\n"
                          "Requested power policy is not supported!\n"
                          "Requested thermal policy is not supported!\n");
    EXPECT_EQ(Writes(GPU_PowerPoliciesSetStatus), 0u);
    EXPECT_TRUE(ThermalWrites().empty());

    Restart([](sim::PowerConfig& power) { power.thermalSupported = false; });
    EXPECT_EQ(gpus->SetLinkedPowerAndThermal(0, kTotalPower, kAcoustic, 100.0f), OK);
    EXPECT_EQ(Messages(), "Thermal Policies are not supported!\n");
}

TEST_F(GpuPower, LinkedTargetOnACollapsedRangeStaysAtTheDefault) {
    Restart([](sim::PowerConfig& power) {
        power.powerPolicies[0].minMilliPercent = 100000;
        power.powerPolicies[0].maxMilliPercent = 100000;
    });
    ASSERT_EQ(gpus->SetLinkedPowerAndThermal(0, kTotalPower, kAcoustic, 100.0f), OK);
    EXPECT_THAT(ThermalWrites(), ElementsAre(83 * 256));
}

TEST_F(GpuPower, PowerDumpIsTracedAndKept) {
    ASSERT_EQ(gpus->DumpPowerPolicies(0), OK);
    const std::string kept = Narrow(gpus->powerPoliciesText());
    EXPECT_THAT(kept, HasSubstr("Power topology info:\n  channel[0].channel = TOTAL GPU POWER\n"));
    EXPECT_THAT(kept, HasSubstr("Power topology status:\n"));
    EXPECT_THAT(kept, HasSubstr("  policy[0].policy          = TOTAL GPU POWER\n"));
    EXPECT_THAT(kept, HasSubstr("  policy[0].pwrLimitMax     = 120 %\n"));
    EXPECT_THAT(kept, HasSubstr("Power policy status:\n"));
    EXPECT_THAT(kept, HasSubstr("  policy[0].pwrLimitCurrent = 100 %\n"));
    EXPECT_TRUE(Traced("  policy[0].pwrLimitDefault = 100 %\n"));

    simulator->ForceStatus(GPU_PowerPoliciesGetInfo, ERROR);
    EXPECT_EQ(gpus->DumpPowerPolicies(0), ERROR);
    const std::string failed = Narrow(gpus->powerPoliciesText());
    EXPECT_THAT(failed, HasSubstr("API call failed with error -1\n"));
    EXPECT_THAT(failed, Not(HasSubstr("Power policy info:")));
}

TEST_F(GpuPower, ThermalDumpNamesPoliciesAndDegrees) {
    ASSERT_EQ(gpus->DumpThermalPolicies(0), OK);
    std::string all;
    for (const std::string& line : traces) all += line;
    EXPECT_THAT(all, HasSubstr("Thermal policy info:\n"));
    EXPECT_THAT(all, HasSubstr("  policy[1].policy           = ACOUSTIC\n"));
    EXPECT_THAT(all, HasSubstr("  policy[1].channel          = UNKNOWN/UNSUPPORTED\n"));
    EXPECT_THAT(all, HasSubstr("  policy[1].tempLimitMax     = 92.000000C\n"));
    EXPECT_THAT(all, HasSubstr("  policy[0].policy = GPS\n  policy[0].tempLimitCurrent = 83.000000C\n"));

    Restart([](sim::PowerConfig& power) { power.thermalSupported = false; });
    ASSERT_EQ(gpus->DumpThermalPolicies(0), OK);
    EXPECT_TRUE(Traced("  ... not available!\n"));
}

// ---- Frame-rate target ----

TEST_F(GpuPower, FrameRateWriteIsOffsetAndReadBackUnchanged) {
    ASSERT_EQ(gpus->SetFrameRateLimit(0x10000000u + 60, false), OK);
    uint32_t value = 0;
    ASSERT_EQ(gpus->GetFrameRateLimit(value), OK);
    EXPECT_EQ(value, 60u);

    ASSERT_EQ(gpus->SetFrameRateLimit(5, false), OK);  // wraps
    ASSERT_EQ(gpus->GetFrameRateLimit(value), OK);
    EXPECT_EQ(value, 0xF0000005u);

    ASSERT_EQ(gpus->SetFrameRateLimit(0x10000000u + 60, true), OK);
    ASSERT_EQ(gpus->GetFrameRateLimit(value), OK);
    EXPECT_EQ(value, 0u);
    const std::vector<sim::CallRecord> sets = simulator->CallsTo(DRS_SetSetting);
    ASSERT_FALSE(sets.empty());
    EXPECT_THAT(sets.back().args, ElementsAre(kDrsSettingVer, kDrsFrameRateLimiter, 0));
    // Every session was ended.
    EXPECT_EQ(simulator->CallsTo(DRS_CreateSession).size(), simulator->CallsTo(DRS_DestroySession).size());
}

TEST_F(GpuPower, FrameRateSessionIsDestroyedAfterAFailingStep) {
    // A fresh rig has no frame-rate setting on the base profile: the read fails.
    uint32_t value = 77;
    EXPECT_EQ(gpus->GetFrameRateLimit(value), kDrsSettingNotFound);
    EXPECT_EQ(value, 77u);
    EXPECT_EQ(simulator->CallsTo(DRS_DestroySession).size(), 1u);

    for (uint32_t step : {DRS_LoadSettings, DRS_GetBaseProfile, DRS_SetSetting, DRS_SaveSettings}) {
        simulator->ClearCalls();
        simulator->ForceStatus(step, ERROR);
        EXPECT_EQ(gpus->SetFrameRateLimit(100, false), ERROR) << std::hex << step;
        EXPECT_EQ(simulator->CallsTo(DRS_DestroySession).size(), 1u) << std::hex << step;
        simulator->ClearFault(step);
    }
    EXPECT_EQ(gpus->SetFrameRateLimit(100, true), OK);

    simulator->ClearCalls();
    simulator->ForceStatus(DRS_CreateSession, ERROR);
    EXPECT_EQ(gpus->SetFrameRateLimit(100, false), ERROR);
    EXPECT_TRUE(simulator->CallsTo(DRS_DestroySession).empty());  // nothing to end
}

}  // namespace
}  // namespace vx::gputest
