#pragma once
// The overlay objects as POSIX shared memory any overlay on this machine can map read-only,
// with the fields at the libraries' offsets and each object's text behind them, plus the wide
// text as a file for MangoHud's `exec=cat <file>`.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/OverlayBridge.h"
#include "platform/posix/FeedFileWriter.h"

namespace vx::platform {

/// Where each object keeps its current text, zero-terminated, after its last field.
namespace overlay {
inline constexpr std::size_t kTextUnits = 512;
inline constexpr std::size_t kHookTextOffset = 0x200;  // UTF-16 units, host byte order
inline constexpr std::size_t kHookObjectSize = kHookTextOffset + kTextUnits * 2;
inline constexpr std::size_t kOsdTextOffset = 0xA900;  // bytes
inline constexpr std::size_t kOsdObjectSize = kOsdTextOffset + kTextUnits;
inline constexpr const char* kHookObjectName = "/DX11_Shared";
inline constexpr const char* kOsdObjectName = "/sg_Shared";
inline constexpr const char* kFeedFileName = "veltrix-plus-osd.txt";
}  // namespace overlay

/// The wide text as UTF-8 for MangoHud, whose font lacks U+2103: that becomes "°C".
std::string MangoHudText(std::u16string_view wide);

class PosixOverlayBridge final : public OverlayBridge {
public:
    /// `hookName` and `osdName` are shared-memory names ("/name"). An object that cannot be made,
    /// or that another user owns, is left alone and its writes are dropped.
    PosixOverlayBridge(std::string hookName, std::string osdName, std::filesystem::path feedFile);
    ~PosixOverlayBridge() override;
    PosixOverlayBridge(const PosixOverlayBridge&) = delete;
    PosixOverlayBridge& operator=(const PosixOverlayBridge&) = delete;

    /// Direct3D exists only on Windows: both probes fail, so their offsets stay unwritten.
    std::optional<Direct3D11Offsets> ProbeDirect3D11(OverlayWindow window) override;
    std::optional<Direct3D9Offsets> ProbeDirect3D9(OverlayWindow window) override;
    uint32_t WindowProcessId(OverlayWindow window) override;
    void InitMasterWnd(OverlayObject object, OverlayWindow window) override;
    void WriteByte(OverlayObject object, std::size_t offset, uint8_t value) override;
    void WriteWord(OverlayObject object, std::size_t offset, uint32_t value) override;
    /// Also hands the text to the feed file when it changed; the file is replaced on the writer's thread.
    void SetHookText(std::u16string_view text) override;
    void SetOsdText(std::string_view text) override;
    /// Removes both names and the feed file; mappings already made keep the final fields.
    void HookCBT_Uninstall() override;

    bool mapped(OverlayObject object) const;

private:
    struct Block {
        std::string name;
        std::size_t size = 0;
        unsigned char* base = nullptr;
        std::size_t fieldsEnd = 0;  // fields lie below, the text at and above
    };
    static void Map(Block& block);
    Block& BlockOf(OverlayObject object) { return object == OverlayObject::kHookControl ? hook_ : osd_; }

    Block hook_;
    Block osd_;
    std::optional<std::u16string> feedText_;  // the text last handed to the feed file
    FeedFileWriter feed_;
};

}  // namespace vx::platform
