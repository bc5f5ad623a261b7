#pragma once
// The one object through which the program reaches the GPUs: it binds the driver, enumerates
// and identifies the cards and keeps one GpuRecord per GPU. Operations take the GPU index
// first and return the driver's status unchanged (0 success).
#include "gpu/DriverBinding.h"
#include "gpu/GpuRecord.h"
#include "gpu/NvApiEntries.h"

#include <array>
#include <atomic>
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

    /// The GPU's marketing name. -5 for a GPU index past the GPUs in use.
    int32_t GetFullName(uint8_t gpu, std::string& name);
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
};

}  // namespace vx
