#pragma once
// Structures and entry signatures passed across the driver boundary. The simulator includes
// this same header, so the layout checks below keep both sides honest.
#include <cstddef>
#include <cstdint>

namespace vx::nvapi {

// Driver statuses the system names.
enum Status : int32_t {
    OK = 0,
    ERROR = -1,
    LIBRARY_NOT_FOUND = -2,
    NO_IMPLEMENTATION = -3,
    API_NOT_INITIALIZED = -4,
    INVALID_ARGUMENT = -5,
    NVIDIA_DEVICE_NOT_FOUND = -6,
    END_ENUMERATION = -7,
    INVALID_HANDLE = -8,
    INCOMPATIBLE_STRUCT_VERSION = -9,
    HANDLE_INVALIDATED = -10,
    EXPECTED_PHYSICAL_GPU_HANDLE = -101,
    NOT_SUPPORTED = -104,
    API_IN_USE = -209,
};

struct NvPhysicalGpu;
struct NvDisplay;
using PhysicalGpuHandle = NvPhysicalGpu*;
using DisplayHandle = NvDisplay*;

// The driver fills up to this many handles, whatever the caller means to keep.
inline constexpr int kMaxPhysicalGpus = 64;
inline constexpr int kShortStringSize = 64;
using ShortString = char[kShortStringSize];

constexpr uint32_t MakeVersion(std::size_t size, uint32_t version) {
    return static_cast<uint32_t>(size) | (version << 16);
}

struct DisplayDriverVersion {
    uint32_t version;
    uint32_t drvVersion;
    uint32_t bldChangeListNum;
    char buildBranch[kShortStringSize];
    char adapter[kShortStringSize];
};
static_assert(sizeof(DisplayDriverVersion) == 140);
static_assert(offsetof(DisplayDriverVersion, drvVersion) == 4);
static_assert(offsetof(DisplayDriverVersion, buildBranch) == 12);
static_assert(offsetof(DisplayDriverVersion, adapter) == 76);
inline constexpr uint32_t kDisplayDriverVersionVer = MakeVersion(sizeof(DisplayDriverVersion), 1);
static_assert(kDisplayDriverVersionVer == 0x1008C);

// Memory sizes in kilobytes.
struct DisplayDriverMemoryInfo {
    uint32_t version;
    uint32_t dedicatedVideoMemory;
    uint32_t availableDedicatedVideoMemory;
    uint32_t systemVideoMemory;
    uint32_t sharedSystemMemory;
    uint32_t curAvailableDedicatedVideoMemory;
    uint32_t dedicatedVideoMemoryEvictionsSize;
    uint32_t dedicatedVideoMemoryEvictionCount;
};
static_assert(sizeof(DisplayDriverMemoryInfo) == 32);
static_assert(offsetof(DisplayDriverMemoryInfo, dedicatedVideoMemory) == 4);
inline constexpr uint32_t kDisplayDriverMemoryInfoVer = MakeVersion(sizeof(DisplayDriverMemoryInfo), 3);
static_assert(kDisplayDriverMemoryInfoVer == 0x30020);

// Legacy perf-level clock table (version 2).
inline constexpr int kLegacyMaxLevels = 12;
inline constexpr int kLegacyMaxDomains = 32;
inline constexpr uint32_t kClockDomainGraphics = 0;
inline constexpr uint32_t kClockDomainMemory = 4;
inline constexpr uint32_t kClockDomainProcessor = 7;

struct LegacyPerfDomain {
    uint32_t domainId;
    uint32_t reserved;
    int32_t frequencyKhz;
    int32_t fourthWord;
    int32_t minKhz;
    int32_t maxKhz;
    uint32_t flags;  // bit 0: apply this entry
};
static_assert(sizeof(LegacyPerfDomain) == 7 * 4);

struct LegacyPerfLevel {
    uint32_t levelId;
    uint32_t flags;  // 0 or 1: 2D; bit 1: 3D low power; bit 2: 3D performance
    LegacyPerfDomain domains[kLegacyMaxDomains];
};
static_assert(sizeof(LegacyPerfLevel) == 226 * 4);

struct LegacyPerfClocks {
    uint32_t version;
    uint32_t levelCount;
    uint32_t currentLevel;
    uint32_t domainCount;
    uint32_t reserved;
    LegacyPerfLevel levels[kLegacyMaxLevels];
};
static_assert(sizeof(LegacyPerfClocks) == 10868);
static_assert(offsetof(LegacyPerfClocks, levelCount) == 4);
static_assert(offsetof(LegacyPerfClocks, currentLevel) == 8);
static_assert(offsetof(LegacyPerfClocks, domainCount) == 12);
static_assert(offsetof(LegacyPerfClocks, levels) == 20);
inline constexpr uint32_t kLegacyPerfClocksVer = MakeVersion(sizeof(LegacyPerfClocks), 2);
static_assert(kLegacyPerfClocksVer == 0x22A74);
inline constexpr int32_t kAllLevels = -1;

// Entry signatures (C calling convention, signed 32-bit status).
extern "C" {
using QueryInterfaceFn = void* (*)(uint32_t id);
using InitializeFn = int32_t (*)();
using UnloadFn = int32_t (*)();
using GetInterfaceVersionStringFn = int32_t (*)(char* text);
using EnumPhysicalGPUsFn = int32_t (*)(PhysicalGpuHandle handles[kMaxPhysicalGpus], uint32_t* count);
using EnumNvidiaDisplayHandleFn = int32_t (*)(uint32_t index, DisplayHandle* display);
using GetDisplayDriverVersionFn = int32_t (*)(DisplayHandle display, DisplayDriverVersion* info);
using GetDisplayDriverMemoryInfoFn = int32_t (*)(DisplayHandle display, DisplayDriverMemoryInfo* info);
using GetFullNameFn = int32_t (*)(PhysicalGpuHandle gpu, char* text);
using GetPCIIdentifiersFn = int32_t (*)(PhysicalGpuHandle gpu, uint32_t* deviceId, uint32_t* subSystemId,
                                        uint32_t* revisionId, uint32_t* extDeviceId);
using GetRamTypeFn = int32_t (*)(PhysicalGpuHandle gpu, uint32_t* code);
using GetMemoryBusWidthFn = int32_t (*)(PhysicalGpuHandle gpu, uint32_t* width, uint32_t* location);
using GetPerfClocksFn = int32_t (*)(PhysicalGpuHandle gpu, int32_t selector, LegacyPerfClocks* table);
using SetPerfClocksFn = int32_t (*)(PhysicalGpuHandle gpu, int32_t selector, LegacyPerfClocks* table);
}

}  // namespace vx::nvapi
