#pragma once
// Where the video BIOS image of a GPU comes from: the PCI device's ROM on Linux, the rig's
// image in the simulator.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vx::platform {

class BiosImageSource {
public:
    virtual ~BiosImageSource() = default;
    /// Up to `maxBytes` from the start of GPU `gpu`'s image (the GPU layer's index); empty when
    /// there is none or it cannot be read. Asked only while exactly one GPU is present.
    virtual std::vector<uint8_t> Read(uint8_t gpu, std::size_t maxBytes) = 0;
};

}  // namespace vx::platform
