#include "platform/posix/CurlHttpDownload.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <mutex>

namespace vx::platform {

namespace {

struct Sink {
    std::FILE* file = nullptr;
    std::size_t written = 0;
    std::size_t maxBytes = 0;
    const std::atomic<bool>* cancel = nullptr;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t bytes = size * count;
    // Returning less than was offered makes curl stop with a write error.
    if (sink->written + bytes > sink->maxBytes) return 0;
    if (std::fwrite(data, 1, bytes, sink->file) != bytes) return 0;
    sink->written += bytes;
    return bytes;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Sink*>(user)->cancel->load() ? 1 : 0;
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

bool CurlHttpDownload::Fetch(const std::string& url, const std::filesystem::path& target, const Limits& limits,
                             const std::atomic<bool>& cancel) {
    InitCurlOnce();
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) return false;
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(target.c_str(), "wb"), &std::fclose);
    if (!file) return false;

    Sink sink{file.get(), 0, limits.maxBytes, &cancel};
    const long timeoutMs = static_cast<long>(limits.timeout.count());
    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);  // timeouts without SIGALRM: we run on a worker thread
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Progress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &sink);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    const CURLcode result = curl_easy_perform(h);
    const bool flushed = std::fflush(file.get()) == 0;
    return result == CURLE_OK && flushed && !cancel.load();
}

}  // namespace vx::platform
