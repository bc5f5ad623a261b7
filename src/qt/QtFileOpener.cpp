#include "qt/QtFileOpener.h"

#include <QProcess>

namespace vx::qt {

bool QtFileOpener::OpenWithDefaultApplication(const std::filesystem::path& path) {
    // Detached: the viewer may run for hours and must not hold the interface thread; an
    // argument list, so no character of the path is ever read by a shell.
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return QProcess::startDetached(program_, {QString::fromStdString((error ? path : full).string())});
}

}  // namespace vx::qt
