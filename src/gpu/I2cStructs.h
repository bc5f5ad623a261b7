#pragma once
// I2C request and board-control structures passed across the driver boundary. The simulator
// includes this same header.
//
// The request holds real pointers, so its layout differs between 32- and 64-bit processes:
// the 32-bit layout is the documented one (32 and 44 bytes, pointers at 12 and 20); a 64-bit
// process gets the natural layout, and the version words follow sizeof either way.
#include "gpu/DriverStructs.h"

#include <cstddef>
#include <cstdint>

namespace vx::nvapi {

/// One I2C transfer. Version 1 is the prefix up to and including `speed`; version 3 is the
/// whole structure.
struct I2cInfo {
    uint32_t version;
    uint32_t displayMask;          // 1, or 0 on the extended retry of the slot variants
    uint8_t portByte;              // which bus of the GPU (slot port byte, or 1 / 2)
    uint8_t deviceAddress;         // 8-bit form: 7-bit address x 2
    uint8_t* registerAddress;      // register address bytes
    uint32_t registerAddressSize;  // always 1
    uint8_t* data;                 // bytes read or written
    uint32_t dataSize;
    uint32_t speed;          // 100, or 30 for the slow variants
    uint32_t speedSelector;  // 0 (version 3 only, by size)
    uint32_t portId;         // version 3 only
    uint32_t portIdValid;    // 1 (version 3 only)
};

/// Size of the version-1 request: everything before the speed selector.
inline constexpr std::size_t kI2cInfoV1Size = offsetof(I2cInfo, speedSelector);
inline constexpr uint32_t kI2cInfoVer1 = MakeVersion(kI2cInfoV1Size, 1);
inline constexpr uint32_t kI2cInfoVer3 = MakeVersion(sizeof(I2cInfo), 3);

static_assert(offsetof(I2cInfo, displayMask) == 4);
static_assert(offsetof(I2cInfo, portByte) == 8);
static_assert(offsetof(I2cInfo, deviceAddress) == 9);
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(I2cInfo, registerAddress) == 12);
static_assert(offsetof(I2cInfo, registerAddressSize) == 16);
static_assert(offsetof(I2cInfo, data) == 20);
static_assert(offsetof(I2cInfo, dataSize) == 24);
static_assert(offsetof(I2cInfo, speed) == 28);
static_assert(offsetof(I2cInfo, speedSelector) == 32);
static_assert(offsetof(I2cInfo, portId) == 36);
static_assert(offsetof(I2cInfo, portIdValid) == 40);
static_assert(sizeof(I2cInfo) == 44);
static_assert(kI2cInfoVer1 == 0x10020);
static_assert(kI2cInfoVer3 == 0x3002C);
#else
static_assert(sizeof(void*) == 8);
static_assert(offsetof(I2cInfo, registerAddress) == 16);
static_assert(offsetof(I2cInfo, registerAddressSize) == 24);
static_assert(offsetof(I2cInfo, data) == 32);
static_assert(offsetof(I2cInfo, dataSize) == 40);
static_assert(offsetof(I2cInfo, speed) == 44);
static_assert(offsetof(I2cInfo, speedSelector) == 48);
static_assert(offsetof(I2cInfo, portId) == 52);
static_assert(offsetof(I2cInfo, portIdValid) == 56);
static_assert(sizeof(I2cInfo) == 64);
static_assert(kI2cInfoVer1 == 0x10030);
static_assert(kI2cInfoVer3 == 0x30040);
#endif

inline constexpr uint32_t kI2cSpeedNormal = 100;
inline constexpr uint32_t kI2cSpeedSlow = 30;

/// The extended I2C entries take this 8-byte value as their third argument; callers zero it.
using I2cExScratch = uint64_t;
static_assert(sizeof(I2cExScratch) == 8);

/// Board control written through the voltage-rail setting entry: {version, a, b, 1}.
struct BoardControl {
    uint32_t version;
    uint32_t valueA;
    uint32_t valueB;
    uint32_t enable;  // always 1
};
static_assert(sizeof(BoardControl) == 16);
static_assert(offsetof(BoardControl, valueA) == 4);
static_assert(offsetof(BoardControl, valueB) == 8);
static_assert(offsetof(BoardControl, enable) == 12);
inline constexpr uint32_t kBoardControlVer = MakeVersion(sizeof(BoardControl), 1);
static_assert(kBoardControlVer == 0x10010);

extern "C" {
using I2cFn = int32_t (*)(PhysicalGpuHandle gpu, I2cInfo* info);
using I2cExFn = int32_t (*)(PhysicalGpuHandle gpu, I2cInfo* info, I2cExScratch* scratch);
using SetBoardControlFn = int32_t (*)(PhysicalGpuHandle gpu, BoardControl* control);
}

}  // namespace vx::nvapi
