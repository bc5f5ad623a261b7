#pragma once
// An in-memory settings store that records what was read and written.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/SettingsStore.h"

namespace vx::test {

class FakeSettingsStore : public platform::SettingsStore {
public:
    std::optional<uint32_t> Read(const std::string& name) const override {
        reads.push_back(name);
        const auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }

    bool Write(const std::string& name, uint32_t value) override {
        writes.emplace_back(name, value);
        if (failWrites) return false;
        values[name] = value;
        return true;
    }

    int WriteCount() const { return static_cast<int>(writes.size()); }
    void ClearLog() {
        reads.clear();
        writes.clear();
    }

    std::map<std::string, uint32_t> values;
    mutable std::vector<std::string> reads;                 // names, in call order
    std::vector<std::pair<std::string, uint32_t>> writes;  // every attempt, in call order
    bool failWrites = false;                               // writes are refused, values kept
};

}  // namespace vx::test
