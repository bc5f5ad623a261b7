// The video BIOS scan over any bytes: a card's image is read from the device or a rig file.
#include "maintenance/BiosScan.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // A copy of exactly the input's length, so reading one byte past it is caught.
    const std::vector<uint8_t> image(data, data + size);
    vx::maintenance::BiosIdentity gpu;
    vx::maintenance::ScanBiosImage(gpu, image.data(), image.size());
    // Four image bytes, each at most two bytes of UTF-8.
    if (gpu.biosTagText.size() > 8) __builtin_trap();
    return 0;
}
