#pragma once
// The one object through which the program reaches the GPUs: it binds the driver, enumerates
// and identifies the cards and keeps one GpuRecord per GPU. Operations take the GPU index
// first and return the driver's status unchanged (0 success).
#include "gpu/DriverBinding.h"
#include "gpu/GpuRecord.h"
#include "gpu/LegacyClockRange.h"  // Clocks
#include "gpu/NvApiEntries.h"
#include "gpu/PowerStructs.h"  // Power
#include "gpu/VoltageCodes.h"  // I2C
#include "ui/IClock.h"  // waits
#include "ui/IPrompts.h"        // message boxes

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace vx {

class GpuAccess {
public:
    static constexpr int kMaxGpus = 20;
    /// Handles kept from each enumeration (physical, compute-mode).
    static constexpr int kMaxHandlesPerKind = 10;

    /// Receives one finished line of diagnostic text.
    using TextSink = std::function<void(const std::string& text)>;

    explicit GpuAccess(driver::DriverBinding& binding = driver::DriverBinding::Process());
    GpuAccess(const GpuAccess&) = delete;
    GpuAccess& operator=(const GpuAccess&) = delete;

    /// Binds the driver, enumerates and identifies the GPUs. 0 success, 1 the driver or the
    /// GPUs are unusable, 2 the operating system is unsupported.
    int32_t Initialize();

    uint8_t GetGpuCount() const { return gpuCount_.load(); }
    /// The interface thread that background workers report to.
    void SetUiThreadId(uint32_t threadId) { uiThreadId_.store(threadId); }
    uint32_t uiThreadId() const { return uiThreadId_.load(); }
    bool is64BitOs() const { return is64BitOs_; }

    /// Closes every GPU's I2C lock; called at exit.
    void ReleaseHandles();

    // Per-GPU accessors. An index at or past GetGpuCount() yields a neutral value: null,
    // empty, false, 0, or kFanNotControllable for fanAccessKind.
    nvapi::PhysicalGpuHandle hPhysicalGpu(uint8_t gpu) const;
    const std::string& deviceIdText(uint8_t gpu) const;
    const std::string& biosTagText(uint8_t gpu) const;
    bool has2DLevel(uint8_t gpu) const;
    bool has3DLowPowerLevel(uint8_t gpu) const;
    bool has3DPerformanceLevel(uint8_t gpu) const;
    bool usesPstates20(uint8_t gpu) const;
    bool usesVfPoints(uint8_t gpu) const;
    bool isSupported(uint8_t gpu) const;
    bool legacyListA(uint8_t gpu) const;
    int32_t fanAccessKind(uint8_t gpu) const;
    bool boardA013(uint8_t gpu) const;
    int32_t uiFlag(uint8_t gpu) const;
    void SetUiFlag(uint8_t gpu, int32_t value);
    bool IsCardDevicePresent(uint8_t gpu, int slot) const;
    /// The whole record, or null for an index past the GPUs in use.
    const GpuRecord* Record(uint8_t gpu) const;

    /// The GPU the main window shows (-1 before the first selection).
    void SetSelectedGpu(int32_t gpu) { selectedGpu_.store(gpu); }
    int32_t selectedGpu() const { return selectedGpu_.load(); }

    /// Driver version number (e.g. 41091 for 410.91) and build branch.
    int32_t GetDriverVersion(uint32_t& drvVersion, std::string& buildBranch);
    /// Dedicated video memory in KB.
    int32_t GetMemoryInfo(uint32_t& dedicatedKb);

    /// Names a failed DisplayPort AUX transfer on the debug output; 0 writes nothing.
    void ReportAuxStatus(int32_t status);

    // Display tools (GpuDisplay.cpp): DPCD access through the GPU's display, in requests of at
    // most 16 bytes, each failure named by ReportAuxStatus. The display handle is refreshed from
    // its name first. 0, the first failed request's status or reply, or -5 for a bad GPU index.
    int32_t DpcdRead(uint8_t gpu, uint32_t address, uint32_t count, uint8_t* data);
    int32_t DpcdWrite(uint8_t gpu, uint32_t address, uint32_t count, const uint8_t* data);

    /// Reads every GPU's legacy perf-level table into its record: 0, or the failed read's
    /// status, or -1 when a GPU reports no levels or none of the three known ones.
    int32_t ReadLegacyClockTable();

    /// Where trace lines go (standard output unless replaced).
    void SetTraceSink(TextSink sink);
    /// Where debug lines go (standard error unless replaced).
    void SetDebugSink(TextSink sink);

    // Telemetry (GpuTelemetry.cpp). Values come back in the driver's units (kHz, µV, °C,
    // 1/1000 percent); gpu/TelemetryUnits.h converts them. A GPU index past the GPUs in
    // use is -5 and its outputs stay as they were, unless a method says otherwise.

    /// The GPU's marketing name (at most 64 bytes); unchanged on failure.
    int32_t GetGpuName(uint8_t gpu, std::string& name);
    /// The video BIOS version, upper-cased, at most 64 characters; unchanged on failure.
    int32_t GetBiosVersion(uint8_t gpu, std::string& version);
    /// The temperature of the first sensor that measures the GPU. -1, with `celsius`
    /// unchanged, when no sensor does; a failed read returns its status unchanged.
    int32_t GetTemperature(uint8_t gpu, int32_t& celsius);
    /// Fills the caller's structure, which carries the version word and the clock type
    /// (see telemetry::ClockRequest).
    int32_t GetClockFrequencies(uint8_t gpu, nvapi::ClockFrequencies& clocks);
    /// Fills the caller's utilisation structure (version word set by the caller).
    int32_t GetUtilization(uint8_t gpu, nvapi::DynamicPstatesInfo& info);
    /// The core voltage from the rail status. Always stores: 0 when the read fails.
    int32_t GetCoreVoltageUv(uint8_t gpu, uint32_t& microvolts);
    /// The core voltage from the voltage domains status (entry 0); traces every domain.
    int32_t GetCoreVoltageDomainUv(uint8_t gpu, uint32_t& microvolts);
    /// The P-state the GPU runs in (0 fastest).
    int32_t GetCurrentPstate(uint8_t gpu, uint32_t& pstate);
    /// Fills the caller's power topology information structure.
    int32_t GetPowerTopologyInfo(uint8_t gpu, nvapi::PowerTopologyInfo& info);
    /// Fills the caller's power topology status structure, whose count and channel IDs come
    /// from the information read (see telemetry::PowerStatusRequest).
    int32_t GetPowerTopologyStatus(uint8_t gpu, nvapi::PowerTopologyStatus& status);
    /// True when the tachometer can be read.
    bool IsTachAvailable(uint8_t gpu);
    /// The fan speed from the tachometer; unchanged on failure.
    int32_t GetTachRpm(uint8_t gpu, uint32_t& rpm);
    /// After -101 or -10 (the handles went stale, e.g. the driver restarted) enumerates the
    /// GPUs again, refreshing only the GPU and display handles and the GPU count. Returns the
    /// enumeration's status, or 0 when `status` asked for nothing. Safe against calls from other
    /// threads: the handles are atomic and one enumeration runs at a time.
    int32_t RefreshHandlesOnStatus(int32_t status);
    // End of telemetry

    // I2C access and card devices (GpuI2c.cpp, CardDeviceProbes.cpp, CardDeviceOps.cpp).
    // Every transfer holds the GPU's i2cMutex for that one request; a call that cannot take
    // it within the lock timeout returns -1 without touching the driver. A failed transfer
    // is retried once through the extended entry, whose status is final. A GPU index past
    // the GPUs in use, or a slot outside 0 to 14, is -5.

    static constexpr std::chrono::milliseconds kI2cLockTimeout{2000};
    /// How long an I2C call waits for the GPU's lock (tests shorten it).
    void SetI2cLockTimeout(std::chrono::milliseconds timeout);

    /// Transfer to card-device slot `slot` (its port byte and address): version 3 on P-state
    /// 2.0 and VF-point GPUs (port ID 1), else version 1 (port ID 2); speed 100. -104, with
    /// the bus untouched, when the slot holds no device.
    int32_t I2cReadSlot(uint8_t gpu, uint8_t* reg, uint32_t regLength, uint8_t* data, uint32_t dataLength,
                        int slot);
    int32_t I2cWriteSlot(uint8_t gpu, uint8_t* reg, uint32_t regLength, uint8_t* data, uint32_t dataLength,
                         int slot);
    /// As the slot transfers, but always version 1 at speed 30.
    int32_t I2cReadSlotSlow(uint8_t gpu, uint8_t* reg, uint32_t regLength, uint8_t* data, uint32_t dataLength,
                            int slot);
    int32_t I2cWriteSlotSlow(uint8_t gpu, uint8_t* reg, uint32_t regLength, uint8_t* data,
                             uint32_t dataLength, int slot);
    /// One byte from register `reg` of the device at 8-bit address `address`, port byte 2:
    /// version 1 when `port` is 2, else version 3 with port ID `port`.
    int32_t I2cReadAt(uint8_t gpu, uint8_t address, uint8_t reg, uint8_t* data, uint32_t port);
    /// As I2cReadAt, writing `dataLength` bytes.
    int32_t I2cWriteAt(uint8_t gpu, uint8_t address, uint8_t reg, uint8_t* data, uint32_t port,
                       uint32_t dataLength);
    /// As I2cReadAt / a one-byte I2cWriteAt, on port byte 1.
    int32_t I2cReadAtPort1(uint8_t gpu, uint8_t address, uint8_t reg, uint8_t* data, uint32_t port);
    int32_t I2cWriteAtPort1(uint8_t gpu, uint8_t address, uint8_t reg, uint8_t* data, uint32_t port);

    /// Sets the slot's 8-bit device address; 0 marks it absent.
    int32_t SetCardDeviceAddress(uint8_t gpu, int slot, uint8_t address);
    /// Not I2C: writes {a, b, 1} through the voltage-rail setting entry (lighting uses it).
    int32_t SetBoardControl(uint8_t gpu, uint8_t valueA, uint8_t valueB);
    /// Finds the on-card devices, in start-up order; a device that does not answer as
    /// expected is left absent. Probes report nothing: 0, or -5 for a bad GPU index.
    int32_t ProbeCardDevices(uint8_t gpu);

    /// The voltage code table, built with this object.
    const VoltageCodes& voltageCodes() const { return voltageCodes_; }

    /// Range of voltage codes A by the first present device of slots 2 (level kinds 1 and 2
    /// only), 3, 5 and 7; -1 when none applies.
    int32_t GetVoltageCodeRangeA(uint8_t gpu, int32_t& minimum, int32_t& maximum, int32_t kind);
    /// Range of voltage codes B by slot 6, else slot 12; -1 when none applies.
    int32_t GetVoltageCodeRangeB(uint8_t gpu, int32_t& minimum, int32_t& maximum);
    /// The offset the range-B regulator adds to the core voltage: the code of slot 6 (register
    /// 0x01) x 10 mV, else of slot 12 (register 0x6F) x 12.5 mV; -104 when neither is fitted.
    int32_t GetRegulatorOffsetUv(uint8_t gpu, uint32_t& microvolts);
    /// Clamps into range A (kind 1) and writes register 0x01 of slot 3 (slow); -1 without a range.
    int32_t SetVoltageCodeA(uint8_t gpu, int32_t code);
    /// Clamps into range B and writes register 0x01 of slot 6; -1 without a range.
    int32_t SetVoltageCodeB(uint8_t gpu, int32_t code);
    /// Register 0x01 of slot 3 (slow).
    int32_t GetVoltageCodeA(uint8_t gpu, uint8_t& code);
    /// Slot 7 (slow): the code to register 0x18, 0x55 to 0x1D, then bit 3 of 0x19 set.
    int32_t SetVoltageSlot7(uint8_t gpu, uint8_t code);
    /// Register 0x18 of slot 7.
    int32_t GetVoltageSlot7(uint8_t gpu, uint8_t& code);
    /// Writes the code's low 7 bits to register `reg` of slot 2 (slow).
    int32_t SetVoltageSlot2(uint8_t gpu, uint8_t reg, uint8_t code);
    /// Low 7 bits of register `reg` of slot 2 (slow).
    int32_t GetVoltageSlot2(uint8_t gpu, uint8_t reg, uint8_t& code);
    /// Core voltage in volts from the slot-2 controller, else from the slot-0 controller.
    int32_t ReadLegacyCoreVoltage(uint8_t gpu, double& volts);
    /// The slot-2 voltage register (0x15 to 0x18) of legacy level kind 1 or 2, once its range
    /// code has been read (GetLegacyCurrentClocks); 0 before.
    uint8_t LegacyVoltageRegister(uint8_t gpu, int32_t kind) const;

    /// Card device 0 (the RPM fan controller): temperature in °C from register 0x14.
    int32_t ReadControllerTemperature(uint8_t gpu, int32_t& celsius);
    /// Temperature offset, register 0x64, as a signed byte.
    int32_t GetControllerTempOffset(uint8_t gpu, int32_t& value);
    int32_t SetControllerTempOffset(uint8_t gpu, int32_t value);
    /// Board sensor a: register 0x12 x 0.008 x 6.55.
    int32_t ReadControllerSensorA(uint8_t gpu, float& value);
    /// Board sensor b from two reads of register 0x1F. A failed read gives the last good
    /// value together with the failure status.
    int32_t ReadControllerSensorB(uint8_t gpu, float& value);
    /// Two bytes of register 0x03 of `slot` (slow) as one 16-bit number, first byte high.
    int32_t ReadMonitorWord(uint8_t gpu, int slot, uint16_t& value);

    /// Board device at 0x10 on port byte 1: true when register 0x1C cannot be read or has bit 5 set.
    bool ReadBoardFlag(uint8_t gpu);
    int32_t GetBoardRegister7A(uint8_t gpu, uint8_t& value);
    int32_t SetBoardRegister7A(uint8_t gpu, uint8_t value);

    /// Legacy perf levels (GpuLegacyClocks.cpp): current graphics, processor and memory clocks
    /// in kHz and the current level kind (1 2D, 2 3D performance, 3 3D low power, 4 the lower
    /// performance level, ID 2, of a four-level board, 0 unknown). -101 for an empty table.
    int32_t GetLegacyCurrentClocks(uint8_t gpu, int32_t& graphics, int32_t& processor, int32_t& memory,
                                   int32_t& kind);
    // End of I2C

    // Clocks (GpuClocks.cpp, GpuLegacyClocks.cpp): clock and voltage adjustments. Clocks and
    // offsets in kHz, voltages in µV. A GPU index past the GPUs in use is -5.

    /// The P-state 2.0 table into the caller's buffer: version 3, else version 1 whatever
    /// version 3 failed with (then the over-voltage block is left untouched).
    int32_t GetPstates20(uint8_t gpu, nvapi::Pstates20Info& info);
    /// As GetPstates20, but version 1 only after -9; traces the table it read.
    int32_t DumpPstates20(uint8_t gpu, nvapi::Pstates20Info& info);
    /// P-state 0 graphics clock offset.
    int32_t SetGraphicsClockOffset(uint8_t gpu, int32_t offsetKhz);
    /// P-state 0 memory clock offset.
    int32_t SetMemoryClockOffset(uint8_t gpu, int32_t offsetKhz);
    /// P-state 0 core base-voltage offset.
    int32_t SetCoreVoltageOffset(uint8_t gpu, int32_t offsetUv);
    /// Core over-voltage through the P-state 2.0 over-voltage block.
    int32_t SetOverVoltage(uint8_t gpu, int32_t offsetUv);
    /// Reads the over-voltage percent into overVoltPercent().
    int32_t GetOverVoltPercent(uint8_t gpu);
    int32_t SetOverVoltPercent(uint8_t gpu, uint8_t percent);
    /// Locks the voltage at `microvolts`; 0 releases the lock.
    int32_t SetVoltageLock(uint8_t gpu, uint32_t microvolts);
    /// Reads and traces the graphics, memory and voltage locks; a voltage lock lands in
    /// voltageLockUv(). The lines of the last read are kept in boostLockText().
    int32_t GetClockBoostLocks(uint8_t gpu);
    int32_t SetPerfLimitControl(uint8_t gpu);
    /// The caller sets the version word (nvapi::kPstatesInfoVer).
    int32_t GetPstatesInfo(uint8_t gpu, nvapi::PstatesInfo& info);
    int32_t SetPstatesInfo(uint8_t gpu, nvapi::PstatesInfo& info);
    /// The extended read, then a voltage table read whose result is ignored; the first status.
    int32_t GetPstatesInfoEx(uint8_t gpu, nvapi::PstatesInfo& info, uint32_t flags);
    /// Reads (direction 0) or writes one legacy perf level of kind 1 (2D), 2 (3D performance),
    /// 3 (3D low power) or 4 (the lower performance level of a four-level board). -1 for
    /// another kind or when no level matches.
    int32_t GetLegacyClockRange(uint8_t gpu, LegacyClockRange& range, int32_t kind);
    /// Fills the record's three shader-clock ratios from the legacy levels it has.
    int32_t PrepareShaderRatios(uint8_t gpu);
    /// The ratio of level kind 1, 2 or 3; 2.2 for any other kind (or GPU).
    float GetShaderRatio(uint8_t gpu, int32_t kind) const;
    uint8_t overVoltPercent() const { return overVoltPercent_; }
    uint32_t voltageLockUv() const { return voltageLockUv_; }
    const std::wstring& boostLockText() const { return boostLockText_; }
    // End of clocks

    // Message boxes (any feature): shown through `prompts`, which must outlive its use; none
    // are shown before it is set.
    void SetPrompts(ui::IPrompts* prompts) { prompts_ = prompts; }
    /// The prompts set last (null when none); a worker swaps in its own around its calls.
    ui::IPrompts* prompts() const { return prompts_; }
    // End of message boxes

    // Clock VF points (GpuVfPoints.cpp). The fields describe the GPU read last, not each GPU.
    static constexpr int kVfPointCount = nvapi::kVfMaxPoints;
    /// Domains information, then points information, into one caller buffer.
    int32_t GetVfInfo(uint8_t gpu, nvapi::ClkVfInfo& info);
    /// Traces the domains and points and keeps the graphics and memory offset ranges and
    /// point ranges; with `show` 1 the traced text is also shown in a message box.
    int32_t ReadVfDomains(uint8_t gpu, int32_t show);
    /// Reads the offsets of every programmable domain's points; the last point of each
    /// range gives the domain's offset in force.
    int32_t ReadVfOffsets(uint8_t gpu);
    /// Read-modify-write of one point's frequency offset in kHz. Refusals and driver failures
    /// are shown in a message box, except a point that takes no offset (only traced): -5 for
    /// a point outside the driver's mask, -104 for one that takes no offset, else the driver's.
    int32_t SetVfPointOffset(uint8_t gpu, int32_t index, int32_t offsetKhz);
    /// One pass of SetVfPointOffset calls over a range of points, for as long as it lives: the
    /// writes are unchanged, but only the pass's first failure is shown in a message box and the
    /// others are traced, so one refused offset gives one box instead of one per point. Create it
    /// where the calls are made (under the same lock).
    class VfWritePass {
    public:
        explicit VfWritePass(GpuAccess& gpus) : gpus_(gpus), outer_(gpus.vfPass_) { gpus_.vfPass_ = this; }
        ~VfWritePass() { gpus_.vfPass_ = outer_; }
        VfWritePass(const VfWritePass&) = delete;
        VfWritePass& operator=(const VfWritePass&) = delete;
        /// The status of the pass's first shown failure; OK when there was none.
        int32_t status() const { return status_; }

    private:
        friend class GpuAccess;
        GpuAccess& gpus_;
        VfWritePass* outer_;
        int32_t status_ = 0;
    };

    int32_t graphicsOffsetMaxKhz() const { return graphicsOffsetMaxKhz_; }
    int32_t graphicsOffsetMinKhz() const { return graphicsOffsetMinKhz_; }
    int32_t memoryOffsetMaxKhz() const { return memoryOffsetMaxKhz_; }
    int32_t memoryOffsetMinKhz() const { return memoryOffsetMinKhz_; }
    uint8_t vfPointFirstGraphics() const { return vfPointFirstGraphics_; }
    uint8_t vfPointLastGraphics() const { return vfPointLastGraphics_; }
    uint8_t vfPointFirstMemory() const { return vfPointFirstMemory_; }
    uint8_t vfPointLastMemory() const { return vfPointLastMemory_; }
    /// The offset last read for point `index`; 0 outside 0 to 254.
    int32_t vfPointOffset(int index) const {
        return index >= 0 && index < kVfPointCount ? vfPointOffsets_[static_cast<std::size_t>(index)] : 0;
    }
    int32_t graphicsVfOffsetKhz() const { return graphicsVfOffsetKhz_; }
    int32_t memoryVfOffsetKhz() const { return memoryVfOffsetKhz_; }
    // End of VF points

    // Waits (shared by every part of GPU access)
    /// Where waits go (the system clock unless replaced); the clock must outlive its use.
    void SetClock(ui::IClock& clock) { clock_ = &clock; }
    ui::IClock& clock() const { return *clock_; }
    // End of waits

    // Cooler control (GpuCooler.cpp). Fan modes: 1 automatic, 2 fixed. Statuses: 0 success,
    // -104 this fan kind cannot do it, -1 no fan cooler; controller accesses return the I2C
    // status. A GPU index past the GPUs in use is -5.
    static constexpr int32_t kFanModeAutomatic = 1;
    static constexpr int32_t kFanModeFixed = 2;

    /// Reads every cooler into `settings`, or into the record's `coolerSettings` when null; a
    /// successful read of the record's own list that shows no cooler makes the fan kind 4.
    int32_t ReadCoolerSettings(uint8_t gpu, nvapi::CoolerSettings* settings = nullptr);
    /// Index of the first cooler whose type is fan; -1 when there is none.
    int32_t FindFanCooler(uint8_t gpu, const nvapi::CoolerSettings& settings, uint8_t& index) const;
    int32_t GetFanLevelRange(uint8_t gpu, int32_t& maximum, int32_t& minimum) const;
    int32_t GetFanMode(uint8_t gpu, int32_t& mode);
    /// Percent, or RPM with `wantRpm` (kind 3 without it: the target speed in RPM).
    int32_t GetFanSpeed(uint8_t gpu, int32_t& value, bool wantRpm);
    /// A fixed level: percent, or a target speed in RPM on kind 3.
    int32_t SetFanLevel(uint8_t gpu, int32_t level);
    /// The driver-only fixed level of the automatic fan curve: kinds 0 and 1.
    int32_t SetCoolerLevel(uint8_t gpu, const int32_t* level);
    /// Back to automatic control. Kind 3 writes `curve` (4 bytes) and `speedsRpm` (5 RPM values),
    /// or the start-up limits when null. Kinds 0 and 1 report -104 after the driver restore.
    int32_t RestoreAutoFan(uint8_t gpu, const uint8_t* curve = nullptr, const int32_t* speedsRpm = nullptr);
    /// True when the driver says the fan may stop at low temperature.
    bool IsFanStopActive(uint8_t gpu);
    /// Kind 3 only: clears (0) or sets (1) the controller flag, bit 1 of register 0x60.
    int32_t SetControllerFlag(uint8_t gpu, int32_t on);
    /// Register 0x28 of card device 0 in °C; -104 when that device is absent.
    int32_t GetAlarmTemperature(uint8_t gpu, uint8_t& celsius);
    int32_t SetAlarmTemperature(uint8_t gpu, uint8_t celsius);
    /// Set when the video BIOS shows a board whose fan is written directly (kind 2).
    void SetFanAccessKind(uint8_t gpu, int32_t kind);
    /// The board tag the video BIOS scan found.
    void SetBiosTagText(uint8_t gpu, std::string tag);
    /// The fan microcontroller's tach and saved-control probe (card device 1): 45 %, five tach
    /// reads, the fan back as it was, then the saved control byte. -104 without the device or
    /// on a fan kind other than 1 and 2;
    /// a fan mode that cannot be read returns its status and probes nothing.
    int32_t ProbeFanController(uint8_t gpu);
    // End of cooler control

    // Power and thermal targets (GpuPower.cpp) and the frame-rate target (GpuFrameRate.cpp).
    // Power in 1/1000 percent of the default limit, temperatures in 1/256 °C. A GPU index past
    // the GPUs in use is -5. Refusals (out of range, unsupported) return 0 with a message.

    /// Sets the version word and reads; on success keeps entry 0's default in powerLimitDefault.
    int32_t GetPowerPoliciesInfo(uint8_t gpu, nvapi::PowerPoliciesInfo& info);
    /// The caller sets the version word, the count and the policy IDs.
    int32_t GetPowerPoliciesStatus(uint8_t gpu, nvapi::PowerPoliciesStatus& status);
    /// Sets the version word and writes.
    int32_t SetPowerPoliciesStatus(uint8_t gpu, nvapi::PowerPoliciesStatus& status);
    // The target writes below refuse a value outside the policy's range (or a flag other than
    // 0 and 1) with -5 and write nothing; missing support is 0 with its message, so callers
    // check support through the information reads first.
    /// Power target of `policy` in percent, checked against the policy's range (trace output).
    int32_t SetPowerLimit(uint8_t gpu, uint32_t policy, float percent);
    /// Reads and traces the thermal information and status (count and IDs from the information);
    /// starts a new round of policyMessages().
    int32_t GetThermalPolicies(uint8_t gpu, nvapi::ThermalPoliciesInfo& info, nvapi::ThermalPoliciesStatus& status);
    /// Temperature target of `policy` in °C, checked against its range (policyMessages()).
    int32_t SetThermalLimit(uint8_t gpu, uint32_t policy, float celsius);
    /// Sets or clears the prefer-acoustics flag (0 or 1) of `policy` (policyMessages()).
    int32_t SetThermalPreferFlag(uint8_t gpu, uint32_t policy, uint32_t flag);
    /// The power target and a temperature target derived from it along the policies' ranges.
    int32_t SetLinkedPowerAndThermal(uint8_t gpu, uint32_t powerPolicy, uint32_t thermalPolicy, float percent);
    /// Traces the power topology and policies; the text is also kept in powerPoliciesText().
    int32_t DumpPowerPolicies(uint8_t gpu);
    /// Traces the thermal policies' information and status.
    int32_t DumpThermalPolicies(uint8_t gpu);
    /// The frame-rate limiter's stored value on the base profile of the driver settings.
    int32_t GetFrameRateLimit(uint32_t& value);
    /// Writes `value` - 0x10000000 (0 with `disable`) to the frame-rate limiter and saves.
    int32_t SetFrameRateLimit(uint32_t value, bool disable);
    /// The messages of the thermal and linked writes since the last GetThermalPolicies.
    const std::wstring& policyMessages() const { return policyMessages_; }
    void ClearPolicyMessages() { policyMessages_.clear(); }
    /// The text of the last DumpPowerPolicies.
    const std::wstring& powerPoliciesText() const { return powerPoliciesText_; }
    // End of power

private:
    int32_t EnumerateGpus();
    int32_t IdentifyGpu(uint8_t gpu);
    int32_t ReadLegacyClockTable(GpuRecord& record);
    bool InRange(uint8_t gpu) const { return gpu < GetGpuCount(); }
    void Trace(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    driver::NvApiEntries api_;
    std::array<GpuRecord, kMaxGpus> records_;
    std::atomic<uint8_t> gpuCount_{0};
    std::mutex enumerationMutex_;  // one enumeration at a time (start-up or a handle refresh)
    bool is64BitOs_ = false;
    std::atomic<uint32_t> uiThreadId_{0};
    std::atomic<int32_t> selectedGpu_{-1};
    TextSink traceSink_;
    TextSink debugSink_;

    // I2C
    struct I2cRequest;
    int32_t I2cTransfer(uint8_t gpu, I2cRequest& request);
    int32_t SlotTransfer(uint8_t gpu, int slot, bool write, bool slow, uint8_t* reg, uint32_t regLength,
                         uint8_t* data, uint32_t dataLength);
    int32_t AddressTransfer(uint8_t gpu, uint8_t portByte, uint8_t address, uint8_t reg, uint8_t* data,
                            uint32_t dataLength, uint32_t port, bool write);
    void ReadLegacyRangeCode(uint8_t gpu, int32_t kind);
    VoltageCodes voltageCodes_;
    std::atomic<int64_t> i2cLockTimeoutMs_{kI2cLockTimeout.count()};
    // End of I2C

    // Clocks
    int32_t WritePstates20(uint8_t gpu, nvapi::Pstates20Info& info, const char* success);
    void TracePstates20(const nvapi::Pstates20Info& info);
    void TraceLock(const char* format, ...) __attribute__((format(printf, 2, 3)));
    uint8_t overVoltPercent_ = 0;
    uint32_t voltageLockUv_ = 0;
    std::wstring boostLockText_;
    // End of clocks

    // Message boxes
    // Shows `text` with the program's caption; traced instead when no prompts are set.
    void ShowMessage(const std::string& text);
    ui::IPrompts* prompts_ = nullptr;
    // End of message boxes

    // Clock VF points
    int32_t graphicsOffsetMaxKhz_ = 0;
    int32_t graphicsOffsetMinKhz_ = 0;
    int32_t memoryOffsetMaxKhz_ = 0;
    int32_t memoryOffsetMinKhz_ = 0;
    uint8_t vfPointFirstGraphics_ = 0;
    uint8_t vfPointLastGraphics_ = 0;
    uint8_t vfPointFirstMemory_ = 0;
    uint8_t vfPointLastMemory_ = 0;
    std::array<int32_t, kVfPointCount> vfPointOffsets_{};
    VfWritePass* vfPass_ = nullptr;  // the pass now running, if any
    // Shows a failure of SetVfPointOffset; within a pass only the first, the rest are traced.
    void ShowVfFailure(int32_t status, const std::string& text);
    int32_t graphicsVfOffsetKhz_ = 0;
    int32_t memoryVfOffsetKhz_ = 0;
    // End of VF points
    ui::IClock* clock_ = &ui::SystemClock();  // waits

    // Cooler control
    int32_t SetDriverFanLevel(uint8_t gpu, int32_t level);
    void PrepareCooler(uint8_t gpu);
    void PrepareRpmController(uint8_t gpu);
    void CheckFanTach(uint8_t gpu);
    // End of cooler control
    // Power
    int32_t ReadThermalInfo(uint8_t gpu, nvapi::ThermalPoliciesInfo& info);
    int32_t TraceThermalPolicies(uint8_t gpu, nvapi::ThermalPoliciesInfo& info, nvapi::ThermalPoliciesStatus& status);
    // Why a policy write cannot go ahead: the message to report and the status to return
    // (0 for a refusal, the driver's status for a failed read).
    struct PolicyRefusal {
        int32_t status = 0;
        std::string message;
    };
    const nvapi::PowerPolicyInfoEntry* LookUpPowerPolicy(uint8_t gpu, uint32_t policy, nvapi::PowerPoliciesInfo& info,
                                                         PolicyRefusal& refusal);
    const nvapi::ThermalPolicyInfoEntry* LookUpThermalPolicy(
        uint8_t gpu, uint32_t policy, nvapi::ThermalPoliciesInfo& info, PolicyRefusal& refusal,
        const char* notSupported = "Thermal policies are not supported!\n");
    // The current status of every policy `info` lists.
    int32_t ReadThermalStatus(uint8_t gpu, const nvapi::ThermalPoliciesInfo& info, nvapi::ThermalPoliciesStatus& current);
    // Appends a message of the thermal and linked writes to policyMessages_.
    void Note(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Traces and keeps the line in powerPoliciesText_.
    void TraceKept(const char* format, ...) __attribute__((format(printf, 2, 3)));
    std::wstring policyMessages_;
    std::wstring powerPoliciesText_;
    // End of power
};

}  // namespace vx
