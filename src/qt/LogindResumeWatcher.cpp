#include "qt/LogindResumeWatcher.h"

#include <QDBusError>

#include <atomic>
#include <cstdio>

namespace vx::qt {
namespace {

const char* const kService = "org.freedesktop.login1";
const char* const kPath = "/org/freedesktop/login1";
const char* const kInterface = "org.freedesktop.login1.Manager";

QString UniqueConnectionName() {
    static std::atomic<int> count{0};
    return QStringLiteral("vx-resume-watcher-%1").arg(++count);
}

}  // namespace

LogindResumeWatcher::LogindResumeWatcher(QString busAddress, LogSink log)
    : busAddress_(std::move(busAddress)), log_(std::move(log)) {}

LogindResumeWatcher::~LogindResumeWatcher() {
    if (!connectionName_.isEmpty()) QDBusConnection::disconnectFromBus(connectionName_);
}

bool LogindResumeWatcher::Start(std::function<void()> onResume) {
    onResume_ = std::move(onResume);
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!busAddress_.isEmpty()) {
        connectionName_ = UniqueConnectionName();
        bus = QDBusConnection::connectToBus(busAddress_, connectionName_);
    }
    // Only logind's own signal counts: the sender is checked by the bus name.
    if (bus.isConnected() &&
        bus.connect(kService, kPath, kInterface, "PrepareForSleep", this, SLOT(OnPrepareForSleep(bool))))
        return true;
    const QString reason = bus.lastError().isValid() ? bus.lastError().message() : QStringLiteral("no system bus");
    const std::string line = "Resume from suspend is not watched: " + reason.toStdString() + "\n";
    if (log_) log_(line);
    else std::fputs(line.c_str(), stderr);
    return false;
}

void LogindResumeWatcher::OnPrepareForSleep(bool sleeping) {
    // The signal is delivered on the thread this object lives on: the interface thread.
    if (!sleeping && onResume_) onResume_();
}

}  // namespace vx::qt
