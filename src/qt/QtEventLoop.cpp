#include "qt/QtEventLoop.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace vx::qt {

QtEventLoop::QtEventLoop(QObject* parent) : QObject(parent) {}

void QtEventLoop::Post(std::function<void()> task) {
    QMetaObject::invokeMethod(this, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

void QtEventLoop::SetTimer(uint32_t id, uint32_t intervalMs, std::function<void()> onTick) {
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(static_cast<int>(intervalMs));
    QObject::connect(timer.get(), &QTimer::timeout, this, [onTick = std::move(onTick)] { onTick(); });
    timer->start();
    timers_[id] = std::move(timer);
}

void QtEventLoop::KillTimer(uint32_t id) { timers_.erase(id); }

void QtEventLoop::Quit(int exitCode) { QCoreApplication::exit(exitCode); }

}  // namespace vx::qt
