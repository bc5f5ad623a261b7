#pragma once
// The one Qt application object of the test process, on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdlib>
#include <functional>
#include <memory>

#include "qt/Skin.h"

namespace vx::test {
namespace detail {

// Ends the application with the test run, while Qt's own global lists still exist: left to
// the exit handlers, the application would outlive the device list that a shown window's
// first enter event creates, and crash on the way out.
class QtAppEnvironment final : public ::testing::Environment {
public:
    void TearDown() override {
        qt::Skin::Instance().ReleaseImages();
        app.reset();
    }
    std::unique_ptr<QApplication> app;
};

}  // namespace detail

inline QApplication& QtTestApp() {
    static int argc = 1;
    static char name[] = "vx_tests";
    static char* argv[] = {name, nullptr};
    static detail::QtAppEnvironment* environment = [] {
        if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        auto owned = std::make_unique<detail::QtAppEnvironment>();
        detail::QtAppEnvironment* raw = owned.get();
        ::testing::AddGlobalTestEnvironment(owned.release());  // GoogleTest owns it from here
        return raw;
    }();
    if (!environment->app) environment->app = std::make_unique<QApplication>(argc, argv);
    return *environment->app;
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
