#pragma once
// Display structures: connected display IDs, timings, custom display modes and DisplayPort AUX
// requests. Layouts follow NVIDIA's public interface; the simulator includes the same header.
#include "gpu/DriverStructs.h"

#include <cstddef>
#include <cstdint>

namespace vx::nvapi {

struct NvUnAttachedDisplay;
struct NvLogicalGpu;
using UnAttachedDisplayHandle = NvUnAttachedDisplay*;
using LogicalGpuHandle = NvLogicalGpu*;

struct DisplayIdEntry {
    uint32_t version;
    uint32_t connectorType;
    uint32_t displayId;
    uint32_t flags;  // bit 0 dynamic, bit 1 multi-stream root, ... (kept as read)
};
static_assert(sizeof(DisplayIdEntry) == 16);
static_assert(offsetof(DisplayIdEntry, displayId) == 8);
inline constexpr uint32_t kDisplayIdEntryVer = MakeVersion(sizeof(DisplayIdEntry), 3);
static_assert(kDisplayIdEntryVer == 0x30010);

struct Timing {
    uint16_t hVisible, hBorder, hFrontPorch, hSyncWidth, hTotal;
    uint8_t hSyncPol;  // 0 positive, 1 negative
    uint8_t pad0;
    uint16_t vVisible, vBorder, vFrontPorch, vSyncWidth, vTotal;
    uint8_t vSyncPol;
    uint8_t pad1;
    uint16_t interlaced;
    uint16_t pad2;
    uint32_t pclk;  // 10 kHz units
    uint32_t flag;  // timing extension: scan, CEA/format IDs and scaling bits
    uint16_t rr;    // Hz
    uint16_t pad3;
    uint32_t rrx1k;  // Hz × 1000
    uint32_t aspect;
    uint16_t rep;
    uint16_t pad4;
    uint32_t status;
    char name[40];
};
static_assert(sizeof(Timing) == 96);
static_assert(offsetof(Timing, hTotal) == 8);
static_assert(offsetof(Timing, vVisible) == 12);
static_assert(offsetof(Timing, vTotal) == 20);
static_assert(offsetof(Timing, pclk) == 28);
static_assert(offsetof(Timing, rr) == 36);
static_assert(offsetof(Timing, rrx1k) == 40);

inline constexpr uint32_t kTimingTypeAuto = 2;  // the driver's own timing for the mode

struct TimingInput {
    uint32_t version;
    uint32_t width;
    uint32_t height;
    float rr;
    uint32_t flags[3];
    uint32_t type;
};
static_assert(sizeof(TimingInput) == 32);
static_assert(offsetof(TimingInput, rr) == 12);
static_assert(offsetof(TimingInput, type) == 28);
inline constexpr uint32_t kTimingInputVer = MakeVersion(sizeof(TimingInput), 1);
static_assert(kTimingInputVer == 0x10020);

struct Viewport {
    float x, y, w, h;
};

struct CustomDisplay {
    uint32_t version;
    uint32_t width;
    uint32_t height;
    uint32_t depth;
    uint32_t colorFormat;
    Viewport srcPartition;
    float xRatio;
    float yRatio;
    Timing timing;
    uint32_t hwModeSetOnly;
};
static_assert(sizeof(CustomDisplay) == 144);
static_assert(offsetof(CustomDisplay, srcPartition) == 20);
static_assert(offsetof(CustomDisplay, timing) == 44);
static_assert(offsetof(CustomDisplay, hwModeSetOnly) == 140);
inline constexpr uint32_t kCustomDisplayVer = MakeVersion(sizeof(CustomDisplay), 1);
static_assert(kCustomDisplayVer == 0x10090);

/// Mode query 0xD2277E3A: the display's desktop mode.
struct DisplayModeInfo {
    uint32_t version;
    uint32_t width;
    uint32_t height;
    uint32_t depth;
    uint32_t reserved;
    uint32_t modeWord;
    uint32_t refreshHz;
};
static_assert(sizeof(DisplayModeInfo) == 28);
static_assert(offsetof(DisplayModeInfo, width) == 4);
static_assert(offsetof(DisplayModeInfo, height) == 8);
static_assert(offsetof(DisplayModeInfo, modeWord) == 20);
static_assert(offsetof(DisplayModeInfo, refreshHz) == 24);
inline constexpr uint32_t kDisplayModeInfoVer = MakeVersion(sizeof(DisplayModeInfo), 1);
static_assert(kDisplayModeInfoVer == 0x1001C);

/// Query 0x8159E87A: made once on the first monitor; nothing in it is used.
struct MonitorDetails {
    uint32_t version;
    uint32_t words[37];
};
static_assert(sizeof(MonitorDetails) == 152);
inline constexpr uint32_t kMonitorDetailsVer = MakeVersion(sizeof(MonitorDetails), 3);
static_assert(kMonitorDetailsVer == 0x30098);

/// One entry of the current timings query 0xDC27D5D4.
struct CurrentTiming {
    uint32_t version;
    uint32_t head[23];
    uint32_t refreshHz;        // word 24
    uint32_t middle[11];
    uint32_t pixelClock10kHz;  // word 36
    uint32_t tail[17];
};
static_assert(sizeof(CurrentTiming) == 216);
static_assert(offsetof(CurrentTiming, refreshHz) == 24 * 4);
static_assert(offsetof(CurrentTiming, pixelClock10kHz) == 36 * 4);
inline constexpr uint32_t kCurrentTimingVer = MakeVersion(sizeof(CurrentTiming), 5);
static_assert(kCurrentTimingVer == 0x500D8);
inline constexpr uint32_t kMaxCurrentTimings = 10;

/// DisplayPort AUX request (entry 0x8EB56969). Moves at most 16 bytes.
struct AuxRequest {
    uint32_t version;
    uint32_t displayId;
    uint32_t command;
    uint32_t address;
    uint8_t data[16];
    uint32_t size;   // byte count - 1; on a read the driver returns what it moved
    uint32_t reply;  // non-zero: the sink's negative or deferred reply
    uint32_t reserved[18];
};
static_assert(sizeof(AuxRequest) == 112);
static_assert(offsetof(AuxRequest, data) == 16);
static_assert(offsetof(AuxRequest, size) == 32);
static_assert(offsetof(AuxRequest, reply) == 36);
inline constexpr uint32_t kAuxRequestVer = MakeVersion(sizeof(AuxRequest), 3);
static_assert(kAuxRequestVer == 0x30070);
inline constexpr uint32_t kAuxMaxBytes = 16;

enum AuxCommand : uint32_t {
    kAuxNativeWrite = 0,
    kAuxNativeRead = 1,
    kAuxI2cWrite = 2,
    kAuxI2cRead = 3,
    kAuxSpecial = 4,
    kAuxI2cWriteMot = 5,
    kAuxI2cReadMot = 6,
};

extern "C" {
using GetConnectedDisplayIdsFn = int32_t (*)(PhysicalGpuHandle gpu, DisplayIdEntry* ids, uint32_t* count,
                                             uint32_t flags);
using GetAssociatedNvidiaDisplayNameFn = int32_t (*)(DisplayHandle display, char* name);
using GetAssociatedNvidiaDisplayHandleFn = int32_t (*)(const char* name, DisplayHandle* display);
using GetDisplayIdByDisplayNameFn = int32_t (*)(const char* name, uint32_t* displayId);
using GetLogicalGPUFromDisplayFn = int32_t (*)(DisplayHandle display, LogicalGpuHandle* gpu);
using EnumUnAttachedDisplayHandleFn = int32_t (*)(uint32_t index, UnAttachedDisplayHandle* display);
using CreateDisplayFromUnAttachedFn = int32_t (*)(UnAttachedDisplayHandle unattached, DisplayHandle* display);
using GetDisplayModeInfoFn = int32_t (*)(PhysicalGpuHandle gpu, uint32_t displayId, DisplayModeInfo* info);
using GetMonitorDetailsFn = int32_t (*)(uint32_t displayId, MonitorDetails* details);
using GetCurrentTimingsFn = int32_t (*)(DisplayHandle display, uint32_t* count, CurrentTiming* entries);
using DispGetTimingFn = int32_t (*)(uint32_t displayId, TimingInput* input, Timing* timing);
using DispTryCustomDisplayFn = int32_t (*)(uint32_t* displayIds, uint32_t count, CustomDisplay* displays);
using DispSaveCustomDisplayFn = int32_t (*)(uint32_t* displayIds, uint32_t count, uint32_t outputOnly,
                                            uint32_t monitorOnly);
using DispRevertCustomDisplayTrialFn = int32_t (*)(uint32_t* displayIds, uint32_t count);
using GetAssociatedDisplayOutputIdFn = int32_t (*)(DisplayHandle display, uint32_t* outputId);
using GetTimingFn = int32_t (*)(DisplayHandle display, uint32_t outputId, TimingInput* input, Timing* timing);
using TryCustomDisplayFn = int32_t (*)(DisplayHandle display, uint32_t outputMask, CustomDisplay* custom,
                                       uint32_t count, uint32_t save);
using SaveCustomDisplayFn = int32_t (*)(DisplayHandle display, uint32_t outputOnly, uint32_t monitorOnly);
using DpAuxChannelControlFn = int32_t (*)(DisplayHandle display, AuxRequest* request, uint32_t size);
}

}  // namespace vx::nvapi
