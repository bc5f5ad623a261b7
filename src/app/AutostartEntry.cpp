#include "app/AutostartEntry.h"

#include <utility>

namespace vx::app {

AutostartEntry::AutostartEntry(platform::Autostart& store, std::string executablePath, std::vector<std::string> options)
    : store_(store), executablePath_(std::move(executablePath)), options_(std::move(options)) {}

std::vector<std::string> AutostartEntry::Command(const std::string& executablePath,
                                                 const std::vector<std::string>& options, int mode) {
    const char* name = StartupSwitchName(mode);
    if (!name) return {};
    std::vector<std::string> command{executablePath};
    command.insert(command.end(), options.begin(), options.end());
    command.emplace_back(name);
    return command;
}

std::optional<int> AutostartEntry::ModeFromCommandText(const std::string& text) {
    const std::size_t blank = text.rfind(' ');
    if (blank == std::string::npos || blank == 0) return std::nullopt;
    return MatchStartupSwitch(std::string_view(text).substr(blank + 1));
}

bool AutostartEntry::Apply(int mode) {
    if (mode == kModeDoNotRun) {
        mode_ = mode;
        return store_.Remove();
    }
    if (!StartupSwitchName(mode)) return false;
    mode_ = mode;
    return store_.Write(Command(executablePath_, options_, mode));
}

bool AutostartEntry::Remove() { return store_.Remove(); }

void AutostartEntry::ReadBack() {
    const std::optional<std::string> text = store_.Read();
    if (!text) return;
    if (const std::optional<int> mode = ModeFromCommandText(*text)) mode_ = *mode;
}

}  // namespace vx::app
