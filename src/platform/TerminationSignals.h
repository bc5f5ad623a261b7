#pragma once
// SIGINT/SIGTERM (or the platform's equivalent) turned into a readable descriptor, so an
// event loop can end cleanly instead of being killed mid-write.

namespace vx::platform {

/// Installs the handlers once; returns a descriptor that becomes readable when a termination
/// request arrived, or -1 when that cannot be set up.
int TerminationRequestFd();
/// Reads the pending requests off the descriptor.
void DrainTerminationRequests();

}  // namespace vx::platform
