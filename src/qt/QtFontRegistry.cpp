#include "qt/QtFontRegistry.h"

#include <QFontDatabase>
#include <QString>
#include <QStringList>

namespace vx::qt {

bool QtFontRegistry::HasFamily(const std::string& family) const {
    const QString wanted = QString::fromStdString(family);
    const QStringList families = QFontDatabase::families();
    for (const QString& name : families) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

std::vector<std::string> QtFontRegistry::AddFontFile(const std::filesystem::path& file) {
    std::vector<std::string> result;
    const int id = QFontDatabase::addApplicationFont(QString::fromStdString(file.string()));
    if (id < 0) return result;
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    for (const QString& name : families) result.push_back(name.toStdString());
    // A file that brings no family is of no use to the windows.
    if (result.empty()) QFontDatabase::removeApplicationFont(id);
    return result;
}

}  // namespace vx::qt
