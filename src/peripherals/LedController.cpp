#include "peripherals/LedController.h"

#include <iterator>

namespace vx::peripherals {

int LedController::ProbeLedController(uint8_t gpu) {
    uint8_t command[] = {0x10, 0x01};
    if (gpus_.I2cWriteAt(gpu, kAddressKind1, 0x00, command, kPort, std::size(command)) == 0) return 1;
    for (const auto& [kind, address] : {std::pair{2, kAddressKind2}, std::pair{3, kAddressKind3}}) {
        uint8_t value = 0;
        if (gpus_.I2cReadAt(gpu, address, 0x00, &value, kPort) == 0) return kind;
    }
    return 0;
}

int LedController::ProbeAll(uint8_t startGpu) {
    const uint8_t count = gpus_.GetGpuCount();
    for (uint8_t gpu = 0; gpu < count && gpu < kMaxGpus; ++gpu) SetGpuKind(gpu, ProbeLedController(gpu));
    SetProcessKind(gpuKind(startGpu));
    return processKind();
}

void LedController::InitLedController(uint8_t gpu) {
    struct Command {
        uint8_t reg;
        uint8_t data[2];
    };
    for (Command command : {Command{0x00, {0x10, 0x01}}, Command{0x00, {0x10, 0x02}}, Command{0xFF, {0x00, 0x01}}})
        gpus_.I2cWriteAt(gpu, kAddressKind1, command.reg, command.data, kPort, 2);
}

bool LedController::WriteLedColour(uint8_t gpu, LedColour colour) {
    const int own = gpuKind(gpu);
    switch (own != 0 ? own : processKind()) {
    case 1: return WriteKind1(gpu, colour);
    case 2: return WriteKind2(gpu, colour);
    // Kind 3 is reached only through the GPU's own kind and has no session-ending form.
    case 3: return own == 3 && !sessionEnding() && WriteKind3(gpu, colour);
    default: return false;
    }
}

bool LedController::WriteKind1(uint8_t gpu, LedColour colour) {
    uint8_t frame[] = {0x01, 0x00, 0x00, 0x00, 0x00, colour.red, colour.green, colour.blue,
                       static_cast<uint8_t>(sessionEnding() ? 0x00 : 0xFF), 0xF0};
    return gpus_.I2cWriteAt(gpu, kAddressKind1, 0x01, frame, kPort, std::size(frame)) == 0;
}

bool LedController::WriteByte(uint8_t gpu, uint8_t address, uint8_t reg, uint8_t value) {
    return gpus_.I2cWriteAt(gpu, address, reg, &value, kPort, 1) == 0;
}

bool LedController::WriteKind2(uint8_t gpu, LedColour colour) {
    bool ok = true;
    const std::pair<uint8_t, uint8_t> writes[] = {{0x01, 0x01},       {0x31, 0x03},         {0x32, 0x03}, {0x33, 0x03},
                                                  {0x34, colour.red}, {0x35, colour.green}, {0x36, colour.blue}};
    for (const auto& [reg, value] : writes) ok = WriteByte(gpu, kAddressKind2, reg, value) && ok;
    ok = gpus_.SetBoardControl(gpu, 20, 0) == 0 && ok;
    return WriteByte(gpu, kAddressKind2, 0x30, 0x07) && ok;
}

bool LedController::WriteKind3(uint8_t gpu, LedColour colour) {
    bool ok = WriteByte(gpu, kAddressKind3, 0x05, 0x00);
    ok = WriteByte(gpu, kAddressKind3, 0x02, colour.red) && ok;
    ok = WriteByte(gpu, kAddressKind3, 0x03, colour.green) && ok;
    return WriteByte(gpu, kAddressKind3, 0x04, colour.blue) && ok;
}

}  // namespace vx::peripherals
