// The voltage code table of the on-card voltage controllers: 450 mV + 12.5 mV per code.
#include "gpu/VoltageCodes.h"

#include <gtest/gtest.h>

#include <limits>

namespace vx {
namespace {

TEST(VoltageCodesTest, VoltageToCodeTakesTheNearestCodeWithinHalfAStep) {
    const VoltageCodes codes;
    EXPECT_EQ(codes.VoltageToCode(1200.0), 60);
    EXPECT_EQ(codes.VoltageToCode(1206.0), 60);
    EXPECT_EQ(codes.VoltageToCode(1193.75 + 0.01), 60);
    EXPECT_EQ(codes.VoltageToCode(1300.0), 68);
    EXPECT_EQ(codes.VoltageToCode(450.0), 0);
    EXPECT_EQ(codes.VoltageToCode(2037.5), 127);
    EXPECT_EQ(codes.VoltageToCode(2043.0), 127);
}

TEST(VoltageCodesTest, HalfwayAndOutsideValuesMatchNoCode) {
    const VoltageCodes codes;
    EXPECT_EQ(codes.VoltageToCode(1206.25), std::nullopt) << "exactly between codes 60 and 61";
    EXPECT_EQ(codes.VoltageToCode(1193.75), std::nullopt) << "exactly between codes 59 and 60";
    EXPECT_EQ(codes.VoltageToCode(443.75), std::nullopt) << "half a step below code 0";
    EXPECT_EQ(codes.VoltageToCode(2043.75), std::nullopt) << "half a step above code 127";
    EXPECT_EQ(codes.VoltageToCode(0.0), std::nullopt);
    EXPECT_EQ(codes.VoltageToCode(-1200.0), std::nullopt);
    EXPECT_EQ(codes.VoltageToCode(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
}

TEST(VoltageCodesTest, CodeToVoltageCoversCodes0To127) {
    const VoltageCodes codes;
    EXPECT_EQ(codes.CodeToVoltage(0), 450.0);
    EXPECT_EQ(codes.CodeToVoltage(60), 1200.0);
    EXPECT_EQ(codes.CodeToVoltage(61), 1212.5);
    EXPECT_EQ(codes.CodeToVoltage(127), 2037.5);
    EXPECT_EQ(codes.CodeToVoltage(128), std::nullopt);
    EXPECT_EQ(codes.CodeToVoltage(255), std::nullopt);
    EXPECT_EQ(codes.CodeToVoltage(-1), std::nullopt);
    for (int code = 0; code < VoltageCodes::kCodeCount; ++code)
        EXPECT_EQ(codes.VoltageToCode(*codes.CodeToVoltage(code)), code) << "round trip of code " << code;
}

}  // namespace
}  // namespace vx
