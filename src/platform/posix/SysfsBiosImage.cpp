#include "platform/posix/SysfsBiosImage.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <system_error>

namespace vx::platform {

namespace {

std::string FirstWord(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string word;
    in >> word;
    return word;
}

bool IsNvidiaDisplay(const std::filesystem::path& device) {
    // Class 0x03xxxx: VGA, 3D or other display controllers.
    return FirstWord(device / "vendor") == "0x10de" && FirstWord(device / "class").rfind("0x03", 0) == 0;
}

// Writing "1" makes the kernel expose the ROM until "0" is written.
bool SetRomEnabled(const std::filesystem::path& rom, bool enabled) {
    const int fd = ::open(rom.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool written = ::write(fd, enabled ? "1" : "0", 1) == 1;
    ::close(fd);
    return written;
}

}  // namespace

std::vector<uint8_t> SysfsBiosImage::Read(uint8_t /*gpu*/, std::size_t maxBytes) {
    std::error_code ec;
    std::filesystem::path found;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(devices_, ec)) {
        if (!IsNvidiaDisplay(entry.path())) continue;
        found = entry.path();
        ++count;
    }
    // With several cards there is no telling which GPU index a device is.
    if (ec || count != 1) return {};

    const std::filesystem::path rom = found / "rom";
    if (!SetRomEnabled(rom, true)) return {};
    std::vector<uint8_t> image(maxBytes);
    std::size_t got = 0;
    if (const int fd = ::open(rom.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        while (got < maxBytes) {
            const ssize_t n = ::read(fd, image.data() + got, maxBytes - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
    SetRomEnabled(rom, false);
    image.resize(got);
    return image;
}

}  // namespace vx::platform
