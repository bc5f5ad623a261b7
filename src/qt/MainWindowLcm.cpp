// The LCD module's entry on the lighting page: a button that opens the display panel.
#include "qt/MainWindow.h"

#include "qt/SkinnedButton.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace vx::qt {

void MainWindow::AttachLcmPanel(std::function<void()> open) {
    if (!lightingRows_ || !open) return;
    lcmPanelButton_.SetCaption("LCD module");
    lcmPanelButton_.SetTooltip("The message and options of the card's character display");
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    SkinnedButton* button = Bind(lcmPanelButton_, Style::Caption, "chip", Family::Any, "lcmPanel", std::move(open));
    button->setMinimumWidth(118);
    row->addWidget(button);
    lightingRows_->insertLayout(1, row);
    Render();
}

}  // namespace vx::qt
