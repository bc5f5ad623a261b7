#pragma once
// The start-up video BIOS identification: classifies the card from its BIOS image and probes
// the fan microcontroller, on a thread of its own, then tells the interface thread.
#include "gpu/GpuAccess.h"
#include "platform/BiosImageSource.h"
#include "ui/IEventLoop.h"

#include <functional>
#include <thread>

namespace vx::maintenance {

/// The worker's body: for each GPU, the image scan (only when exactly one GPU is present) and
/// the fan microcontroller probe.
void IdentifyBoards(GpuAccess& gpus, platform::BiosImageSource& images);

class BoardIdentification {
public:
    /// The completion message, posted twice once the worker has finished.
    static constexpr uint32_t kCompletionMessage = 3023;

    /// Starts the worker. `onMessage` gets kCompletionMessage on the interface thread; every
    /// reference must outlive this object.
    BoardIdentification(GpuAccess& gpus, platform::BiosImageSource& images, ui::IEventLoop& loop,
                        std::function<void(uint32_t message)> onMessage);
    /// Waits for the worker.
    ~BoardIdentification();
    BoardIdentification(const BoardIdentification&) = delete;
    BoardIdentification& operator=(const BoardIdentification&) = delete;

    /// Blocks until the worker has finished (its messages may still be queued).
    void Wait();

private:
    std::thread worker_;
};

}  // namespace vx::maintenance
