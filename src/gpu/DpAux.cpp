#include "gpu/DpAux.h"

#include <algorithm>
#include <cstring>

namespace vx::dpaux {

uint32_t CommandFor(uint32_t flags) {
    if (flags & kFlagSpecial) return nvapi::kAuxSpecial;
    const bool write = flags & kFlagWrite;
    if (!(flags & kFlagI2c)) return write ? nvapi::kAuxNativeWrite : nvapi::kAuxNativeRead;
    if (flags & kFlagMiddleOfTransaction) return write ? nvapi::kAuxI2cWriteMot : nvapi::kAuxI2cReadMot;
    return write ? nvapi::kAuxI2cWrite : nvapi::kAuxI2cRead;
}

int32_t Transfer(const driver::DisplayEntries& entries, nvapi::DisplayHandle display, uint32_t displayId,
                 uint32_t flags, uint32_t address, uint8_t* data, uint32_t count) {
    if (count == 0 || count > nvapi::kAuxMaxBytes || !data) return nvapi::INVALID_ARGUMENT;
    nvapi::AuxRequest request{};
    request.version = nvapi::kAuxRequestVer;
    request.displayId = displayId;
    request.command = CommandFor(flags);
    request.address = address;
    request.size = count - 1;
    const bool write = flags & kFlagWrite;
    if (write) {
        std::memcpy(request.data, data, count);
        request.reply = 1;  // a write counts only once the sink acknowledged it
    }
    int32_t status = entries.DpAuxChannelControl(display, &request);
    if (status == nvapi::OK && request.reply != 0) return static_cast<int32_t>(request.reply);
    if (status != nvapi::OK || write) return status;
    // The driver's size word may claim more than was asked; never copy past the caller's buffer.
    const uint32_t moved = std::min<uint32_t>(request.size + 1, count);
    std::memcpy(data, request.data, moved);
    return status;
}

int32_t InPieces(uint32_t address, uint8_t* data, uint32_t count, const PieceFn& piece) {
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min<uint32_t>(count - done, nvapi::kAuxMaxBytes);
        if (int32_t status = piece(address + done, data + done, n); status != 0) return status;
        done += n;
    }
    return 0;
}

}  // namespace vx::dpaux
