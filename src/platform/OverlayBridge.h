#pragma once
// The two in-game overlay libraries: their exported shared objects, which the overlays read from
// inside the game processes, and the calls the program makes on them.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

namespace vx::platform {

/// The Direct3D 11 overlay's `HookControl` object `DX11_Shared` and the Direct3D 9 overlay's
/// `OsdShared` object `sg_Shared`.
enum class OverlayObject { kHookControl, kOsdShared };

/// Field offsets, in bytes, into each object; the overlay libraries read them there.
namespace overlay {
inline constexpr std::size_t kRunWord = 0;             // both, 32-bit
inline constexpr std::size_t kActiveFlag = 4;          // HookControl, 8-bit
inline constexpr std::size_t kStopFlag = 4;            // OsdShared, 8-bit
inline constexpr std::size_t kHookFramerate = 0x10C;   // 8-bit
inline constexpr std::size_t kHookOverlayOn = 0x10D;   // 8-bit
inline constexpr std::size_t kHookGpuCount = 0x10E;    // 8-bit
inline constexpr std::size_t kHookSwapChain = 0x110;   // 32-bit, offset into the DXGI library
inline constexpr std::size_t kHookPresent = 0x114;     // 32-bit, offset into the DXGI library
inline constexpr std::size_t kHookProcessId = 0x118;   // 32-bit
inline constexpr std::size_t kOsdFramerate = 0xA894;   // 8-bit
inline constexpr std::size_t kOsdGpuCount = 0xA895;    // 8-bit
inline constexpr std::size_t kOsdPresent = 0xA898;     // 32-bit, offset into the Direct3D 9 library
inline constexpr std::size_t kOsdReset = 0xA89C;       // 32-bit, same base
}  // namespace overlay

/// The main window, as the platform names it (a window handle; 0 without a window).
using OverlayWindow = std::uintptr_t;

/// Where the Direct3D 11 probe found the swap chain and its present entry.
struct Direct3D11Offsets {
    uint32_t swapChain = 0;
    uint32_t present = 0;
};
/// Where the Direct3D 9 probe found the device's present and reset entries.
struct Direct3D9Offsets {
    uint32_t present = 0;
    uint32_t reset = 0;
};

/// Failures of the overlays are never reported: every call simply does what it can.
class OverlayBridge {
public:
    virtual ~OverlayBridge() = default;

    /// Probe devices made on `window`; nothing where the graphics library is missing.
    virtual std::optional<Direct3D11Offsets> ProbeDirect3D11(OverlayWindow window) = 0;
    virtual std::optional<Direct3D9Offsets> ProbeDirect3D9(OverlayWindow window) = 0;
    /// The process that owns `window`.
    virtual uint32_t WindowProcessId(OverlayWindow window) = 0;

    /// `HookControl::InitMasterWnd` / `OsdShared::InitMasterWnd`.
    virtual void InitMasterWnd(OverlayObject object, OverlayWindow window) = 0;
    /// One field of an object; offsets outside the object are ignored.
    virtual void WriteByte(OverlayObject object, std::size_t offset, uint8_t value) = 0;
    virtual void WriteWord(OverlayObject object, std::size_t offset, uint32_t value) = 0;
    /// `HookControl::SetOsdInf(const wchar_t*)`, with the wide text.
    virtual void SetHookText(std::u16string_view text) = 0;
    /// `OsdShared::SetOsdInf(const char*)`, with the narrow text.
    virtual void SetOsdText(std::string_view text) = 0;
    /// `OsdShared::HookCBT_Uninstall()`: the overlays are stopped for good.
    virtual void HookCBT_Uninstall() = 0;
};

/// The platform's overlay objects; on Linux two POSIX shared-memory objects and a text file in
/// `runtimeDir` that MangoHud's `exec=` can show.
std::unique_ptr<OverlayBridge> MakeOverlayBridge(const std::filesystem::path& runtimeDir);

}  // namespace vx::platform
