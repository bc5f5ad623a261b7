#include "maintenance/CUpdateDlg.h"

#include "app/CMultiLangSupp.h"

#include <cstdio>
#include <random>
#include <system_error>
#include <utility>

namespace vx::maintenance {

namespace {

// Message table rows of the dialog's texts, caption first.
constexpr int kCaptionText = 198;
constexpr std::pair<int, int> kControlTexts[] = {
    {CUpdateDlg::kNext, 199},      {CUpdateDlg::kCancel, 52},     {CUpdateDlg::kDownload, 200},
    {CUpdateDlg::kOk, 51},         {CUpdateDlg::kWelcome1, 201},  {CUpdateDlg::kWelcome2, 202},
    {CUpdateDlg::kWelcome3, 203},  {CUpdateDlg::kHint, 204},      {CUpdateDlg::kUpToDate1, 205},
    {CUpdateDlg::kUpToDate2, 206}, {CUpdateDlg::kUpToDate3, 207}, {CUpdateDlg::kUpdate1, 209},
    {CUpdateDlg::kUpdate2, 210},   {CUpdateDlg::kUpdate3, 211},   {CUpdateDlg::kError, 212},
};
constexpr int kClosingText = 208;

// A name no other check uses: two copies of the program never share the file.
std::filesystem::path FreshFile(const std::filesystem::path& folder) {
    std::random_device random;
    char name[40];
    std::snprintf(name, sizeof(name), "VXVersion-%08x%08x.ini", random(), random());
    return folder / name;
}

}  // namespace

CUpdateDlg::CUpdateDlg(Services services, std::string server, std::filesystem::path cacheDir,
                       platform::HttpDownload::Limits limits)
    : services_(std::move(services)), server_(std::move(server)), cacheDir_(std::move(cacheDir)), limits_(limits) {}

CUpdateDlg::~CUpdateDlg() { StopWorker(); }

void CUpdateDlg::StopWorker() {
    cancel_->store(true);
    if (worker_.joinable()) worker_.join();
}

const ui::TextControl& CUpdateDlg::control(int id) const {
    static const ui::TextControl none;
    const auto it = controls_.find(id);
    return it == controls_.end() ? none : it->second;
}

void CUpdateDlg::Show(std::initializer_list<int> ids, bool visible) {
    for (int id : ids) Control(id).visible = visible;
}

void CUpdateDlg::OnInitDialog() {
    caption_ = app::Text(kCaptionText);
    for (const auto& [id, row] : kControlTexts) {
        ui::TextControl& c = Control(id);
        c.id = id;
        c.text = app::Text(row);
    }
    for (int id : {int(kClosing), int(kWebAddress), int(kList), int(kSidePicture)}) Control(id).id = id;
    Control(kWebAddress).text = server_;
    Show({kDownload, kOk, kUpToDate1, kUpToDate2, kUpToDate3, kClosing, kWebAddress, kUpdate1, kUpdate2, kUpdate3,
          kList, kError},
         false);
    if (changed_) changed_();
}

void CUpdateDlg::OnNext() {
    if (page_ != Page::Welcome) return;
    page_ = Page::Checking;
    Control(kNext).enabled = false;
    if (changed_) changed_();

    const std::string url = server_ + kVersionPath;
    std::weak_ptr<CUpdateDlg*> self = self_;
    worker_ = std::thread([this, url, self, cancel = cancel_] {
        Outcome outcome;
        std::error_code ec;
        std::filesystem::create_directories(cacheDir_, ec);
        const std::filesystem::path file = FreshFile(cacheDir_);
        outcome.downloaded = services_.download.Fetch(url, file, limits_, *cancel);
        if (outcome.downloaded) outcome.info = ReadVersionFile(file);
        // Also after a failure: a partial file under a one-off name would only pile up.
        std::filesystem::remove(file, ec);
        services_.loop.Post([self, outcome = std::move(outcome)] {
            if (const auto dialog = self.lock()) (*dialog)->Finish(outcome);
        });
    });
}

void CUpdateDlg::Finish(const Outcome& outcome) {
    if (cancel_->load() || page_ != Page::Checking) return;
    Show({kWelcome1, kWelcome2, kWelcome3, kHint, kNext}, false);
    Control(kNext).enabled = false;
    if (!outcome.downloaded) {
        page_ = Page::Error;
        Control(kOk).visible = Control(kOk).enabled = true;
        Control(kError).text = app::Text(212);
        Show({kError}, true);
    } else if (outcome.info.version <= kOwnRelease) {
        page_ = Page::UpToDate;
        Control(kClosing).text = app::Text(kClosingText);
        Control(kOk).text = app::Text(51);
        Control(kOk).visible = Control(kOk).enabled = true;
        Control(kCancel).enabled = false;
        Show({kUpToDate1, kUpToDate2, kUpToDate3, kWebAddress, kClosing}, true);
    } else {
        page_ = Page::UpdateAvailable;
        url_ = outcome.info.url;
        listLines_ = outcome.info.notes;
        Control(kDownload).visible = Control(kDownload).enabled = true;
        Show({kUpdate1, kUpdate2, kUpdate3, kList}, true);
    }
    if (changed_) changed_();
}

void CUpdateDlg::OnDownload() {
    if (IsWebAddress(url_) && services_.openInBrowser) services_.openInBrowser(url_);
}

void CUpdateDlg::OnCancel() { StopWorker(); }

}  // namespace vx::maintenance
