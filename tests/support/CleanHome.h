#pragma once
// A throwaway home for running the built program as a user would: its own config, data and
// runtime folders, so runs never meet each other's settings or instance lock.
#include <filesystem>
#include <map>
#include <string>

#include "support/TempDir.h"

namespace vx::test {

class CleanHome {
public:
    /// The environment of a run; `offscreen` adds QT_QPA_PLATFORM=offscreen.
    std::map<std::string, std::string> Env(bool offscreen) const {
        std::map<std::string, std::string> env{{"HOME", dir_.path().string()},
                                               {"XDG_CONFIG_HOME", (dir_.path() / "config").string()},
                                               {"XDG_DATA_HOME", (dir_.path() / "data").string()},
                                               {"XDG_RUNTIME_DIR", (dir_.path() / "run").string()},
                                               {"PATH", "/usr/bin:/bin"},
                                               {"VXPLUS_PHONE_PORT", "0"}};  // nor the phone server's port
        if (offscreen) env["QT_QPA_PLATFORM"] = "offscreen";
        return env;
    }
    /// A fresh folder for one run's captured output.
    std::filesystem::path OutDir(const std::string& name) const {
        const auto dir = dir_.path() / "out" / name;
        std::filesystem::create_directories(dir);
        return dir;
    }
    const std::filesystem::path& path() const { return dir_.path(); }

private:
    TempDir dir_;
};

}  // namespace vx::test
