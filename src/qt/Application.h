#pragma once
// The program from its command line to the end of its event loop.

namespace vx::qt {

/// Returns the process exit status.
int RunApplication(int argc, char** argv);

}  // namespace vx::qt
