// The update check against a real HTTP server on loopback, through libcurl.
#include "maintenance/CUpdateDlg.h"

#include "platform/posix/CurlHttpDownload.h"
#include "support/FakeClock.h"
#include "support/LocalHttpServer.h"
#include "support/ManualEventLoop.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace vx::maintenance {
namespace {

using Page = CUpdateDlg::Page;
using test::LocalHttpServer;

constexpr const char* kNetworkFailed = "Network connection failed. Please check the network";

std::string Description(const char* version, const char* url, const char* info) {
    return std::string("[Version]\r\nVersion=") + version + "\r\n[URL]\r\nURL=" + url + "\r\n[INFO]\r\nINFO=" + info +
           "\r\n";
}

enum class Server { Answers, Down, Silent };

struct CheckCase {
    const char* name;
    Server server;
    std::string status;
    std::string body;
    Page page;
    std::vector<std::string> lines;
};

const CheckCase kCases[] = {
    {"SameReleaseIsUpToDate", Server::Answers, "200 OK", Description("33063", "http://x/", "|new"), Page::UpToDate, {}},
    {"NewerReleaseListsItsNotes", Server::Answers, "200 OK", Description("33064", "http://x/", "|a|b"),
     Page::UpdateAvailable, {"a", "b"}},
    {"TextBeforeTheFirstBarIsNotShown", Server::Answers, "200 OK", Description("33064", "http://x/", "a|"),
     Page::UpdateAvailable, {""}},
    {"NotesWithoutBarsListNothing", Server::Answers, "200 OK", Description("40000", "http://x/", "plain"),
     Page::UpdateAvailable, {}},
    {"NegativeVersionIsOld", Server::Answers, "200 OK", Description("-40000", "http://x/", "|a"), Page::UpToDate, {}},
    {"MissingVersionIsOld", Server::Answers, "200 OK", "[URL]\r\nURL=http://x/\r\n", Page::UpToDate, {}},
    {"UnparsableFileIsUpToDate", Server::Answers, "200 OK", "[Version]\r\nVersion=40000\r\nVersion=40000\r\n",
     Page::UpToDate, {}},
    {"ServerErrorFails", Server::Answers, "404 Not Found", "missing", Page::Error, {}},
    {"OversizedAnswerFails", Server::Answers, "200 OK", Description("40000", "http://x/", "|a") + std::string(5000, ' '),
     Page::Error, {}},
    {"ServerDownFails", Server::Down, "", "", Page::Error, {}},
    {"ServerThatNeverAnswersFailsInTime", Server::Silent, "", "", Page::Error, {}},
};

class UpdateCheck : public ::testing::Test {
protected:
    std::unique_ptr<CUpdateDlg> Open(const std::string& server) {
        auto dialog = std::make_unique<CUpdateDlg>(
            CUpdateDlg::Services{download, [this](const std::string& url) { opened.push_back(url); return true; },
                                 loop},
            server, cache / "veltrix-plus", platform::HttpDownload::Limits{std::chrono::milliseconds(500), 4096});
        dialog->OnInitDialog();
        return dialog;
    }
    /// Runs the interface thread's tasks until the check has finished (bounded).
    void RunUntilDone(const CUpdateDlg& dialog) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (dialog.page() == Page::Checking && std::chrono::steady_clock::now() < deadline) {
            loop.RunPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    platform::CurlHttpDownload download;
    test::FakeClock clock;
    test::ManualEventLoop loop{clock};
    test::TempDir cache;
    std::vector<std::string> opened;
};

class UpdateCheckCases : public UpdateCheck, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(UpdateCheckCases, ShowsThePageTheServerCallsFor) {
    const CheckCase& c = GetParam();
    std::unique_ptr<LocalHttpServer> server;
    std::string base = "http://127.0.0.1:" + std::to_string(LocalHttpServer::ClosedPort());
    if (c.server != Server::Down) {
        server = std::make_unique<LocalHttpServer>(
            c.status, c.body, c.server == Server::Silent ? LocalHttpServer::Mode::Silent : LocalHttpServer::Mode::Answer);
        ASSERT_NE(server->port(), 0);
        base = server->base();
    }
    auto dialog = Open(base);
    dialog->OnNext();
    // The interface thread is free while the check runs.
    EXPECT_EQ(dialog->page(), Page::Checking);
    EXPECT_FALSE(dialog->control(CUpdateDlg::kNext).enabled);
    RunUntilDone(*dialog);

