// The resume watcher on a real D-Bus daemon started for the test, with a stand-in for logind
// that owns logind's bus name, sends its signal and hands out delay locks.
#include "qt/LogindResumeWatcher.h"

#include "QtTestApp.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

namespace vx::qt {
namespace {

// logind's Inhibit: a lock is the write end of a pipe; it is let go when every copy is closed.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~FakeLogind() override {
        if (lockSeen_ >= 0) ::close(lockSeen_);
    }
    int inhibits = 0;
    QStringList lastRequest;
    bool LockHeld() const {
        pollfd p{lockSeen_, POLLIN, 0};
        return lockSeen_ >= 0 && ::poll(&p, 1, 0) == 0;
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode) {
        ++inhibits;
        lastRequest = {what, who, why, mode};
        int ends[2];
        if (::pipe(ends) != 0) return {};
        if (lockSeen_ >= 0) ::close(lockSeen_);
        lockSeen_ = ends[0];
        QDBusUnixFileDescriptor lock(ends[1]);  // holds its own copy
        ::close(ends[1]);
        return lock;
    }

private:
    int lockSeen_ = -1;
};

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
    // Runs the event loop until `done`, then a little longer so that nothing more is missed.
    template <class Done>
    static void SpinUntil(Done done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const qint64 settle = timer.elapsed() + 200;
        while (timer.elapsed() < settle) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    static void Spin(const int& seen, int count) {
        SpinUntil([&] { return seen >= count; });
    }

    test::TempDir temp_;
    std::unique_ptr<test::ChildProcess> daemon_;
    QString address_;
    std::vector<QString> connections_;
};

TEST_F(ResumeWatcherTest, OnlyLogindsWakeUpSignalCounts) {
    LogindResumeWatcher watcher(address_, [](const std::string&) {});
    int resumes = 0;
    ASSERT_TRUE(watcher.Start({}, [&resumes] { ++resumes; }));

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
    EXPECT_FALSE(watcher.Start({}, [] {}));
}

TEST_F(ResumeWatcherTest, TheDelayLockIsLetGoOnlyOnceTheSettingsAreSaved) {
    QDBusConnection logind = Connect("logind");
    FakeLogind fake;
    ASSERT_TRUE(logind.registerService("org.freedesktop.login1"));
    ASSERT_TRUE(logind.registerObject("/org/freedesktop/login1", &fake, QDBusConnection::ExportAllSlots));
    LogindResumeWatcher watcher(address_);
    std::vector<std::string> events;
    ASSERT_TRUE(watcher.Start([&] { events.push_back(fake.LockHeld() ? "save, locked" : "save, too late"); },
                              [&] { events.push_back("resume"); }));
    SpinUntil([&] { return watcher.HoldsInhibitor(); });
    ASSERT_EQ(fake.inhibits, 1);
    EXPECT_EQ(fake.lastRequest.first(), "sleep");
    EXPECT_EQ(fake.lastRequest.last(), "delay");
    EXPECT_TRUE(fake.LockHeld());

    Send(logind, true);
    SpinUntil([&] { return !fake.LockHeld(); });
    EXPECT_FALSE(fake.LockHeld()) << "the suspend may go on";
    EXPECT_EQ(events, (std::vector<std::string>{"save, locked"}));

    Send(logind, false);
    SpinUntil([&] { return fake.inhibits == 2 && watcher.HoldsInhibitor(); });
    EXPECT_EQ(events, (std::vector<std::string>{"save, locked", "resume"}));
    EXPECT_TRUE(fake.LockHeld()) << "taken again for the next sleep";
}

}  // namespace
}  // namespace vx::qt

#include "ResumeWatcherTest.moc"
