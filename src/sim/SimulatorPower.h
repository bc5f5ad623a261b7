#pragma once
// Power management of the simulated machine.
#include "sim/Simulator.h"

namespace vx::sim {

/// A suspend and resume as the driver lives through it: every GPU forgets the clock and voltage
/// offsets, the VF-point offsets and a manual fan mode written since start.
void SuspendAndResume(Simulator& simulator);

}  // namespace vx::sim
