#pragma once
// An in-memory autostart entry that counts what was done to it.
#include <optional>
#include <string>
#include <vector>

#include "platform/Autostart.h"

namespace vx::test {

class FakeAutostart : public platform::Autostart {
public:
    std::optional<std::string> Read() const override {
        ++readCount;
        if (unreadable) return std::nullopt;
        return entry;
    }

    bool Write(const std::vector<std::string>& command) override {
        ++writeCount;
        if (failChanges) return false;
        entry.emplace();
        for (const std::string& argument : command) *entry += (entry->empty() ? "" : " ") + argument;
        arguments = command;
        return true;
    }

    bool Remove() override {
        ++removeCount;
        if (failChanges) return false;
        entry.reset();
        return true;
    }

    std::optional<std::string> entry;  // nothing: no entry; else the arguments joined by blanks
    std::vector<std::string> arguments;  // as last written
    bool unreadable = false;           // an entry exists but cannot be read
    bool failChanges = false;          // writes and removals are refused
    mutable int readCount = 0;
    int writeCount = 0;
    int removeCount = 0;
};

}  // namespace vx::test
