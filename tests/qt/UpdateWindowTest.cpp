// The update check's window against a real HTTP server on loopback: each result page as the
// user sees it. With VX_SCREENSHOT_DIR set, the pages are also saved there as pictures.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <cstdlib>

#include "platform/posix/CurlHttpDownload.h"
#include "qt/QtEventLoop.h"
#include "qt/QtTestApp.h"
#include "qt/UpdateWindow.h"
#include "qt/WaitProgressWindow.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

namespace vx::test {
namespace {

using Dlg = maintenance::CUpdateDlg;

struct PageCase {
    const char* name;
    const char* body;  // null: nothing listens
    Dlg::Page page;
    int shownLabel;    // a control only this page shows
    int listLines;
};

const PageCase kPages[] = {
    {"up-to-date", "[Version]\nVersion=33063\n", Dlg::Page::UpToDate, Dlg::kClosing, 0},
    {"update-available",
     "[Version]\nVersion=33064\n[URL]\nURL=https://example.test/get\n[INFO]\nINFO=|Fan curve editor|Faster start-up\n",
     Dlg::Page::UpdateAvailable, Dlg::kUpdate3, 2},
    {"error", nullptr, Dlg::Page::Error, Dlg::kError, 0},
};

class UpdateWindowPages : public ::testing::TestWithParam<PageCase> {};

TEST_P(UpdateWindowPages, NextShowsTheResultPage) {
    const PageCase& c = GetParam();
    QtTestApp();
    std::unique_ptr<LocalHttpServer> server;
    std::string base = "http://127.0.0.1:" + std::to_string(LocalHttpServer::ClosedPort());
    if (c.body) {
        server = std::make_unique<LocalHttpServer>("200 OK", c.body);
        base = server->base();
    }
    TempDir cache;
    platform::CurlHttpDownload download;
    qt::QtEventLoop loop;
    Dlg model({download, nullptr, loop}, base, cache.path(), {std::chrono::milliseconds(2000), 4096});
    qt::UpdateWindow window(model, "Arial");
    window.show();
    auto* next = qobject_cast<QPushButton*>(window.findChildren<QPushButton*>().value(0));
    ASSERT_NE(next, nullptr);
    ASSERT_EQ(next->text(), "Next");
    next->click();
    EXPECT_TRUE(window.findChild<qt::WaitProgressWindow*>()->isVisible());  // shows that the check runs
    QElapsedTimer waited;
    waited.start();
    while (model.page() == Dlg::Page::Checking && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(model.page(), c.page);

    EXPECT_FALSE(window.findChild<qt::WaitProgressWindow*>()->isVisible());
    EXPECT_FALSE(next->isVisible());
    EXPECT_EQ(window.findChild<QListWidget*>()->isVisible(), c.listLines > 0);
    EXPECT_EQ(window.findChild<QListWidget*>()->count(), c.listLines);
    int shown = 0;
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->isVisible() && label->text() == QString::fromStdString(model.control(c.shownLabel).text)) ++shown;
    EXPECT_EQ(shown, 1);
    const QImage image = window.grab().toImage();
    EXPECT_EQ(image.pixelColor(300, 220), QColor(128, 128, 128));  // the separator above the buttons
    if (const char* dir = std::getenv("VX_SCREENSHOT_DIR"))
        image.save(QString::fromUtf8(dir) + "/update-" + c.name + ".png");
}

INSTANTIATE_TEST_SUITE_P(Pages, UpdateWindowPages, ::testing::ValuesIn(kPages), [](const auto& info) {
    std::string name = info.param.name;
    std::erase(name, '-');
    return name;
});

}  // namespace
}  // namespace vx::test
