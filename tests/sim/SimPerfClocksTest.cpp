// The legacy perf-level clock table: reads by level index, writes by level ID.
#include "sim/Simulator.h"

#include "gpu/NvApiIds.h"
#include "support/RigBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

class SimPerfClocks : public ::testing::Test {
protected:
    void Start(Rig rig) {
        driver_ = std::make_unique<test::SimulatedDriver>(std::move(rig));
        gpus_ = driver_->InitializeAndEnumerate();
        ASSERT_FALSE(gpus_.empty());
    }

    // The table is big; keep it off the stack.
    std::unique_ptr<LegacyPerfClocks> Read(int32_t selector, int32_t* status = nullptr, std::size_t gpu = 0) {
        auto table = std::make_unique<LegacyPerfClocks>();
        std::memset(table.get(), 0xAB, sizeof *table);  // stale bytes the driver must clear
        table->version = kLegacyPerfClocksVer;
        int32_t s = driver_->Entry<GetPerfClocksFn>(GPU_GetPerfClocks)(gpus_[gpu], selector, table.get());
        if (status) *status = s;
        else EXPECT_EQ(s, OK);
        return table;
    }

    int32_t Write(int32_t levelId, LegacyPerfClocks& table, std::size_t gpu = 0) {
        return driver_->Entry<SetPerfClocksFn>(GPU_SetPerfClocks)(gpus_[gpu], levelId, &table);
    }

    static LegacyPerfDomain* DomainIn(LegacyPerfLevel& level, uint32_t domainId) {
        for (LegacyPerfDomain& d : level.domains)
            if (d.domainId == domainId && d.frequencyKhz != 0) return &d;
        return nullptr;
    }

    std::unique_ptr<test::SimulatedDriver> driver_;
    std::vector<PhysicalGpuHandle> gpus_;
};

TEST_F(SimPerfClocks, AllLevelsReadBackAsTheRigHasThem) {
    const Rig demo = DemoRig();
    Start(demo);
    for (std::size_t g = 0; g < 2; ++g) {
        auto table = Read(kAllLevels, nullptr, g);
        const GpuModel& model = demo.gpus[g];
        EXPECT_EQ(table->version, kLegacyPerfClocksVer);
        ASSERT_EQ(table->levelCount, 3u);
        EXPECT_EQ(table->currentLevel, 0u);
        EXPECT_EQ(table->domainCount, 3u);
        EXPECT_EQ(table->reserved, 0u);
        for (uint32_t l = 0; l < 3; ++l) {
            const LegacyLevel& level = model.legacyLevels[l];
            EXPECT_EQ(table->levels[l].levelId, level.levelId);
            EXPECT_EQ(table->levels[l].flags, level.flags);
            for (std::size_t d = 0; d < level.domains.size(); ++d) {
                const LegacyPerfDomain& e = table->levels[l].domains[d];
                EXPECT_EQ(e.domainId, level.domains[d].domainId);
                EXPECT_EQ(e.reserved, 0u);
                EXPECT_EQ(e.frequencyKhz, level.domains[d].frequencyKhz);
                EXPECT_EQ(e.fourthWord, level.domains[d].fourthWord);
                EXPECT_EQ(e.minKhz, level.domains[d].minKhz);
                EXPECT_EQ(e.maxKhz, level.domains[d].maxKhz);
                EXPECT_EQ(e.flags, 0u);
            }
            EXPECT_EQ(table->levels[l].domains[3].domainId, 0u) << "unused domain slots are zeroed";
            EXPECT_EQ(table->levels[l].domains[3].frequencyKhz, 0);
        }
        EXPECT_EQ(table->levels[3].levelId, 0u) << "unused level slots are zeroed";
        EXPECT_EQ(table->levels[11].domains[31].flags, 0u);
    }
}

