#include "qt/UpdateWindow.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLinearGradient>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QUrl>

#include "platform/SettingsStore.h"
#include "platform/posix/CurlHttpDownload.h"
#include "qt/WaitProgressWindow.h"

namespace vx::qt {

namespace {

using Dlg = maintenance::CUpdateDlg;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The side picture: a circular arrow over a blue band, drawn rather than shipped.
QPixmap SidePicture(const QSize& size) {
    QPixmap picture(size);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, 0, size.height());
    band.setColorAt(0, QColor(18, 62, 120));
    band.setColorAt(1, QColor(70, 150, 210));
    p.fillRect(picture.rect(), band);
    const QRectF ring(size.width() / 2.0 - 38, size.height() / 2.0 - 48, 76, 76);
    p.setPen(QPen(QColor(255, 255, 255, 230), 9, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(ring, 100 * 16, 300 * 16);
    QPainterPath head;
    const QPointF tip(ring.center().x() - 6, ring.top());
    head.moveTo(tip + QPointF(18, 0));
    head.lineTo(tip + QPointF(-2, -13));
    head.lineTo(tip + QPointF(-2, 13));
    head.closeSubpath();
    p.fillPath(head, QColor(255, 255, 255, 230));
    return picture;
}

constexpr int kPageLeft = 140;
constexpr int kPageWidth = 260;
constexpr int kSeparatorY = 220;

}  // namespace

UpdateWindow::UpdateWindow(Dlg& model, const QString& headingFamily, QWidget* parent)
    : QDialog(parent), model_(model), heading_(headingFamily) {
    heading_.setPointSize(10);
    heading_.setWeight(QFont::Bold);
    heading_.setStyleStrategy(QFont::PreferQuality);
    setFixedSize(410, 260);

    auto* picture = new QLabel(this);
    picture->setGeometry(2, 2, 130, kSeparatorY - 6);
    picture->setPixmap(SidePicture(picture->size()));
    controls_[Dlg::kSidePicture] = picture;

    const auto row = [](int y, int height) { return QRect(kPageLeft, y, kPageWidth, height); };
    AddLabel(Dlg::kWelcome1, row(12, 40), true);
    AddLabel(Dlg::kWelcome2, row(60, 40));
    AddLabel(Dlg::kWelcome3, row(108, 40));
    AddLabel(Dlg::kHint, row(185, 20));
    AddLabel(Dlg::kUpToDate1, row(12, 24), true);
    AddLabel(Dlg::kUpToDate2, row(44, 24));
    AddLabel(Dlg::kUpToDate3, row(72, 48));
    AddLabel(Dlg::kWebAddress, row(124, 20));
    AddLabel(Dlg::kClosing, row(150, 40));
    AddLabel(Dlg::kUpdate1, row(12, 40), true);
    AddLabel(Dlg::kUpdate2, row(54, 18));
    AddLabel(Dlg::kUpdate3, row(74, 18));
    AddLabel(Dlg::kError, row(12, 60))->setStyleSheet("color: #b00000;");
    list_ = new QListWidget(this);
    list_->setGeometry(row(94, 118));
    controls_[Dlg::kList] = list_;
    busy_ = new WaitProgressWindow(QString::fromUtf8("Checking for updates…"), this);

    const QRect left(236, 228, 80, 26);
    const QRect right(322, 228, 80, 26);
    AddButton(Dlg::kNext, left);
    AddButton(Dlg::kDownload, left);
    AddButton(Dlg::kOk, left);
    AddButton(Dlg::kCancel, right);
    connect(static_cast<QPushButton*>(controls_[Dlg::kNext]), &QPushButton::clicked, this, [this] { model_.OnNext(); });
    connect(static_cast<QPushButton*>(controls_[Dlg::kDownload]), &QPushButton::clicked, this,
            [this] { model_.OnDownload(); });
    connect(static_cast<QPushButton*>(controls_[Dlg::kOk]), &QPushButton::clicked, this, &QDialog::accept);
    connect(static_cast<QPushButton*>(controls_[Dlg::kCancel]), &QPushButton::clicked, this, &QDialog::reject);

    model_.SetChanged([this] { Render(); });
    model_.OnInitDialog();
    auto* link = static_cast<QLabel*>(controls_[Dlg::kWebAddress]);
    link->setTextFormat(Qt::RichText);
    link->setOpenExternalLinks(true);
}

QLabel* UpdateWindow::AddLabel(int id, const QRect& where, bool heading) {
    auto* label = new QLabel(this);
    label->setGeometry(where);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (heading) label->setFont(heading_);
    controls_[id] = label;
    return label;
}

QPushButton* UpdateWindow::AddButton(int id, const QRect& where) {
    auto* button = new QPushButton(this);
    button->setGeometry(where);
    controls_[id] = button;
    return button;
}

void UpdateWindow::Render() {
    setWindowTitle(Q(model_.caption()));
    for (const auto& [id, widget] : controls_) {
        const ui::TextControl& control = model_.control(id);
        widget->setVisible(control.visible);
        widget->setEnabled(control.enabled);
        if (auto* button = qobject_cast<QPushButton*>(widget)) button->setText(Q(control.text));
    }
    for (const auto& [id, widget] : controls_) {
        auto* label = qobject_cast<QLabel*>(widget);
        if (!label || id == Dlg::kSidePicture) continue;
        if (id == Dlg::kWebAddress) {
            const QString url = Q(model_.productPageUrl()).toHtmlEscaped();
            label->setText("<a href=\"" + url + "\">" + Q(model_.control(id).text).toHtmlEscaped() + "</a>");
        } else {
            label->setText(Q(model_.control(id).text));
        }
    }
    list_->clear();
    for (const std::string& line : model_.listLines()) list_->addItem(Q(line));
    busy_->Track([this] { return model_.page() == Dlg::Page::Checking; });
}

void UpdateWindow::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    p.setPen(QPen(QColor(128, 128, 128), 1));
    p.drawLine(2, kSeparatorY, 400, kSeparatorY);
}

void UpdateWindow::reject() {
    model_.OnCancel();
    QDialog::reject();
}

void RunUpdateDialog(const platform::SettingsStore& settings, ui::IEventLoop& loop,
                     const std::filesystem::path& cacheDir, const QString& headingFamily, QWidget* parent) {
    std::string server = settings.ReadText("UpdateServer").value_or("");
    if (!maintenance::IsWebAddress(server)) server = maintenance::kDefaultUpdateServer;
    platform::CurlHttpDownload download;
    Dlg model({download, [](const std::string& url) { return QDesktopServices::openUrl(QUrl(Q(url))); }, loop},
              server, cacheDir);
    UpdateWindow window(model, headingFamily, parent);
    window.exec();
}

}  // namespace vx::qt
