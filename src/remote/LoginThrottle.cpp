#include "remote/LoginThrottle.h"

#include <algorithm>

namespace vx::remote {

bool LoginThrottle::Allowed(const std::string& peer, uint64_t nowMs) const {
    const auto it = peers_.find(peer);
    return it == peers_.end() || nowMs >= it->second.blockedUntilMs;
}

void LoginThrottle::Failed(const std::string& peer, uint64_t nowMs) {
    if (!peers_.count(peer)) MakeRoom(nowMs);
    Record& record = peers_[peer];
    ++record.failures;
    if (record.failures < kFreeAttempts) return;
    const uint32_t doublings = std::min<uint32_t>(record.failures - kFreeAttempts, 20);
    record.blockedUntilMs = nowMs + std::min(kMaxDelayMs, kFirstDelayMs << doublings);
}

// A flood of addresses must not grow the table: forget peers whose delay is over, else the first.
void LoginThrottle::MakeRoom(uint64_t nowMs) {
    if (peers_.size() < kMaxPeers) return;
    std::erase_if(peers_, [nowMs](const auto& entry) { return entry.second.blockedUntilMs <= nowMs; });
    if (peers_.size() >= kMaxPeers) peers_.erase(peers_.begin());
}

}  // namespace vx::remote
