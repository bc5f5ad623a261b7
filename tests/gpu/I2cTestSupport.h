#pragma once
// Simulated GPUs with devices on their I2C buses, and a reading of the I2C call log.
#include "SimulatedGpus.h"

#include "gpu/I2cStructs.h"
#include "sim/I2cDeviceConfig.h"
#include "support/RigBuilder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vx::gputest {

using sim::I2cDeviceKind;

inline sim::I2cDeviceConfig Device(I2cDeviceKind kind, uint8_t port, uint8_t address,
                                 std::map<uint8_t, uint8_t> registers = {}, std::set<uint8_t> readOnly = {}) {
    sim::I2cDeviceConfig config;
    config.kind = kind;
    config.port = port;
    config.address = address;
    config.registers = std::move(registers);
    config.readOnly = std::move(readOnly);
    return config;
}

inline sim::GpuModel GpuWith(uint16_t deviceId, std::vector<sim::I2cDeviceConfig> devices) {
    sim::GpuModel gpu = Gpu(deviceId);
    gpu.i2cDevices = std::move(devices);
    return gpu;
}

/// One I2C transfer as the simulator logged it.
struct I2cCall {
    uint32_t entry = 0;
    int32_t status = 0;
    uint32_t version = 0;
    uint32_t displayMask = 0;
    uint8_t port = 0;
    uint8_t address = 0;
    uint8_t reg = 0;
    uint32_t dataLength = 0;
    uint32_t speed = 0;
    int64_t portId = -1;          // -1: the request set none
    std::vector<uint8_t> bytes;   // written, or read on success

    bool write() const { return entry == nvapi::I2CWrite || entry == nvapi::I2CWriteEx; }
    bool extended() const { return entry == nvapi::I2CReadEx || entry == nvapi::I2CWriteEx; }
};

inline bool IsI2cEntry(uint32_t id) {
    return id == nvapi::I2CRead || id == nvapi::I2CWrite || id == nvapi::I2CReadEx || id == nvapi::I2CWriteEx;
}

class I2cGpus : public SimulatedGpus {
protected:
    /// Every I2C transfer logged since the last ClearCalls, oldest first.
    std::vector<I2cCall> I2cCalls() const {
        std::vector<I2cCall> calls;
        for (const sim::CallRecord& record : simulator->Calls()) {
            if (!IsI2cEntry(record.entryId)) continue;
            I2cCall call;
            call.entry = record.entryId;
            call.status = record.status;
            const std::vector<int64_t>& a = record.args;
            if (a.size() >= 8) {
                call.version = uint32_t(a[0]);
                call.displayMask = uint32_t(a[1]);
                call.port = uint8_t(a[2]);
                call.address = uint8_t(a[3]);
                call.reg = uint8_t(a[4]);
                call.dataLength = uint32_t(a[5]);
                call.speed = uint32_t(a[6]);
                call.portId = a[7];
                for (std::size_t i = 8; i < a.size(); ++i) call.bytes.push_back(uint8_t(a[i]));
            }
            calls.push_back(call);
        }
        return calls;
    }

    /// The transfers to one device, as "R reg" / "W reg=value" steps, for sequence checks.
    std::vector<std::string> Steps(uint8_t port, uint8_t address) const {
        std::vector<std::string> steps;
        for (const I2cCall& call : I2cCalls()) {
            if (call.port != port || call.address != address) continue;
            char text[64];
            if (call.write())
                std::snprintf(text, sizeof(text), "W %02X=%02X", call.reg, call.bytes.empty() ? 0 : call.bytes[0]);
            else
                std::snprintf(text, sizeof(text), "R %02X", call.reg);
            steps.push_back(text);
        }
        return steps;
    }

    std::optional<uint8_t> Peek(uint8_t port, uint8_t address, uint8_t reg, std::size_t gpu = 0) const {
        return simulator->PeekI2cRegister(gpu, port, address, reg);
    }
};

}  // namespace vx::gputest
