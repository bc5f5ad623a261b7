#include "qt/DisplayBellActions.h"

#include <QApplication>

namespace vx::qt {

void DisplayBellActions::Beep(uint32_t frequencyHz, uint32_t durationMs) {
    QApplication::beep();
    platform_.Beep(frequencyHz, durationMs);
}

}  // namespace vx::qt
