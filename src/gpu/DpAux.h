#pragma once
// DisplayPort AUX transfers: one request of at most 16 bytes, and DPCD reads and writes split
// into such requests. Shared by GpuAccess (the settings dialog) and the display viewer.
#include "gpu/DisplayEntries.h"

#include <cstdint>
#include <functional>

namespace vx::dpaux {

// Transfer flags.
inline constexpr uint32_t kFlagI2c = 1u << 0;
inline constexpr uint32_t kFlagWrite = 1u << 1;
inline constexpr uint32_t kFlagMiddleOfTransaction = 1u << 2;
inline constexpr uint32_t kFlagSpecial = 1u << 3;

/// The AUX command word for a transfer's flags.
uint32_t CommandFor(uint32_t flags);

/// One request of 1 to 16 bytes. On a read, copies out at most `count` bytes, and fewer when
/// the driver reports a smaller size. Returns the driver status, or the reply when the status
/// is 0 and the reply is not.
int32_t Transfer(const driver::DisplayEntries& entries, nvapi::DisplayHandle display, uint32_t displayId,
                 uint32_t flags, uint32_t address, uint8_t* data, uint32_t count);

/// Sends one piece (address, bytes, count ≤ 16); returns its status.
using PieceFn = std::function<int32_t(uint32_t address, uint8_t* data, uint32_t count)>;
/// Splits `count` bytes into pieces of at most 16, stopping at the first non-zero result.
int32_t InPieces(uint32_t address, uint8_t* data, uint32_t count, const PieceFn& piece);

}  // namespace vx::dpaux
