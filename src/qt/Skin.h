#pragma once
// The window skin: images by name from the skin folder, at 1x or 2x for the screen they are
// drawn on ("name.png", "name@2x.png").
#include <QPixmap>
#include <QSet>
#include <QString>

#include <filesystem>
#include <map>
#include <utility>

class QPainter;

namespace vx::qt {

class Skin {
public:
    /// The process's skin; its folder is the installed one, else the source tree's.
    static Skin& Instance();

    /// Switches to another folder and forgets what was loaded.
    void SetDirectory(const std::filesystem::path& directory);
    /// Drops the loaded images; called before the application object goes.
    void ReleaseImages() { cache_.clear(); }
    const std::filesystem::path& directory() const { return directory_; }

    /// The image for a device pixel ratio (2x above 1.0, 1x otherwise); null when missing.
    QPixmap Pixmap(const QString& name, qreal devicePixelRatio);
    bool Has(const QString& name) const;
    /// Names asked for that the folder lacked, for tests of the skin's completeness.
    const QSet<QString>& missing() const { return missing_; }

private:
    Skin();
    std::filesystem::path directory_;
    std::map<std::pair<QString, int>, QPixmap> cache_;
    QSet<QString> missing_;
};

/// Draws `pixmap` into `target` stretched horizontally only between two end caps of `cap`
/// logical pixels, so rounded ends keep their shape at any width.
void DrawThreeSlice(QPainter& painter, const QRectF& target, const QPixmap& pixmap, qreal cap);

}  // namespace vx::qt
