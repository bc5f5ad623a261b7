#pragma once
// HttpDownload over libcurl.
#include "platform/HttpDownload.h"

namespace vx::platform {

class CurlHttpDownload : public HttpDownload {
public:
    bool Fetch(const std::string& url, const std::filesystem::path& target, const Limits& limits,
               const std::atomic<bool>& cancel) override;
};

}  // namespace vx::platform
