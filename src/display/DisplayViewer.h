#pragma once
// The viewer's connection to the multi-display device: the display list, DisplayPort AUX
// transfers, DPCD reads and writes, and the device's mailbox. One lock serialises its calls.
#include "display/WideTimings.h"
#include "gpu/DisplayEntries.h"
#include "ui/IClock.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vx::display {

struct DisplayEntry {
    nvapi::DisplayHandle handle = nullptr;
    uint32_t displayId = 0;
    std::string name;
    uint32_t attached = 0;  // 1 for a display on the desktop
    nvapi::LogicalGpuHandle logicalGpu = nullptr;
};

namespace mailbox {
constexpr uint32_t kPanels = 0x4A6;
constexpr uint32_t kIdentity = 0x4B0;
constexpr uint32_t kCommand = 0x4B2;
constexpr uint32_t kLength = 0x4B8;
constexpr uint32_t kOffset = 0x4BC;
constexpr uint32_t kData = 0x4C0;
constexpr uint32_t kDataSize = 32;
constexpr uint8_t kBusy = 0x80;
constexpr uint8_t kUnlock = 0x01;
constexpr uint8_t kIdentify = 0x04;
constexpr uint8_t kFirmwareVersion = 0x30;
constexpr uint8_t kRegisterWrite = 0x60;
constexpr const char* kUnlockCode = "KESTRA";
constexpr uint32_t kFirmwareOffset = 95;
constexpr uint32_t kFirmwareLength = 13;
constexpr uint64_t kPollLimitMs = 10000;
constexpr uint32_t kPollStepMs = 10;
}  // namespace mailbox

/// Field widths of the two mailbox protocols: the plain one (2-byte length and offset) and the
/// guarded one of the device check (4-byte).
enum class MailboxKind { Plain, Guarded };

class DisplayViewer {
public:
    static constexpr std::size_t kMaxDisplays = 256;

    DisplayViewer(driver::DriverBinding& binding, ui::IClock& clock);

    /// 0 connected; -1 already open; -3 no GPU (the connection stays closed).
    int32_t ViewerOpen();
    bool isOpen() const;

    /// Attached displays, then unattached ones; each list stops at its first failure.
    int32_t ListDisplays(std::vector<DisplayEntry>& entries);
    /// One AUX request: -1 without an open connection, -2 for a count of 0.
    int32_t AuxTransfer(const DisplayEntry& entry, uint32_t flags, uint32_t address, uint8_t* data, uint32_t count);
    /// In requests of at most 16 bytes; the first error or non-zero reply ends it.
    int32_t DpcdRead(const DisplayEntry& entry, uint32_t address, uint32_t count, uint8_t* data);
    int32_t DpcdWrite(const DisplayEntry& entry, uint32_t address, uint32_t count, const uint8_t* data);

    /// Mailbox commands: the device's result code (0 success), a transfer's failure, or -1 when
    /// the busy bit stays set for 10 s. Data beyond 32 bytes goes in several commands.
    int32_t MailboxWrite(const DisplayEntry& entry, uint8_t command, uint32_t length, uint32_t offset,
                         const uint8_t* data, MailboxKind kind = MailboxKind::Plain);
    int32_t MailboxRead(const DisplayEntry& entry, uint8_t command, uint32_t length, uint32_t offset, uint8_t* data,
                        MailboxKind kind = MailboxKind::Plain);
    /// 0 when `entry` is the device (unlocked on the way), -1 when it is not, else a failure.
    int32_t IdentifyDevice(const DisplayEntry& entry);

    /// Tries `timing` as the display's custom mode (not saved): the driver's status.
    int32_t TryWideTiming(const DisplayEntry& entry, const WideTiming& timing);
    /// Keeps the tried mode in the display's resolution list.
    int32_t SaveCustomTiming(const DisplayEntry& entry);
    /// Gives the tried mode up.
    int32_t RevertCustomTiming(const DisplayEntry& entry);

private:
    int32_t Command(const DisplayEntry& entry, uint8_t command, uint32_t length, uint32_t offset,
                    const uint8_t* writeData, uint8_t* readData, MailboxKind kind);
    int32_t Poll(const DisplayEntry& entry, uint8_t& result);

    driver::DisplayEntries entries_;
    ui::IClock& clock_;
    mutable std::recursive_mutex lock_;  // the mailbox calls the DPCD calls
    bool open_ = false;
};

}  // namespace vx::display
