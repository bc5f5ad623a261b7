#pragma once
// The interface thread's loop over Qt: timers by id and tasks posted from any thread.
#include <QObject>
#include <QTimer>

#include <map>
#include <memory>

#include "ui/IEventLoop.h"

namespace vx::qt {

class QtEventLoop final : public QObject, public ui::IEventLoop {
    Q_OBJECT
public:
    explicit QtEventLoop(QObject* parent = nullptr);
    void Post(std::function<void()> task) override;
    void SetTimer(uint32_t id, uint32_t intervalMs, std::function<void()> onTick) override;
    void KillTimer(uint32_t id) override;
    void Quit(int exitCode) override;

private:
    std::map<uint32_t, std::unique_ptr<QTimer>> timers_;
};

}  // namespace vx::qt
