#pragma once
// Fetching one small file over HTTP or HTTPS.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>

namespace vx::platform {

class HttpDownload {
public:
    struct Limits {
        std::chrono::milliseconds timeout{10000};  // connecting and the whole transfer, each
        std::size_t maxBytes = 64 * 1024;
    };

    virtual ~HttpDownload() = default;
    /// Writes the body of `url` (http or https only) to `target`, replacing it. False when the
    /// server cannot be reached or answers with an error, a limit is passed, or `cancel` is set
    /// meanwhile; `target` may then hold part of the body. Blocks: run it off the interface thread.
    virtual bool Fetch(const std::string& url, const std::filesystem::path& target, const Limits& limits,
                       const std::atomic<bool>& cancel) = 0;
};

}  // namespace vx::platform
