// Identifying a card from its PCI device ID: which interface family controls its clocks.
#include "gpu/GpuAccess.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace vx {

namespace {

constexpr std::array<uint16_t, 6> kLegacyListA = {0x05E0, 0x05E2, 0x05E3, 0x05E6, 0x0A65, 0x0CA3};

constexpr std::array<uint16_t, 18> kLegacyListB = {
    0x0A20, 0x0A60, 0x0A65, 0x0CA3, 0x06CD, 0x06C0, 0x06C4, 0x0E22, 0x0DC4,
    0x1080, 0x1081, 0x1200, 0x1201, 0x1244, 0x0DE0, 0x0DE1, 0x1245, 0x1205,
};

constexpr std::array<uint16_t, 67> kSupportedIds = {
    0x06CD, 0x06C0, 0x06C4, 0x0E22, 0x0DC4, 0x1080, 0x1081, 0x1200, 0x1201, 0x1244, 0x0DE0, 0x0DE1,
    0x1245, 0x1205, 0x1180, 0x1189, 0x0FC1, 0x0F00, 0x104A, 0x1188, 0x1183, 0x11C0, 0x0FC6, 0x11C6,
    0x0FC0, 0x1185, 0x124B, 0x1005, 0x11C2, 0x1184, 0x1187, 0x1284, 0x1282, 0x1004, 0x11C8, 0x100A,
    0x1380, 0x1381, 0x1007, 0x0FC8, 0x1287, 0x0F02, 0x1288, 0x13C2, 0x13C0, 0x1401, 0x1195, 0x0FC9,
    0x11C5, 0x17C2, 0x11CB, 0x17C8, 0x1402, 0x1407, 0x128B, 0x1B80, 0x1B81, 0x1C02, 0x1C03, 0x1C82,
    0x1C81, 0x1B84, 0x1B06, 0x1D01, 0x1C07, 0x1B87, 0x1B82,
};

constexpr std::array<uint16_t, 7> kPstate20Group1 = {0x1180, 0x1189, 0x1188, 0x1183, 0x11C0, 0x1185, 0x1195};

constexpr std::array<uint16_t, 19> kPstate20Group2 = {
    0x0F02, 0x0FC0, 0x0FC1, 0x0FC6, 0x0FC8, 0x0FC9, 0x11C2, 0x11C5, 0x11C6, 0x11C8,
    0x11CB, 0x124B, 0x1282, 0x1284, 0x1287, 0x1288, 0x128B, 0x1380, 0x1381,
};

constexpr std::array<uint16_t, 6> kPstate20Group3 = {0x1005, 0x1004, 0x1184, 0x1187, 0x100A, 0x1007};

constexpr std::array<uint16_t, 7> kPstate20Group4 = {0x13C2, 0x13C0, 0x1401, 0x17C2, 0x17C8, 0x1402, 0x1407};

constexpr std::array<uint16_t, 12> kPascalSeries = {
    0x1B06, 0x1B80, 0x1B81, 0x1B82, 0x1B84, 0x1B87, 0x1C02, 0x1C03, 0x1C07, 0x1C81, 0x1C82, 0x1D01,
};

constexpr uint16_t kBoardA013Device = 0x1B82;
constexpr uint32_t kBoardA013Quotient = 40979;  // 0xA013
// Not 65536: the board test divides the subsystem word by 65535, which also accepts a
// 0xA013 upper half with a lower half below 0x5FEC.
constexpr uint32_t kBoardA013Divisor = 65535;

// A short initialiser would leave zero slots behind; every list must be full and distinct.
template <std::size_t N>
constexpr bool FullAndDistinct(const std::array<uint16_t, N>& ids) {
    for (std::size_t i = 0; i < N; ++i) {
        if (ids[i] == 0) return false;
        for (std::size_t j = i + 1; j < N; ++j)
            if (ids[i] == ids[j]) return false;
    }
    return true;
}
static_assert(FullAndDistinct(kLegacyListA) && FullAndDistinct(kLegacyListB) && FullAndDistinct(kSupportedIds));
static_assert(FullAndDistinct(kPstate20Group1) && FullAndDistinct(kPstate20Group2) &&
              FullAndDistinct(kPstate20Group3) && FullAndDistinct(kPstate20Group4) &&
              FullAndDistinct(kPascalSeries));

template <std::size_t N>
bool Listed(const std::array<uint16_t, N>& ids, uint32_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

int32_t GpuAccess::IdentifyGpu(uint8_t gpu) {
    GpuRecord& record = records_[gpu];
    uint32_t deviceWord = 0;
    uint32_t subsystemId = 0;
    uint32_t revisionId = 0;
    uint32_t extDeviceId = 0;
    const int32_t status =
        api_.GetPCIIdentifiers(record.hPhysicalGpu.load(), &deviceWord, &subsystemId, &revisionId, &extDeviceId);
    nvapi::ShortString interfaceVersion = {};
    api_.GetInterfaceVersionString(interfaceVersion);
    if (status != nvapi::OK) return status;

    // The upper 16 bits of the device word are the PCI device ID, the lower the vendor.
    char hex[9];
    std::snprintf(hex, sizeof(hex), "%08x", deviceWord);
    record.deviceIdText.assign(hex, 4);
    const uint32_t device = deviceWord >> 16;

    record.legacyListA = Listed(kLegacyListA, device);
    record.legacyListB = Listed(kLegacyListB, device);

    record.supportedGpu = false;
    record.fourLevelBoard = false;
    record.quirk0E22 = false;
    record.quirk0DC4 = false;
    record.pstate20Group1 = false;
    record.pstate20Group2 = false;
    record.pstate20Group3 = false;
    record.pstate20Group4 = false;
    record.pascalSeries = false;
    record.uiFlag = 0;
    record.boardA013 = false;

    record.supportedGpu = Listed(kSupportedIds, device);
    if (record.supportedGpu) {
        record.quirk0E22 = device == 0x0E22;
        record.quirk0DC4 = device == 0x0DC4;
        record.pstate20Group1 = Listed(kPstate20Group1, device);
        record.pstate20Group2 = Listed(kPstate20Group2, device);
        record.pstate20Group3 = Listed(kPstate20Group3, device);
        record.pstate20Group4 = Listed(kPstate20Group4, device);
        record.pascalSeries = Listed(kPascalSeries, device);
    }

    record.boardA013 = device == kBoardA013Device && subsystemId / kBoardA013Divisor == kBoardA013Quotient;
    return nvapi::OK;
}

}  // namespace vx
