#include "maintenance/BoardIdentification.h"

#include "maintenance/BiosScan.h"

#include <utility>

namespace vx::maintenance {

void IdentifyBoards(GpuAccess& gpus, platform::BiosImageSource& images) {
    const uint8_t count = gpus.GetGpuCount();
    for (uint8_t gpu = 0; gpu < count; ++gpu) {
        // With several cards there is no telling which one an image belongs to.
        if (count == 1) {
            const std::vector<uint8_t> image = images.Read(gpu, kBiosImageBytes);
            BiosIdentity identity{gpus.biosTagText(gpu), gpus.fanAccessKind(gpu)};
            ScanBiosImage(identity, image.data(), image.size());
            gpus.SetBiosTagText(gpu, identity.biosTagText);
            gpus.SetFanAccessKind(gpu, identity.fanAccessKind);
        }
        gpus.ProbeFanController(gpu);
    }
}

BoardIdentification::BoardIdentification(GpuAccess& gpus, platform::BiosImageSource& images, ui::IEventLoop& loop,
                                         std::function<void(uint32_t message)> onMessage)
    : worker_([&gpus, &images, &loop, onMessage = std::move(onMessage)] {
          IdentifyBoards(gpus, images);
          for (int i = 0; i < 2; ++i) loop.Post([onMessage] { onMessage(kCompletionMessage); });
      }) {}

BoardIdentification::~BoardIdentification() { Wait(); }

void BoardIdentification::Wait() {
    if (worker_.joinable()) worker_.join();
}

}  // namespace vx::maintenance
