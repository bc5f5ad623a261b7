#pragma once
// The one Qt application object of the test process, on the offscreen platform.
#include <QApplication>
#include <QElapsedTimer>

#include <cstdlib>
#include <functional>

namespace vx::test {

inline QApplication& QtTestApp() {
    static int argc = 1;
    static char name[] = "vx_tests";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication app(argc, argv);
    return app;
}

/// Processes events until `done` holds; false when it never did (bounded, not timed).
inline bool ProcessEventsUntil(const std::function<bool()>& done, int limitMs = 5000) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

}  // namespace vx::test
