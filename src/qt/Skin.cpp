#include "qt/Skin.h"

#include <QFileInfo>
#include <QPainter>

namespace vx::qt {
namespace {

std::filesystem::path DefaultDirectory() {
    std::error_code ec;
    const std::filesystem::path installed = std::filesystem::path(VX_INSTALL_DATADIR) / "skin";
    if (std::filesystem::is_directory(installed, ec)) return installed;
    return std::filesystem::path(VX_SOURCE_ASSETS) / "skin";
}

}  // namespace

Skin& Skin::Instance() {
    static Skin skin;
    return skin;
}

Skin::Skin() : directory_(DefaultDirectory()) {}

void Skin::SetDirectory(const std::filesystem::path& directory) {
    directory_ = directory;
    cache_.clear();
    missing_.clear();
}

bool Skin::Has(const QString& name) const {
    return QFileInfo::exists(QString::fromStdString((directory_ / (name.toStdString() + ".png")).string()));
}

QPixmap Skin::Pixmap(const QString& name, qreal devicePixelRatio) {
    if (name.isEmpty()) return {};
    const int scale = devicePixelRatio > 1.0 ? 2 : 1;
    const auto key = std::make_pair(name, scale);
    if (auto found = cache_.find(key); found != cache_.end()) return found->second;
    const std::string file = name.toStdString() + (scale == 2 ? "@2x.png" : ".png");
    QPixmap pixmap;
    if (!pixmap.load(QString::fromStdString((directory_ / file).string()))) {
        missing_.insert(scale == 2 ? name + "@2x" : name);
        // A 2x screen still gets the 1x image rather than nothing.
        if (scale == 2) pixmap = Pixmap(name, 1.0);
    } else {
        pixmap.setDevicePixelRatio(scale);
    }
    cache_[key] = pixmap;
    return pixmap;
}

void DrawThreeSlice(QPainter& painter, const QRectF& target, const QPixmap& pixmap, qreal cap) {
    if (pixmap.isNull()) return;
    const qreal ratio = pixmap.devicePixelRatio();
    const qreal sourceWidth = pixmap.width(), sourceHeight = pixmap.height();
    const qreal sourceCap = cap * ratio;
    cap = qMin(cap, target.width() / 2);
    painter.drawPixmap(QRectF(target.left(), target.top(), cap, target.height()), pixmap,
                       QRectF(0, 0, sourceCap, sourceHeight));
    painter.drawPixmap(QRectF(target.left() + cap, target.top(), target.width() - 2 * cap, target.height()), pixmap,
                       QRectF(sourceCap, 0, sourceWidth - 2 * sourceCap, sourceHeight));
    painter.drawPixmap(QRectF(target.right() - cap, target.top(), cap, target.height()), pixmap,
                       QRectF(sourceWidth - sourceCap, 0, sourceCap, sourceHeight));
}

}  // namespace vx::qt
