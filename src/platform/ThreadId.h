#pragma once
#include <cstdint>

namespace vx::platform {

/// The operating system's identifier of the calling thread.
uint32_t CurrentThreadId();

}  // namespace vx::platform
