// The resume watcher on a real D-Bus daemon started for the test, with a stand-in for logind
// that owns logind's bus name and sends its signal.
#include "qt/LogindResumeWatcher.h"

#include "QtTestApp.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace vx::qt {
namespace {

class ResumeWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtTestApp();
        if (!std::filesystem::exists("/usr/bin/dbus-daemon")) GTEST_SKIP() << "no dbus-daemon";
        daemon_ = std::make_unique<test::ChildProcess>(
            "/usr/bin/dbus-daemon", std::vector<std::string>{"--session", "--nofork", "--print-address=1"},
            std::map<std::string, std::string>{{"PATH", "/usr/bin:/bin"}}, temp_.path());
        ASSERT_TRUE(daemon_->WaitForOutput("\n"));
        const std::string out = daemon_->Stdout();
        address_ = QString::fromStdString(out.substr(0, out.find('\n')));
    }
    void TearDown() override {
        for (const QString& name : connections_) QDBusConnection::disconnectFromBus(name);
    }
    QDBusConnection Connect(const QString& name) {
        connections_.push_back(name);
        return QDBusConnection::connectToBus(address_, name);
    }
    static void Send(QDBusConnection& bus, bool sleeping) {
        QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                                         "PrepareForSleep");
        signal << sleeping;
        ASSERT_TRUE(bus.send(signal));
    }
    // Runs the event loop until `count` resumes were seen, or a little longer when none more come.
    static void Spin(const int& seen, int count) {
        QElapsedTimer timer;
        timer.start();
        while (seen < count && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const qint64 settle = timer.elapsed() + 200;
        while (timer.elapsed() < settle) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    test::TempDir temp_;
    std::unique_ptr<test::ChildProcess> daemon_;
    QString address_;
    std::vector<QString> connections_;
};

TEST_F(ResumeWatcherTest, OnlyLogindsWakeUpSignalCounts) {
    LogindResumeWatcher watcher(address_);
    int resumes = 0;
    ASSERT_TRUE(watcher.Start([&resumes] { ++resumes; }));

    QDBusConnection stranger = Connect("stranger");
    ASSERT_TRUE(stranger.isConnected());
    Send(stranger, false);  // not from logind's name
    QDBusConnection logind = Connect("logind");
    ASSERT_TRUE(logind.registerService("org.freedesktop.login1"));
    Send(logind, true);  // going to sleep
    Send(logind, false);
    Spin(resumes, 1);
    EXPECT_EQ(resumes, 1) << "only logind's wake-up";
    Send(logind, false);
    Spin(resumes, 2);
    EXPECT_EQ(resumes, 2);
}

TEST_F(ResumeWatcherTest, WithoutABusTheProgramGoesOn) {
    LogindResumeWatcher watcher("unix:path=" + QString::fromStdString((temp_.path() / "no-bus").string()));
    EXPECT_FALSE(watcher.Start([] {}));
}

}  // namespace
}  // namespace vx::qt
