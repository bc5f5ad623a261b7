#pragma once
// The one object through which the program reaches the GPUs: it binds the driver, enumerates
// and identifies the cards and keeps one GpuRecord per GPU. Operations take the GPU index
// first and return the driver's status unchanged (0 success).
#include "gpu/DriverBinding.h"
#include "gpu/GpuRecord.h"
#include "gpu/NvApiEntries.h"
#include "gpu/VoltageCodes.h"  // I2C

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
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

    /// Driver version number (e.g. 41091 for 410.91) and build branch.
    int32_t GetDriverVersion(uint32_t& drvVersion, std::string& buildBranch);
    /// Dedicated video memory in KB.
    int32_t GetMemoryInfo(uint32_t& dedicatedKb);

    /// Names a failed DisplayPort AUX transfer on the debug output; 0 writes nothing.
    void ReportAuxStatus(int32_t status);

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
    /// enumeration's status, or 0 when `status` asked for nothing.
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

private:
    int32_t EnumerateGpus();
    int32_t IdentifyGpu(uint8_t gpu);
    int32_t ReadLegacyClockTable(GpuRecord& record);
    bool InRange(uint8_t gpu) const { return gpu < GetGpuCount(); }
    void Trace(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    driver::NvApiEntries api_;
    std::array<GpuRecord, kMaxGpus> records_;
    std::atomic<uint8_t> gpuCount_{0};
    bool is64BitOs_ = false;
    std::atomic<uint32_t> uiThreadId_{0};
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
};

}  // namespace vx
