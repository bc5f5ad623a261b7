#include "platform/posix/DesktopAutostart.h"

#include <string_view>
#include <utility>
#include <vector>

#include "platform/AtomicFile.h"

namespace vx::platform {
namespace {

constexpr std::string_view kReservedInExec = " \t\n\"'\\><~|&;$*?#()`";

// Escapes of string values in a desktop entry.
std::optional<std::string> EscapeValue(const std::string& raw) {
    std::string out;
    for (const char c : raw) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return std::nullopt;
                out += c;
        }
    }
    if (!out.empty() && out.front() == ' ') out.replace(0, 1, "\\s");
    return out;
}

std::string UnescapeValue(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's': out += ' '; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '\\': out += '\\'; break;
            default: out += '\\'; out += value[i];
        }
    }
    return out;
}

// "%%" is a literal percent; other field codes stand for what a launcher fills in.
std::optional<std::string> ExpandPercents(const std::string& argument) {
    std::string out;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] != '%') {
            out += argument[i];
        } else if (i + 1 < argument.size() && argument[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::string_view TrimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

DesktopAutostart::DesktopAutostart(std::filesystem::path file) : file_(std::move(file)) {}

std::string DesktopAutostart::QuoteExecArgument(const std::string& argument) {
    std::string doubled;
    for (const char c : argument) {
        doubled += c;
        if (c == '%') doubled += '%';
    }
    if (!doubled.empty() && doubled.find_first_of(kReservedInExec) == std::string::npos)
        return doubled;
    std::string quoted = "\"";
    for (const char c : doubled) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::optional<std::string> DesktopAutostart::ExecValueFor(const std::vector<std::string>& command) {
    if (command.empty()) return std::nullopt;
    std::string exec;
    for (const std::string& argument : command) {
        if (!exec.empty()) exec += ' ';
        exec += QuoteExecArgument(argument);
    }
    return EscapeValue(exec);
}

std::optional<std::vector<std::string>> DesktopAutostart::SplitExecValue(const std::string& value) {
    const std::string exec = UnescapeValue(value);
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size() &&
                       std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
                current += exec[++i];
            } else {
                current += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inArgument) arguments.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else if (c == '"') {
            quoted = true;
            inArgument = true;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (quoted) return std::nullopt;
    if (inArgument) arguments.push_back(std::move(current));

    std::vector<std::string> expanded;
    for (const std::string& argument : arguments) {
        std::optional<std::string> plain = ExpandPercents(argument);
        // A lone field code (%U, %f, ...) is the launcher's, not part of the command.
        if (!plain) {
            if (argument.size() == 2 && argument[0] == '%') continue;
            return std::nullopt;
        }
        expanded.push_back(std::move(*plain));
    }
    return expanded;
}

std::optional<std::string> DesktopAutostart::Read() const {
    const std::optional<std::string> content = ReadFileLimited(file_, kMaxFileSize);
    if (!content) return std::nullopt;

    std::optional<std::string> exec;
    bool inEntryGroup = false;
    bool seenEntryGroup = false;
    bool skipped = false;
    std::size_t start = 0;
    while (start <= content->size()) {
        std::size_t end = content->find('\n', start);
        if (end == std::string::npos) end = content->size();
        const std::string_view line = TrimBlanks(std::string_view(*content).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            // Only the first [Desktop Entry] group counts.
            inEntryGroup = line == "[Desktop Entry]" && !seenEntryGroup;
            seenEntryGroup = seenEntryGroup || inEntryGroup;
            continue;
        }
        if (!inEntryGroup) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = TrimBlanks(line.substr(0, eq));
        const std::string_view value = TrimBlanks(line.substr(eq + 1));
        if (key == "Exec" && !exec) exec = std::string(value);
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false"))
            skipped = true;
    }
    if (!exec || skipped) return std::nullopt;

    const std::optional<std::vector<std::string>> arguments = SplitExecValue(*exec);
    if (!arguments) return std::nullopt;
    std::string text;
    for (const std::string& argument : *arguments) {
        if (!text.empty()) text += ' ';
        text += argument;
    }
    return text;
}

bool DesktopAutostart::Write(const std::vector<std::string>& command) {
    const std::optional<std::string> exec = ExecValueFor(command);
    if (!exec) return false;
    const std::string content =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Veltrix Plus\n"
        "Exec=" + *exec + "\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    std::error_code ec;
    if (file_.has_parent_path()) std::filesystem::create_directories(file_.parent_path(), ec);
    return WriteFileAtomically(file_, content);
}

bool DesktopAutostart::Remove() {
    std::error_code ec;
    std::filesystem::remove(file_, ec);
    if (ec) return false;
    return !std::filesystem::exists(file_, ec) && !ec;
}

}  // namespace vx::platform
