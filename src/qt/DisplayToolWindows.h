#pragma once
// The display tools' windows: "PIXEL CLOCK OC" with its "APPLY CHANGE" countdown, and the
// "TLX Series Setting" viewer. They render the display/ controllers and forward user actions.
#include <QDialog>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "display/CPixelClockDlg.h"
#include "display/CViewDlg.h"
#include "ui/IClock.h"
#include "ui/IPrompts.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace vx::qt {

class PixelMessageWindow final : public QDialog {
    Q_OBJECT
public:
    PixelMessageWindow(display::CPixelMessageDlg& dialog, QWidget* parent = nullptr);
    void Render();

public slots:
    void reject() override;  // NO, Escape or the close box

private:
    display::CPixelMessageDlg& dialog_;
    QLabel* countdown_ = nullptr;
};

class PixelClockWindow final : public QDialog {
    Q_OBJECT
public:
    /// Opens `dialog` (OnInitDialog) and shows it.
    PixelClockWindow(display::CPixelClockDlg& dialog, QWidget* parent = nullptr);
    void Render();

public slots:
    void reject() override;  // closing reverts a trial still waiting for its answer

private:
    display::CPixelClockDlg& dialog_;
    QComboBox* monitors_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* pixelClock_ = nullptr;
    QLabel* refresh_ = nullptr;
    bool rendering_ = false;
};

class ViewWindow final : public QDialog {
    Q_OBJECT
public:
    ViewWindow(display::CViewDlg& dialog, QWidget* parent = nullptr);
    void Render();

private:
    QLineEdit* Edit(ui::TextControl& model);
    QSlider* Bar(ui::CCVSlider& model);

    display::CViewDlg& dialog_;
    std::vector<std::pair<ui::TextControl*, QLineEdit*>> edits_;
    std::vector<std::pair<ui::CCVSlider*, QSlider*>> bars_;
    QComboBox* timings_ = nullptr;
    QComboBox* operations_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* horizontalValue_ = nullptr;
    QLabel* verticalValue_ = nullptr;
    QCheckBox* bezelEnabled_ = nullptr;
    QPushButton* bezelApply_ = nullptr;
    bool rendering_ = false;
};

/// Opens the display tools from the settings dialog. The viewer connection, once opened,
/// stays for the life of this object (the process).
class DisplayTools {
public:
    DisplayTools(ui::IEventLoop& loop, ui::IPrompts& prompts, ui::IClock& clock, std::filesystem::path dataDir);
    void OpenPixelClock(QWidget* parent);
    void OpenViewer(QWidget* parent);

private:
    ui::IEventLoop& loop_;
    ui::IPrompts& prompts_;
    display::DisplayViewer viewer_;
    std::filesystem::path dataDir_;
};

}  // namespace vx::qt
