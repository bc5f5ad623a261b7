#include "platform/ThreadId.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace vx::platform {

uint32_t CurrentThreadId() { return static_cast<uint32_t>(::syscall(SYS_gettid)); }

}  // namespace vx::platform
