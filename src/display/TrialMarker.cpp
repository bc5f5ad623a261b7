#include "display/TrialMarker.h"

#include "platform/AtomicFile.h"

#include <charconv>
#include <cstdio>

namespace vx::display {

bool TrialMarker::Set(uint32_t displayId) const {
    if (path_.empty()) return true;
    return platform::WriteFileAtomically(path_, std::to_string(displayId) + "\n");
}

void TrialMarker::Clear() const {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove(path_, ec);
}

int32_t TrialMarker::RevertLeftover(const driver::DisplayEntries& entries,
                                    const std::function<void(const std::string&)>& trace) const {
    if (path_.empty()) return 0;
    std::optional<std::string> text = platform::ReadFileLimited(path_, 32);
    if (!text) return 0;
    uint32_t displayId = 0;
    const char* end = text->data() + text->size();
    auto parsed = std::from_chars(text->data(), end, displayId);
    int32_t status = 0;
    if (parsed.ec == std::errc() && parsed.ptr != text->data()) {
        status = entries.DispRevertCustomDisplayTrial(&displayId, 1);
        char line[96];
        std::snprintf(line, sizeof line, "\nReverted the custom timing left on display 0x%08X = %d", displayId, status);
        if (trace) trace(line);
    }
    Clear();
    return status;
}

}  // namespace vx::display
