#pragma once
// Opens files with the desktop's default application: the freedesktop opener, started
// detached with the path as its one argument.
#include <QString>

#include "platform/FileOpener.h"

namespace vx::qt {

class QtFileOpener final : public platform::FileOpener {
public:
    explicit QtFileOpener(QString program = QStringLiteral("xdg-open")) : program_(std::move(program)) {}
    bool OpenWithDefaultApplication(const std::filesystem::path& path) override;

private:
    QString program_;
};

}  // namespace vx::qt
