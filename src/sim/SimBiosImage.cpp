#include "sim/SimBiosImage.h"

#include <algorithm>
#include <mutex>

namespace vx::sim {

std::vector<uint8_t> SimBiosImage::Read(uint8_t gpu, std::size_t maxBytes) {
    std::lock_guard lock(simulator_.mutex());
    // The GPU layer numbers the graphics GPUs first, then the compute-mode ones.
    std::vector<const GpuModel*> order;
    for (bool compute : {false, true})
        for (const GpuModel& model : simulator_.rig().gpus)
            if (model.computeMode == compute) order.push_back(&model);
    if (gpu >= order.size()) return {};
    const std::vector<uint8_t>& image = order[gpu]->biosImage;
    return {image.begin(), image.begin() + static_cast<std::ptrdiff_t>(std::min(maxBytes, image.size()))};
}

}  // namespace vx::sim
