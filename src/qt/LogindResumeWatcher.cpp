#include "qt/LogindResumeWatcher.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

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

void LogindResumeWatcher::Log(const QString& line) const {
    const std::string text = line.toStdString() + "\n";
    if (log_) log_(text);
    else std::fputs(text.c_str(), stderr);
}

bool LogindResumeWatcher::Start(std::function<void()> beforeSleep, std::function<void()> onResume) {
    beforeSleep_ = std::move(beforeSleep);
    onResume_ = std::move(onResume);
    bus_ = QDBusConnection::systemBus();
    if (!busAddress_.isEmpty()) {
        connectionName_ = UniqueConnectionName();
        bus_ = QDBusConnection::connectToBus(busAddress_, connectionName_);
    }
    // Only logind's own signal counts: the sender is checked by the bus name.
    if (bus_.isConnected() &&
        bus_.connect(kService, kPath, kInterface, "PrepareForSleep", this, SLOT(OnPrepareForSleep(bool)))) {
        TakeInhibitor();
        return true;
    }
    const QString reason = bus_.lastError().isValid() ? bus_.lastError().message() : QStringLiteral("no system bus");
    Log("Resume from suspend is not watched: " + reason);
    return false;
}

void LogindResumeWatcher::TakeInhibitor() {
    // Asked without blocking: start-up and the wake-up never wait for logind.
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Inhibit");
    call << QStringLiteral("sleep") << QStringLiteral("Veltrix Plus")
         << QStringLiteral("Saving the card's settings before sleep") << QStringLiteral("delay");
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        QDBusPendingReply<QDBusUnixFileDescriptor> reply = *done;
        if (reply.isValid())
            inhibitor_ = reply.value();
        else
            Log("Settings are not saved before sleep: " + reply.error().message());
        done->deleteLater();
    });
}

void LogindResumeWatcher::OnPrepareForSleep(bool sleeping) {
    // The signal is delivered on the thread this object lives on: the interface thread.
    if (sleeping) {
        if (beforeSleep_) beforeSleep_();
        inhibitor_ = QDBusUnixFileDescriptor();  // our part is done: the system may sleep now
        return;
    }
    if (onResume_) onResume_();
    if (!inhibitor_.isValid()) TakeInhibitor();
}

}  // namespace vx::qt
