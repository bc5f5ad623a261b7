#pragma once
// The requests a later copy sends to the running one over the instance channel.
#include <string>

#include "platform/InstanceGuard.h"

namespace vx::platform {

/// Show the main window and bring it to the front.
inline constexpr const char* kShowRequest = "show";
/// Show the advanced control window (opened on the first such request).
inline constexpr const char* kAdvancedRequest = "advanced";

/// For a copy started to send `request`: when another copy holds the instance lock, sends
/// it there and answers true (this copy then leaves). False when this copy is the first, or
/// the lock cannot be taken; start-up then goes on and reports that as usual.
inline bool ForwardToRunningCopy(InstanceGuard& guard, const std::string& request) {
    if (guard.Acquire() != InstanceGuard::Result::AlreadyRunning) return false;
    guard.SendToRunningCopy(request);
    return true;
}

}  // namespace vx::platform
