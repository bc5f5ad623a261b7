#include "display/DisplayViewer.h"

#include "gpu/DpAux.h"

#include <algorithm>
#include <cstring>

namespace vx::display {
namespace {

void PutLittleEndian(uint8_t* out, uint32_t value, uint32_t bytes) {
    for (uint32_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

DisplayViewer::DisplayViewer(driver::DriverBinding& binding, ui::IClock& clock) : entries_(binding), clock_(clock) {}

int32_t DisplayViewer::ViewerOpen() {
    std::lock_guard guard(lock_);
    if (open_) return -1;
    if (entries_.binding().DriverInitialize() != 0) return -3;
    nvapi::PhysicalGpuHandle gpus[nvapi::kMaxPhysicalGpus] = {};
    uint32_t count = 0;
    if (entries_.EnumPhysicalGPUs(gpus, &count) != nvapi::OK || count == 0) {
        entries_.binding().DriverUnload();
        return -3;
    }
    open_ = true;
    return 0;
}

bool DisplayViewer::isOpen() const {
    std::lock_guard guard(lock_);
    return open_;
}

int32_t DisplayViewer::ListDisplays(std::vector<DisplayEntry>& list) {
    std::lock_guard guard(lock_);
    if (!open_) return -1;
    list.clear();
    auto describe = [&](nvapi::DisplayHandle handle, uint32_t attached) {
        DisplayEntry entry;
        entry.handle = handle;
        entry.attached = attached;
        nvapi::ShortString name{};
        if (entries_.GetAssociatedNvidiaDisplayName(handle, name) != nvapi::OK) return false;
        entry.name.assign(name, strnlen(name, sizeof name));
        if (entries_.GetDisplayIdByDisplayName(name, &entry.displayId) != nvapi::OK) return false;
        if (entries_.GetLogicalGPUFromDisplay(handle, &entry.logicalGpu) != nvapi::OK) return false;
        list.push_back(std::move(entry));
        return true;
    };
    for (uint32_t i = 0; list.size() < kMaxDisplays; ++i) {
        nvapi::DisplayHandle handle = nullptr;
        if (entries_.EnumNvidiaDisplayHandle(i, &handle) != nvapi::OK || !describe(handle, 1)) break;
    }
    for (uint32_t i = 0; list.size() < kMaxDisplays; ++i) {
        nvapi::UnAttachedDisplayHandle unattached = nullptr;
        nvapi::DisplayHandle handle = nullptr;
        if (entries_.EnumNvidiaUnAttachedDisplayHandle(i, &unattached) != nvapi::OK ||
            entries_.CreateDisplayFromUnAttachedDisplay(unattached, &handle) != nvapi::OK || !describe(handle, 0))
            break;
    }
    return 0;
}

int32_t DisplayViewer::AuxTransfer(const DisplayEntry& entry, uint32_t flags, uint32_t address, uint8_t* data,
                                   uint32_t count) {
    std::lock_guard guard(lock_);
    if (!open_) return -1;
    if (count == 0) return -2;
    return dpaux::Transfer(entries_, entry.handle, entry.displayId, flags, address, data, count);
}

int32_t DisplayViewer::DpcdRead(const DisplayEntry& entry, uint32_t address, uint32_t count, uint8_t* data) {
    std::lock_guard guard(lock_);
    return dpaux::InPieces(address, data, count, [&](uint32_t at, uint8_t* bytes, uint32_t n) {
        return AuxTransfer(entry, 0, at, bytes, n);
    });
}

int32_t DisplayViewer::DpcdWrite(const DisplayEntry& entry, uint32_t address, uint32_t count, const uint8_t* data) {
    std::lock_guard guard(lock_);
    std::vector<uint8_t> bytes(data, data + count);
    return dpaux::InPieces(address, bytes.data(), count, [&](uint32_t at, uint8_t* piece, uint32_t n) {
        return AuxTransfer(entry, dpaux::kFlagWrite, at, piece, n);
    });
}

// Every poll gives up after 10 s: a device that never clears its busy bit must not hang us.
int32_t DisplayViewer::Poll(const DisplayEntry& entry, uint8_t& result) {
    const uint64_t deadline = clock_.TickCountMs() + mailbox::kPollLimitMs;
    for (;;) {
        uint8_t state[2] = {};
        if (int32_t status = DpcdRead(entry, mailbox::kCommand, 2, state)) return status;
        if (!(state[0] & mailbox::kBusy)) {
            result = state[1];
            return 0;
        }
        if (clock_.TickCountMs() >= deadline) return -1;
        clock_.SleepMs(mailbox::kPollStepMs);
    }
}

int32_t DisplayViewer::Command(const DisplayEntry& entry, uint8_t command, uint32_t length, uint32_t offset,
                               const uint8_t* writeData, uint8_t* readData, MailboxKind kind) {
    std::lock_guard guard(lock_);
    const uint32_t fieldBytes = kind == MailboxKind::Guarded ? 4 : 2;
    uint32_t done = 0;
    do {
        const uint32_t n = std::min(length - done, mailbox::kDataSize);
        if (n != 0) {
            uint8_t field[4] = {};
            if (writeData)
                if (int32_t status = DpcdWrite(entry, mailbox::kData, n, writeData + done)) return status;
            PutLittleEndian(field, offset + done, fieldBytes);
            if (int32_t status = DpcdWrite(entry, mailbox::kOffset, fieldBytes, field)) return status;
            PutLittleEndian(field, n, fieldBytes);
            if (int32_t status = DpcdWrite(entry, mailbox::kLength, fieldBytes, field)) return status;
        }
        const uint8_t start = command | mailbox::kBusy;
        if (int32_t status = DpcdWrite(entry, mailbox::kCommand, 1, &start)) return status;
        uint8_t result = 0;
        if (int32_t status = Poll(entry, result)) return status;
        if (result != 0) return result;
        if (readData && n != 0)
            if (int32_t status = DpcdRead(entry, mailbox::kData, n, readData + done)) return status;
        done += n;
    } while (done < length);
    return 0;
}

int32_t DisplayViewer::MailboxWrite(const DisplayEntry& entry, uint8_t command, uint32_t length, uint32_t offset,
                                    const uint8_t* data, MailboxKind kind) {
    if (length && !data) return nvapi::INVALID_ARGUMENT;
    return Command(entry, command, length, offset, data, nullptr, kind);
}

int32_t DisplayViewer::MailboxRead(const DisplayEntry& entry, uint8_t command, uint32_t length, uint32_t offset,
                                   uint8_t* data, MailboxKind kind) {
    if (length && !data) return nvapi::INVALID_ARGUMENT;
    return Command(entry, command, length, offset, nullptr, data, kind);
}

int32_t DisplayViewer::IdentifyDevice(const DisplayEntry& entry) {
    std::lock_guard guard(lock_);
    uint8_t identity[2] = {};
    if (int32_t status = DpcdRead(entry, mailbox::kIdentity, 2, identity)) return status;
    if (!(identity[0] & 0x04)) return -1;
    if (!(identity[1] & 0x01)) {
        const auto* code = reinterpret_cast<const uint8_t*>(mailbox::kUnlockCode);
        if (int32_t status = MailboxWrite(entry, mailbox::kUnlock, 6, 0, code, MailboxKind::Guarded)) return status;
    }
    uint8_t model[2] = {};
    return MailboxRead(entry, mailbox::kIdentify, 2, 0, model, MailboxKind::Guarded);
}

int32_t DisplayViewer::TryWideTiming(const DisplayEntry& entry, const WideTiming& timing) {
    std::lock_guard guard(lock_);
    if (!open_) return -1;
    uint32_t outputId = 0;
    if (int32_t status = entries_.GetAssociatedDisplayOutputId(entry.handle, &outputId)) return status;
    nvapi::TimingInput input{nvapi::kTimingInputVer, timing.hActive, timing.vActive, RefreshOf(timing), {0, 0, 0},
                             nvapi::kTimingTypeAuto};
    nvapi::Timing base{};
    if (int32_t status = entries_.GetTiming(entry.handle, outputId, &input, &base)) return status;
    nvapi::CustomDisplay custom = CustomDisplayFor(timing, base);
    return entries_.TryCustomDisplay(entry.handle, outputId, &custom);
}

int32_t DisplayViewer::SaveCustomTiming(const DisplayEntry& entry) {
    std::lock_guard guard(lock_);
    if (!open_) return -1;
    return entries_.SaveCustomDisplay(entry.handle, 1, 1);
}

int32_t DisplayViewer::RevertCustomTiming(const DisplayEntry& entry) {
    std::lock_guard guard(lock_);
    if (!open_) return -1;
    uint32_t displayId = entry.displayId;
    return entries_.DispRevertCustomDisplayTrial(&displayId, 1);
}

}  // namespace vx::display
