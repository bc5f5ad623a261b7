#pragma once
// Resume from suspend through logind: its PrepareForSleep(false) signal on the system bus.
#include <QDBusConnection>
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

    /// Without a bus it says so in one line and returns false.
    bool Start(std::function<void()> onResume) override;

private slots:
    void OnPrepareForSleep(bool sleeping);

private:
    QString busAddress_;
    LogSink log_;
    QString connectionName_;
    std::function<void()> onResume_;
};

}  // namespace vx::qt
