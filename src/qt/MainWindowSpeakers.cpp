// The main window's speaker test page: the speaker picture with its eight hot spots and their
// highlights, the speakers' names, whether the card's HDMI audio device is there, "Play" and
// "Auto Select HDMI Device".
#include "qt/MainWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "app/CMultiLangSupp.h"
#include "peripherals/SpeakerTest.h"
#include "qt/Skin.h"
#include "qt/SkinnedButton.h"

namespace vx::qt {
namespace {

// The picture's top-left corner in the speaker table's coordinates, and its size.
const QPoint kOrigin(100, 320);
const QSize kPictureSize(410, 240);
constexpr int kGlow = 6;  // the highlight images reach this far around their rectangle

QRect Place(const peripherals::SpeakerRect& r) { return QRect(r.left, r.top, r.width, r.height).translated(-kOrigin); }
// What a speaker's highlight changes: the glow around it and its name below.
QRect Area(const peripherals::SpeakerRect& r) {
    const QRect at = Place(r);
    return QRect(at.center().x() - 45, at.top() - kGlow, 90, at.height() + kGlow + 16).united(at.adjusted(-kGlow, -kGlow, kGlow, kGlow));
}

class SpeakerPicture final : public QWidget {
public:
    explicit SpeakerPicture(peripherals::SpeakerTest& speakers) : speakers_(speakers) {
        setObjectName("speakerPicture");
        setFixedSize(kPictureSize);
        setCursor(Qt::PointingHandCursor);
        speakers_.OnRepaint([this](const peripherals::SpeakerRect& r) { update(Area(r)); });
    }
    ~SpeakerPicture() override { speakers_.OnRepaint({}); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.drawPixmap(QPoint(), Skin::Instance().Pixmap("speakers", devicePixelRatioF()));
        QFont small = font();
        small.setPixelSize(10);
        p.setFont(small);
        for (const peripherals::SpeakerRow& row : speakers_.rows()) {
            const QRect at = Place(row.rect);
            if (row.highlightUntil != 0)
                p.drawPixmap(at.topLeft() - QPoint(kGlow, kGlow), Skin::Instance().Pixmap(QString("img_%1").arg(row.image), devicePixelRatioF()));
            p.setPen(row.highlightUntil != 0 ? QColor(0x46, 0xa0, 0xff) : QColor(0x9a, 0xa5, 0xb5));
            const QRect label(at.center().x() - 45, at.top() + at.height() + 2, 90, 13);
            p.drawText(label, Qt::AlignHCenter | Qt::AlignTop, QString::fromUtf8(app::Text(row.nameRow)));
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        const QPoint at = event->position().toPoint() + kOrigin;
        speakers_.OnClick(at.x(), at.y());
    }

private:
    peripherals::SpeakerTest& speakers_;
};

}  // namespace

void MainWindow::AttachSpeakers(peripherals::SpeakerTest& speakers) {
    if (speakers_ || !pageButtons_) return;
    speakers_ = &speakers;
    auto* section = new QWidget;
    section->setObjectName(QString("section%1").arg(tuning::kPageSpeakers));
    pageSections_[tuning::kPageSpeakers] = section;
    pagesStack_->insertWidget(pagesStack_->count() - 1, section);  // before the closing stretch

    auto* rows = new QVBoxLayout(section);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(10);
    auto* status = new QLabel;
    status->setObjectName("hdmiStatus");
    hdmiStatus_ = status;
    rows->addWidget(status);
    rows->addWidget(new SpeakerPicture(speakers), 0, Qt::AlignHCenter);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addStretch(1);
    buttons->addWidget(Bind(speakers.play, Style::Caption, "push_accent", Family::Any, "speakerPlay",
                            [&speakers] { speakers.PlaySelected(); }));
    SkinnedButton* autoSelect = Bind(speakers.autoSelect, Style::Caption, "push", Family::Any, "speakerAutoSelect",
                                     [&speakers] { speakers.OnAutoSelectTimer(true); });
    autoSelect->setMinimumWidth(200);
    buttons->addWidget(autoSelect);
    buttons->addStretch(1);
    rows->addLayout(buttons);

    dialog_.buttons.pages[tuning::kPageSpeakers].SetTooltip(app::Text(168));
    pageButtons_->insertWidget(
        4, Bind(dialog_.buttons.pages[tuning::kPageSpeakers], Style::Fixed, "page_4", Family::Any, "page4",
                [this] { dialog_.ShowPage(tuning::kPageSpeakers); }, {}, false));
    dialog_.EnableSpeakerPage();
    Render();
}

void MainWindow::RenderSpeakers() {
    if (!speakers_ || !hdmiStatus_) return;
    // "HDMI" and what the last look found.
    hdmiStatus_->setText(QString::fromUtf8(app::Text(134)) + ": " +
                         (speakers_->hdmiAudioPresent() ? QStringLiteral("the card's audio device is connected")
                                                        : QStringLiteral("no card audio device; clips play on the default device")));
}

}  // namespace vx::qt
