#pragma once
// A small translucent window with a progress bar, shown over its parent while work the user
// waits for runs elsewhere (a worker thread), so the window never looks frozen.
#include <QTimer>

#include <functional>

#include "qt/TranslucentWindow.h"

namespace vx::qt {

class WaitProgressWindow final : public TranslucentWindow {
    Q_OBJECT
public:
    WaitProgressWindow(const QString& caption, QWidget* parent);

    /// Shows the window while `running` says the work goes on and hides it when it ends,
    /// checking now and then every tick; a call while shown only replaces the test.
    void Track(std::function<bool()> running);
    const ui::CTranslucentProgressBar& bar() const { return *bar_; }

private:
    bool Running() const;
    void Stop();
    void Tick();

    ui::CTranslucentProgressBar* bar_ = nullptr;
    std::function<bool()> running_;
    QTimer timer_;
};

}  // namespace vx::qt
