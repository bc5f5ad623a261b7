#pragma once
// The simulated card's video BIOS image: the rig GPU's `biosImage`.
#include "platform/BiosImageSource.h"
#include "sim/Simulator.h"

namespace vx::sim {

class SimBiosImage : public platform::BiosImageSource {
public:
    explicit SimBiosImage(Simulator& simulator) : simulator_(simulator) {}
    std::vector<uint8_t> Read(uint8_t gpu, std::size_t maxBytes) override;

private:
    Simulator& simulator_;
};

}  // namespace vx::sim
