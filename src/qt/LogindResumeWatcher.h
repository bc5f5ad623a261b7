#pragma once
// Suspend and resume through logind: its PrepareForSleep signal on the system bus, and a delay
// inhibitor lock so the settings are written before the machine sleeps.
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

#include <functional>
#include <string>

#include "platform/ResumeWatcher.h"

namespace vx::qt {

class LogindResumeWatcher final : public QObject, public platform::ResumeWatcher {
    Q_OBJECT
public:
    using LogSink = std::function<void(const std::string&)>;
    /// Watches the system bus, or the bus at `busAddress` when one is given (tests). `log`
    /// takes the diagnostic line of a failed start (standard error when empty).
    explicit LogindResumeWatcher(QString busAddress = {}, LogSink log = {});
    ~LogindResumeWatcher() override;

    /// Without a bus it says so in one line and returns false. Without an inhibitor lock (a
    /// logind that refuses one) it says so and still reports resumes.
    bool Start(std::function<void()> beforeSleep, std::function<void()> onResume) override;

    /// Whether the delay lock is held now (tests).
    bool HoldsInhibitor() const { return inhibitor_.isValid(); }

private slots:
    void OnPrepareForSleep(bool sleeping);

private:
    void TakeInhibitor();
    void Log(const QString& line) const;

    QString busAddress_;
    LogSink log_;
    QString connectionName_;
    QDBusConnection bus_{QString()};
    std::function<void()> beforeSleep_;
    std::function<void()> onResume_;
    QDBusUnixFileDescriptor inhibitor_;  // closing it lets the suspend go on
};

}  // namespace vx::qt
