#include "qt/ProfileWindow.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "qt/HostWindow.h"

namespace vx::qt {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

const char* const kStyle =
    "QDialog { background: #161a20; }"
    "QLabel { color: #8a94a6; font-size: 11px; background: transparent; }"
    "QPushButton#profileButton { color: #e6ecf5; background: #2b313b; border: 1px solid #3b4452;"
    "  border-radius: 6px; padding: 6px 22px; font-weight: bold; }"
    "QPushButton#profileButton:hover { border-color: #46a0ff; }";

// Colours are 0xRRGGBB.
QString Colour(uint32_t rgb) { return QColor::fromRgb(rgb).name(); }

// The plain and selected looks: the text colour from the model, the face by the look's image.
QString SlotStyle(const tuning::ProfileSlotButton& slot) {
    const bool selected = slot.button.imageId() == tuning::slotlook::kSelectedImage;
    const QString face = selected ? "qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f2f6fb, stop:1 #b9c7d8)"
                                  : "qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #323a46, stop:1 #1f252e)";
    const QString edge = selected ? "#ffffff" : "#46505f";
    return QString("QPushButton { color: %1; background: %2; border: 1px solid %3; border-radius: 5px;"
                   " font-weight: bold; min-width: 26px; min-height: 26px; padding: 0px; }"
                   "QPushButton:hover { border-color: #46a0ff; }")
        .arg(Colour(slot.textColour), face, edge);
}

std::optional<std::filesystem::path> RunFileDialog(QWidget* parent, const std::filesystem::path& folder, bool save) {
    const QString filter = QString::fromUtf8(tuning::kProfileFilterName);
    QFileDialog dialog(parent, QString::fromUtf8(tuning::profiledlg::kCaption), Q(folder.string()), filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save) dialog.setDefaultSuffix(QString::fromUtf8(tuning::kProfileDefaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().first().toStdString());
}

}  // namespace

tuning::ProfileFileDialogs SystemProfileFileDialogs(QWidget* parent) {
    tuning::ProfileFileDialogs dialogs;
    dialogs.save = [parent](const std::filesystem::path& folder) { return RunFileDialog(parent, folder, true); };
    dialogs.open = [parent](const std::filesystem::path& folder) { return RunFileDialog(parent, folder, false); };
    return dialogs;
}

ProfileWindow::ProfileWindow(tuning::CCVProfileDlg& dialog, tuning::ProfileSlots& profileSlots, std::function<void()> onLoaded,
                             QWidget* parent)
    : QDialog(parent), dialog_(dialog), onLoaded_(std::move(onLoaded)) {
    setWindowTitle(Q(dialog_.caption.text));
    setWindowIcon(AppIcon());
    setAttribute(Qt::WA_QuitOnClose, false);
    setStyleSheet(kStyle);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    save_ = new QPushButton;
    save_->setObjectName("profileButton");
    save_->setProperty("controlId", dialog_.save.id);
    load_ = new QPushButton;
    load_->setObjectName("profileButton");
    load_->setProperty("controlId", dialog_.load.id);
    connect(save_, &QPushButton::clicked, this, [this] { Forward([this] { dialog_.OnSave(); }); });
    connect(load_, &QPushButton::clicked, this, [this] {
        Forward([this] {
            dialog_.OnLoad();
            if (dialog_.closed() && onLoaded_) onLoaded_();
        });
    });
    buttons->addWidget(save_);
    buttons->addWidget(load_);

    slotBar_ = new ProfileSlotBar(profileSlots);
    connect(slotBar_, &ProfileSlotBar::slotPressed, this, [this](int, bool loaded) {
        if (loaded && onLoaded_) onLoaded_();
    });

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(18, 16, 18, 16);
    root->setSpacing(12);
    root->addLayout(buttons);
    root->addWidget(new QLabel("Profile slots"));
    root->addWidget(slotBar_);
    Render();
}

void ProfileWindow::Forward(const std::function<void()>& action) {
    action();
    Render();
    if (dialog_.closed()) accept();
}

void ProfileWindow::Render() {
    save_->setText(Q(dialog_.save.text));
    save_->setEnabled(dialog_.save.enabled);
    load_->setText(Q(dialog_.load.text));
    load_->setEnabled(dialog_.load.enabled);
    slotBar_->Render();
}

ProfileSlotBar::ProfileSlotBar(tuning::ProfileSlots& profileSlots, QWidget* parent)
    : QWidget(parent), slots_(profileSlots) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    for (int i = 0; i < tuning::kProfileSlotCount; ++i) {
        auto* button = new QPushButton;
        button->setObjectName(QString("slot%1").arg(i));
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QPushButton::clicked, this, [this, i] {
            const bool loaded = slots_.LoadProfileSlot(i);
            Render();
            emit slotPressed(i, loaded);
        });
        row->addWidget(button);
        buttons_.push_back(button);
    }
    Render();
}

void ProfileSlotBar::Render() {
    for (int i = 0; i < static_cast<int>(buttons_.size()) && i < tuning::kProfileSlotCount; ++i) {
        const tuning::ProfileSlotButton& look = tuning::SlotButton(slots_, i);
        QPushButton* button = buttons_[static_cast<std::size_t>(i)];
        button->setText(Q(look.button.caption()));
        button->setStyleSheet(SlotStyle(look));
        button->setEnabled(look.button.IsEnabled());
    }
}

}  // namespace vx::qt
