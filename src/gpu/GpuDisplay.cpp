// DPCD reads and writes for the settings dialog, through the display of the GPU's record.
#include "gpu/DisplayEntries.h"
#include "gpu/DpAux.h"
#include "gpu/GpuAccess.h"

#include <vector>

namespace vx {
namespace {

struct AuxTarget {
    nvapi::DisplayHandle display = nullptr;
    uint32_t displayId = 0;
};

// The handle may have changed since start-up (a mode change re-creates it); the name does not.
int32_t RefreshTarget(const driver::DisplayEntries& entries, SharedHandle<nvapi::DisplayHandle>& handle,
                      AuxTarget& target) {
    nvapi::ShortString name{};
    if (int32_t status = entries.GetAssociatedNvidiaDisplayName(handle.load(), name)) return status;
    nvapi::DisplayHandle display = nullptr;
    if (int32_t status = entries.GetAssociatedNvidiaDisplayHandle(name, &display)) return status;
    handle.store(display);
    target.display = display;
    return entries.GetDisplayIdByDisplayName(name, &target.displayId);
}

}  // namespace

int32_t GpuAccess::DpcdRead(uint8_t gpu, uint32_t address, uint32_t count, uint8_t* data) {
    if (gpu >= GetGpuCount() || !data) return nvapi::INVALID_ARGUMENT;
    driver::DisplayEntries entries(api_.binding());
    AuxTarget target;
    if (int32_t status = RefreshTarget(entries, records_[gpu].hNvDisplay, target)) return status;
    return dpaux::InPieces(address, data, count, [&](uint32_t at, uint8_t* bytes, uint32_t n) {
        int32_t status = dpaux::Transfer(entries, target.display, target.displayId, 0, at, bytes, n);
        ReportAuxStatus(status);
        return status;
    });
}

int32_t GpuAccess::DpcdWrite(uint8_t gpu, uint32_t address, uint32_t count, const uint8_t* data) {
    if (gpu >= GetGpuCount() || !data) return nvapi::INVALID_ARGUMENT;
    driver::DisplayEntries entries(api_.binding());
    AuxTarget target;
    if (int32_t status = RefreshTarget(entries, records_[gpu].hNvDisplay, target)) return status;
    std::vector<uint8_t> bytes(data, data + count);  // the transfer API takes writable buffers
    return dpaux::InPieces(address, bytes.data(), count, [&](uint32_t at, uint8_t* piece, uint32_t n) {
        int32_t status = dpaux::Transfer(entries, target.display, target.displayId, dpaux::kFlagWrite, at, piece, n);
        ReportAuxStatus(status);
        return status;
    });
}

}  // namespace vx