    ASSERT_EQ(dialog->page(), c.page);
    EXPECT_EQ(dialog->listLines(), c.lines);
    EXPECT_FALSE(dialog->control(CUpdateDlg::kNext).visible);
    EXPECT_FALSE(dialog->control(CUpdateDlg::kWelcome1).visible);
    EXPECT_EQ(dialog->control(CUpdateDlg::kError).visible, c.page == Page::Error);
    EXPECT_EQ(dialog->control(CUpdateDlg::kOk).visible, c.page != Page::UpdateAvailable);
    EXPECT_EQ(dialog->control(CUpdateDlg::kDownload).visible, c.page == Page::UpdateAvailable);
    EXPECT_EQ(dialog->control(CUpdateDlg::kCancel).enabled, c.page != Page::UpToDate);
    EXPECT_EQ(dialog->control(CUpdateDlg::kClosing).visible, c.page == Page::UpToDate);
    if (c.page == Page::Error) {
        EXPECT_EQ(dialog->control(CUpdateDlg::kError).text, kNetworkFailed);
    }
    if (server && c.server == Server::Answers) {
        EXPECT_EQ(server->requests(), std::vector<std::string>{"GET /files/VXVersion.txt HTTP/1.1"});
    }
    // Nothing is left in the cache folder, whatever the outcome.
    EXPECT_TRUE(test::TempDir::Entries(cache / "veltrix-plus").empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, UpdateCheckCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateCheck, DownloadOpensOnlyWebAddresses) {
    for (const auto& [url, opens] : std::vector<std::pair<std::string, bool>>{
             {"https://example.test/get", true}, {"HTTP://example.test/get", true},
             {"file:///etc/passwd", false}, {"javascript:alert(1)", false}, {"", false}}) {
        LocalHttpServer server("200 OK", Description("33064", url.c_str(), "|x"));
        auto dialog = Open(server.base());
        dialog->OnNext();
        RunUntilDone(*dialog);
        ASSERT_EQ(dialog->page(), Page::UpdateAvailable) << url;
        opened.clear();
        dialog->OnDownload();
        EXPECT_EQ(opened, opens ? std::vector<std::string>{url} : std::vector<std::string>{}) << url;
    }
}

TEST_F(UpdateCheck, CancelStopsAHangingCheckAndClosingDropsItsResult) {
    LocalHttpServer silent("200 OK", "", LocalHttpServer::Mode::Silent);
    auto dialog = std::make_unique<CUpdateDlg>(
        CUpdateDlg::Services{download, nullptr, loop}, silent.base(), cache / "veltrix-plus",
        platform::HttpDownload::Limits{std::chrono::minutes(10), 4096});
    dialog->OnInitDialog();
    dialog->OnNext();
    dialog->OnCancel();  // returns although the server would keep it waiting for ten minutes
    dialog.reset();
    loop.RunPending();  // a result posted before the dialog went is dropped
    EXPECT_TRUE(test::TempDir::Entries(cache / "veltrix-plus").empty());
}

TEST_F(UpdateCheck, WelcomePageTexts) {
    auto dialog = Open("http://127.0.0.1:1");
    EXPECT_EQ(dialog->caption(), "Online Update");
    EXPECT_EQ(dialog->control(CUpdateDlg::kNext).text, "Next");
    EXPECT_EQ(dialog->control(CUpdateDlg::kHint).text, "Click Next to begin.");
    EXPECT_EQ(dialog->control(CUpdateDlg::kUpToDate2).text, "There is no latest product updates.");
    EXPECT_TRUE(dialog->control(CUpdateDlg::kWelcome1).visible);
    EXPECT_FALSE(dialog->control(CUpdateDlg::kOk).visible);
    EXPECT_EQ(dialog->productPageUrl(), "http://127.0.0.1:1/en/veltrix.aspx?class=8");
}

}  // namespace
}  // namespace vx::maintenance
