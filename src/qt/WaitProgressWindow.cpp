#include "qt/WaitProgressWindow.h"

#include "qt/Skin.h"

namespace vx::qt {
namespace {

constexpr int kTickMs = 40;
constexpr int kSteps = 50;  // the bar fills in two seconds, then starts again: the work has no measure
const ui::TRect kBar{20, 20, 220, 22};  // on the face "wait_face", 260 × 62

QImage SkinImage(const char* name) { return Skin::Instance().Pixmap(name, 1.0).toImage(); }

}  // namespace

WaitProgressWindow::WaitProgressWindow(const QString& caption, QWidget* parent)
    : TranslucentWindow(SkinImage("wait_face"), parent, Qt::Tool) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto bar = std::make_unique<ui::CTranslucentProgressBar>(kBar);
    bar->SetImage(ui::CTranslucentProgressBar::kBackground, AddImage(SkinImage("wait_groove")));
    bar->SetImage(ui::CTranslucentProgressBar::kBar, AddImage(SkinImage("wait_bar")));
    bar->SetRange(0, kSteps);
    bar->SetCaption(caption.toStdString());
    bar_ = &dialog().Add(std::move(bar));
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &WaitProgressWindow::Tick);
}

void WaitProgressWindow::Track(std::function<bool()> running) {
    running_ = std::move(running);
    if (!Running()) {
        Stop();
        return;
    }
    if (timer_.isActive()) return;
    bar_->SetPos(0);
    // Low in the window, clear of the confirmations the work may ask for in its middle.
    if (const QWidget* over = parentWidget()) {
        const QRect area = over->window()->frameGeometry();
        move(QPoint(area.center().x(), area.top() + area.height() * 3 / 4) - rect().center());
    }
    show();
    timer_.start();
}

bool WaitProgressWindow::Running() const { return running_ && running_(); }

void WaitProgressWindow::Stop() {
    timer_.stop();
    running_ = nullptr;
    hide();
}

void WaitProgressWindow::Tick() {
    if (!Running()) {
        Stop();
        return;
    }
    bar_->SetPos(bar_->pos() >= kSteps ? 0 : bar_->pos() + 1);
}

}  // namespace vx::qt
