#pragma once
// Replaces one file with the newest text on a thread of its own, so the interface thread never
// waits for the file system (a rewrite on a disk-backed folder takes hundreds of microseconds).
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vx::platform {

class FeedFileWriter {
public:
    /// Removes a file left behind by an earlier run.
    explicit FeedFileWriter(std::filesystem::path file);
    /// Finishes a write in progress and drops a pending one; the file stays.
    ~FeedFileWriter();
    FeedFileWriter(const FeedFileWriter&) = delete;
    FeedFileWriter& operator=(const FeedFileWriter&) = delete;

    /// Queues `text`; a text still waiting is replaced, so only the newest is written.
    void Write(std::string text);
    /// Ends the thread, then removes the file: no write can bring it back. Later writes are dropped.
    void Remove();

private:
    void Run();
    void Stop();

    const std::filesystem::path file_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<std::string> pending_;
    bool stopping_ = false;
    std::thread thread_;  // last: it starts once the members above exist
};

}  // namespace vx::platform
