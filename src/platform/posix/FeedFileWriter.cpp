#include "platform/posix/FeedFileWriter.h"

#include "platform/AtomicFile.h"

namespace vx::platform {

FeedFileWriter::FeedFileWriter(std::filesystem::path file) : file_(std::move(file)), thread_([this] { Run(); }) {
    std::error_code ec;
    std::filesystem::remove(file_, ec);  // left by a run that ended without its stop: stale values
}

FeedFileWriter::~FeedFileWriter() { Stop(); }

void FeedFileWriter::Write(std::string text) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        pending_ = std::move(text);
    }
    wake_.notify_one();
}

void FeedFileWriter::Remove() {
    Stop();
    std::error_code ec;
    std::filesystem::remove(file_, ec);
}

void FeedFileWriter::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        pending_.reset();
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void FeedFileWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || pending_.has_value(); });
        if (stopping_) return;
        const std::string text = std::move(*pending_);
        pending_.reset();
        lock.unlock();
        // A reader sees the old text or the new, never a part; it need not survive a crash.
        WriteFileAtomically(file_, text, Durability::kReplaceOnly);
        lock.lock();
    }
}

}  // namespace vx::platform