TEST_F(SimPerfClocks, OneLevelFillsOnlyItsSlotAndALevelOutOfRangeIsInvalid) {
    Start(test::RigBuilder().Gpu(0x06CD).Levels(test::FourLegacyLevels(), 2).Build());
    auto all = Read(kAllLevels);
    auto one = Read(2);
    EXPECT_EQ(one->levelCount, 4u);
    EXPECT_EQ(one->currentLevel, 2u);
    EXPECT_EQ(one->domainCount, all->domainCount);
    EXPECT_EQ(std::memcmp(&one->levels[2], &all->levels[2], sizeof(LegacyPerfLevel)), 0);
    LegacyPerfLevel zero{};
    for (int l : {0, 1, 3, 4, 11}) EXPECT_EQ(std::memcmp(&one->levels[l], &zero, sizeof zero), 0) << l;

    // A level the GPU does not have is an invalid argument.
    int32_t status = 0;
    Start(DemoRig());
    for (int32_t selector : {3, 12, -2, 1000}) {
        Read(selector, &status);
        EXPECT_EQ(status, INVALID_ARGUMENT) << selector;
    }
    Start(test::RigBuilder().Gpu(0x1B82).NoLegacyLevels().Build());
    Read(0, &status);
    EXPECT_EQ(status, INVALID_ARGUMENT);
    EXPECT_EQ(Read(kAllLevels)->levelCount, 0u);
}

TEST_F(SimPerfClocks, WriteChangesFlaggedDomainsOfTheNamedLevel) {
    // Level IDs that differ from indexes show that the write selects by ID.
    std::vector<LegacyLevel> levels = test::ThreeLegacyLevels();
    levels[2].levelId = 3;
    Start(test::RigBuilder().Gpu(0x1B82).Levels(levels).Gpu(0x1184).Build());

    auto table = Read(2);
    LegacyPerfDomain* graphics = DomainIn(table->levels[2], kClockDomainGraphics);
    LegacyPerfDomain* memory = DomainIn(table->levels[2], kClockDomainMemory);
    ASSERT_TRUE(graphics && memory);
    graphics->frequencyKhz = 950000;
    graphics->flags = 1;
    memory->frequencyKhz = 123;  // not flagged: must stay
    ASSERT_EQ(Write(3, *table), OK);

    auto after = Read(kAllLevels);
    EXPECT_EQ(DomainIn(after->levels[2], kClockDomainGraphics)->frequencyKhz, 950000);
    EXPECT_EQ(DomainIn(after->levels[2], kClockDomainGraphics)->fourthWord, 900000) << "the default stays";
    EXPECT_EQ(DomainIn(after->levels[2], kClockDomainMemory)->frequencyKhz, 2000000);
    EXPECT_EQ(DomainIn(after->levels[1], kClockDomainGraphics)->frequencyKhz, 600000);
    EXPECT_EQ(DomainIn(Read(kAllLevels, nullptr, 1)->levels[2], kClockDomainGraphics)->frequencyKhz, 900000)
        << "the other GPU is untouched";
}

TEST_F(SimPerfClocks, BadWritesAreRefusedWithoutChangingAnything) {
    Start(DemoRig());
    auto table = Read(kAllLevels);
    LegacyPerfDomain* graphics = DomainIn(table->levels[2], kClockDomainGraphics);
    ASSERT_NE(graphics, nullptr);
    graphics->frequencyKhz = 1700000;
    graphics->flags = 1;

    EXPECT_EQ(Write(7, *table), INVALID_ARGUMENT) << "no level with that ID";
    EXPECT_EQ(Write(-1, *table), INVALID_ARGUMENT);

    // A flagged entry for a domain the level lacks spoils the whole request.
    LegacyPerfDomain& stray = table->levels[2].domains[5];
    stray = LegacyPerfDomain{9, 0, 5000, 0, 0, 0, 1};
    EXPECT_EQ(Write(2, *table), INVALID_ARGUMENT);
    stray = LegacyPerfDomain{};

    graphics->frequencyKhz = -5;
    EXPECT_EQ(Write(2, *table), INVALID_ARGUMENT);
    graphics->frequencyKhz = 1700000;

    // The level is in the rig but not in the buffer's counted slots.
    table->levelCount = 2;
    EXPECT_EQ(Write(2, *table), INVALID_ARGUMENT);

    EXPECT_EQ(DomainIn(Read(kAllLevels)->levels[2], kClockDomainGraphics)->frequencyKhz, 1607000);
    EXPECT_EQ(driver_->sim().CallsTo(GPU_SetPerfClocks).size(), 5u);
}

}  // namespace
}  // namespace vx::sim
