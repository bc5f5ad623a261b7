#pragma once
// The program's own --options; whatever remains is the startup switch text.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vx::app {

struct CommandLine {
    bool simulate = false;
    std::optional<std::filesystem::path> rigFile;  // --simulate=RIG.json; none: the demo rig
    std::optional<std::filesystem::path> dataDir;
    bool headless = false;
    bool help = false;
    bool version = false;
    bool advanced = false;            // --advanced: show the advanced control window
    bool verbose = false;             // --verbose: the driver layer's diagnostics on standard error
    std::string switchText;           // the remaining arguments, joined by single blanks
    std::vector<std::string> errors;  // unknown options, missing values
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);
/// The options an automatic start must repeat to meet the same driver and program folder,
/// with paths made absolute against the current directory (the session starts elsewhere).
std::vector<std::string> AutostartOptions(const CommandLine& cl);
std::string UsageText(const std::string& programName);

}  // namespace vx::app
