#include "platform/posix/PosixOverlayBridge.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace vx::platform {
namespace {

constexpr char16_t kCelsius = u'\u2103';

// The overlays read single fields while the program writes them, without a lock.
template <typename T>
void StoreField(unsigned char* at, T value) {
    std::atomic_ref<T>(*reinterpret_cast<T*>(at)).store(value, std::memory_order_release);
}

}  // namespace

std::string MangoHudText(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size() + 8);
    for (char16_t unit : wide) {
        if (unit == kCelsius)
            out += "\xC2\xB0"
                   "C";
        else
            out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');  // the composed texts hold nothing else
    }
    return out;
}

std::unique_ptr<OverlayBridge> MakeOverlayBridge(const std::filesystem::path& runtimeDir) {
    return std::make_unique<PosixOverlayBridge>(overlay::kHookObjectName, overlay::kOsdObjectName,
                                                runtimeDir / overlay::kFeedFileName);
}

PosixOverlayBridge::PosixOverlayBridge(std::string hookName, std::string osdName, std::filesystem::path feedFile)
    : hook_{std::move(hookName), overlay::kHookObjectSize, nullptr, overlay::kHookTextOffset},
      osd_{std::move(osdName), overlay::kOsdObjectSize, nullptr, overlay::kOsdTextOffset},
      feed_(std::move(feedFile)) {
    Map(hook_);
    Map(osd_);
}

PosixOverlayBridge::~PosixOverlayBridge() {
    for (Block* block : {&hook_, &osd_})
        if (block->base) ::munmap(block->base, block->size);
}

void PosixOverlayBridge::Map(Block& block) {
    const int fd = ::shm_open(block.name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    struct stat st {};
    // Another user's object of that name is not ours to write; a smaller one is grown, never
    // shrunk, so a reader that mapped it never touches a page past its end.
    const bool ours = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
    const bool sized = ours && (static_cast<std::size_t>(st.st_size) >= block.size ||
                                ::ftruncate(fd, static_cast<off_t>(block.size)) == 0);
    void* base = sized ? ::mmap(nullptr, block.size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    ::close(fd);
    if (base == MAP_FAILED) return;
    block.base = static_cast<unsigned char*>(base);
    std::memset(block.base, 0, block.size);  // nothing of an earlier run shows
}

bool PosixOverlayBridge::mapped(OverlayObject object) const {
    return (object == OverlayObject::kHookControl ? hook_ : osd_).base != nullptr;
}

std::optional<Direct3D11Offsets> PosixOverlayBridge::ProbeDirect3D11(OverlayWindow) { return std::nullopt; }
std::optional<Direct3D9Offsets> PosixOverlayBridge::ProbeDirect3D9(OverlayWindow) { return std::nullopt; }
uint32_t PosixOverlayBridge::WindowProcessId(OverlayWindow) { return static_cast<uint32_t>(::getpid()); }
void PosixOverlayBridge::InitMasterWnd(OverlayObject, OverlayWindow) {}  // the objects need no window here

void PosixOverlayBridge::WriteByte(OverlayObject object, std::size_t offset, uint8_t value) {
    Block& block = BlockOf(object);
    if (block.base && offset < block.fieldsEnd) StoreField(block.base + offset, value);
}

void PosixOverlayBridge::WriteWord(OverlayObject object, std::size_t offset, uint32_t value) {
    Block& block = BlockOf(object);
    if (block.base && offset % 4 == 0 && offset + 4 <= block.fieldsEnd) StoreField(block.base + offset, value);
}

void PosixOverlayBridge::SetHookText(std::u16string_view text) {
    if (hook_.base) {
        const std::size_t units = std::min(text.size(), overlay::kTextUnits - 1);
        unsigned char* at = hook_.base + overlay::kHookTextOffset;
        std::memcpy(at, text.data(), units * sizeof(char16_t));
        std::memset(at + units * sizeof(char16_t), 0, sizeof(char16_t));
    }
    if (feedText_ && *feedText_ == text) return;
    feedText_ = text;
    feed_.Write(MangoHudText(text));
}

void PosixOverlayBridge::SetOsdText(std::string_view text) {
    if (!osd_.base) return;
    const std::size_t bytes = std::min(text.size(), overlay::kTextUnits - 1);
    unsigned char* at = osd_.base + overlay::kOsdTextOffset;
    std::memcpy(at, text.data(), bytes);
    at[bytes] = 0;
}

void PosixOverlayBridge::HookCBT_Uninstall() {
    for (Block* block : {&hook_, &osd_})
        if (block->base) ::shm_unlink(block->name.c_str());
    feed_.Remove();  // a stale value never shows
}

}  // namespace vx::platform
