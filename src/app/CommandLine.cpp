#include "app/CommandLine.h"

namespace vx::app {
namespace {

bool TakeValue(const std::string& arg, const std::string& name, std::string& value) {
    if (arg.rfind(name + "=", 0) != 0) return false;
    value = arg.substr(name.size() + 1);
    return true;
}

void AppendSwitchWord(std::string& text, const std::string& word) {
    if (!text.empty()) text += ' ';
    text += word;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (arg.rfind("--", 0) != 0) {
            AppendSwitchWord(cl.switchText, arg);
        } else if (arg == "--simulate") {
            cl.simulate = true;
        } else if (TakeValue(arg, "--simulate", value)) {
            cl.simulate = true;
            if (value.empty()) cl.errors.push_back("--simulate= needs a rig file");
            else cl.rigFile = value;
        } else if (arg == "--data-dir") {
            if (i + 1 < args.size()) cl.dataDir = args[++i];
            else cl.errors.push_back("--data-dir needs a folder");
        } else if (TakeValue(arg, "--data-dir", value)) {
            if (value.empty()) cl.errors.push_back("--data-dir= needs a folder");
            else cl.dataDir = value;
        } else if (arg == "--headless") {
            cl.headless = true;
        } else if (arg == "--help" || arg == "-h") {
            cl.help = true;
        } else if (arg == "--version") {
            cl.version = true;
        } else if (arg == "--advanced") {
            cl.advanced = true;
        } else if (arg == "--verbose") {
            cl.verbose = true;
        } else {
            cl.errors.push_back("unknown option " + arg);
        }
    }
    return cl;
}

std::vector<std::string> AutostartOptions(const CommandLine& cl) {
    std::vector<std::string> options;
    if (cl.rigFile) options.push_back("--simulate=" + std::filesystem::absolute(*cl.rigFile).string());
    else if (cl.simulate) options.emplace_back("--simulate");
    if (cl.dataDir) {
        options.emplace_back("--data-dir");
        options.push_back(std::filesystem::absolute(*cl.dataDir).string());
    }
    return options;
}

std::string UsageText(const std::string& programName) {
    return "Usage: " + programName +
           " [--simulate[=RIG.json]] [--data-dir DIR] [--headless] [--advanced] [--verbose]\n"
           "       [SWITCH]\n"
           "\n"
           "  --simulate[=RIG.json]  use the simulated driver (default rig: the built-in demo rig)\n"
           "  --data-dir DIR         program folder for settings, profiles and logs\n"
           "                         (default: $VXPLUS_HOME, else $XDG_DATA_HOME/veltrix-plus)\n"
           "  --headless             run without a window and print what happens\n"
           "  --advanced             show the advanced control window (of the copy already\n"
           "                         running, if there is one)\n"
           "  --verbose              print the driver layer's diagnostics (P-state, VF-point and\n"
           "                         policy dumps, failed calls) on standard error\n"
           "  --help                 show this text\n"
           "  --version              show the version\n"
           "\n"
           "SWITCH is one of Normal, Minimize, SysTray, OnlyApplySettings (any letter case).\n";
}

}  // namespace vx::app
