#pragma once
// The online update check: a small wizard that fetches the maker's release description in the
// background and shows whether a newer release exists. Views render the controls and forward
// Next, Download, OK and Cancel.
#include "maintenance/VersionFile.h"
#include "platform/HttpDownload.h"
#include "ui/DialogControls.h"
#include "ui/IEventLoop.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vx::maintenance {

/// Where the description is fetched from unless the "UpdateServer" setting names another host.
inline constexpr const char* kDefaultUpdateServer = "http://www.taviro.com";
inline constexpr const char* kVersionPath = "/files/VXVersion.txt";
inline constexpr const char* kProductPage = "/en/veltrix.aspx?class=8";

class CUpdateDlg {
public:
    enum class Page { Welcome, Checking, Error, UpToDate, UpdateAvailable };
    // Control ids of the dialog template.
    enum : int {
        kNext = 1, kList = 1003, kWelcome1 = 1020, kSidePicture = 1021, kWelcome2 = 1022, kWelcome3 = 1023,
        kClosing = 1024, kDownload = 1025, kOk = 1026, kUpToDate1 = 1029, kUpToDate2 = 1030, kUpToDate3 = 1031,
        kCancel = 1033, kWebAddress = 1035, kHint = 1036, kUpdate1 = 1037, kUpdate2 = 1038, kUpdate3 = 1039,
        kError = 1043,
    };

    struct Services {
        platform::HttpDownload& download;
        std::function<bool(const std::string& url)> openInBrowser;
        ui::IEventLoop& loop;
    };

    /// `server` is scheme and host (see kDefaultUpdateServer); the description is fetched into a
    /// fresh file in `cacheDir` and removed after the check.
    CUpdateDlg(Services services, std::string server, std::filesystem::path cacheDir,
               platform::HttpDownload::Limits limits = {});
    /// Stops a running check and waits for it.
    ~CUpdateDlg();
    CUpdateDlg(const CUpdateDlg&) = delete;
    CUpdateDlg& operator=(const CUpdateDlg&) = delete;

    /// Caption and control texts from the message table.
    void OnInitDialog();
    /// Starts the check in the background; its result arrives through the event loop.
    void OnNext();
    /// Opens the release's web address in the browser; nothing for anything but http/https.
    void OnDownload();
    /// Cancel: stops a running check. OK and the close box end the dialog too.
    void OnCancel();

    Page page() const { return page_; }
    const std::string& caption() const { return caption_; }
    const ui::TextControl& control(int id) const;
    const std::vector<std::string>& listLines() const { return listLines_; }
    std::string productPageUrl() const { return server_ + kProductPage; }
    /// Called after every change the view must show.
    void SetChanged(std::function<void()> changed) { changed_ = std::move(changed); }

private:
    struct Outcome {
        bool downloaded = false;
        VersionInfo info;
    };
    ui::TextControl& Control(int id) { return controls_[id]; }
    void Show(std::initializer_list<int> ids, bool visible);
    void Finish(const Outcome& outcome);
    void StopWorker();

    Services services_;
    std::string server_;
    std::filesystem::path cacheDir_;
    platform::HttpDownload::Limits limits_;
    std::string caption_;
    std::map<int, ui::TextControl> controls_;
    std::vector<std::string> listLines_;
    std::string url_;
    Page page_ = Page::Welcome;
    std::function<void()> changed_;
    std::shared_ptr<std::atomic<bool>> cancel_ = std::make_shared<std::atomic<bool>>(false);
    // Results posted by the worker are dropped once the dialog is gone.
    std::shared_ptr<CUpdateDlg*> self_ = std::make_shared<CUpdateDlg*>(this);
    std::thread worker_;
};

}  // namespace vx::maintenance
