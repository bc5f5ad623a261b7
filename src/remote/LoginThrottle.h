#pragma once
// Slows down guessing of the six-digit password: per peer address, after a few wrong logins
// every further attempt waits out a delay that doubles with each failure.
#include <cstdint>
#include <map>
#include <string>

namespace vx::remote {

class LoginThrottle {
public:
    static constexpr uint32_t kFreeAttempts = 5;
    static constexpr uint64_t kFirstDelayMs = 1'000;
    static constexpr uint64_t kMaxDelayMs = 15 * 60'000;
    static constexpr std::size_t kMaxPeers = 1024;

    /// Whether a login from `peer` may be checked now.
    bool Allowed(const std::string& peer, uint64_t nowMs) const;
    void Failed(const std::string& peer, uint64_t nowMs);
    void Succeeded(const std::string& peer) { peers_.erase(peer); }

private:
    struct Record {
        uint32_t failures = 0;
        uint64_t blockedUntilMs = 0;
    };
    void MakeRoom(uint64_t nowMs);
    std::map<std::string, Record> peers_;
};

}  // namespace vx::remote
