#pragma once
// One-byte register access to a card-device slot, over GpuAccess's slot transfers.
#include "gpu/GpuAccess.h"

#include <cstdint>

namespace vx::carddev {

enum class Speed { Normal, Slow };

inline int32_t ReadRegister(GpuAccess& gpus, uint8_t gpu, int slot, uint8_t reg, uint8_t& value,
                            Speed speed = Speed::Normal) {
    uint8_t data = 0;
    const int32_t status = speed == Speed::Slow ? gpus.I2cReadSlotSlow(gpu, &reg, 1, &data, 1, slot)
                                                : gpus.I2cReadSlot(gpu, &reg, 1, &data, 1, slot);
    if (status == 0) value = data;
    return status;
}

inline int32_t WriteRegister(GpuAccess& gpus, uint8_t gpu, int slot, uint8_t reg, uint8_t value,
                             Speed speed = Speed::Normal) {
    return speed == Speed::Slow ? gpus.I2cWriteSlotSlow(gpu, &reg, 1, &value, 1, slot)
                                : gpus.I2cWriteSlot(gpu, &reg, 1, &value, 1, slot);
}

}  // namespace vx::carddev
