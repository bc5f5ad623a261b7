#pragma once
// The phone joined to the program: the server, the state documents kept current from the
// sampling loop and the apply flow, and the phone's requests carried out on the interface
// thread through the main dialog's models.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "remote/RemoteDocuments.h"
#include "remote/RemoteServer.h"

namespace vx {
namespace app {
struct AppSettings;
}
namespace monitor {
struct SampleHooks;
struct CurrentState;
}  // namespace monitor
namespace platform {
class SettingsStore;
}
namespace tuning {
class CCorvaneHDDlg;
struct MainDialogHooks;
}  // namespace tuning
namespace ui {
class IEventLoop;
class IPrompts;
}  // namespace ui
}  // namespace vx

namespace vx::remote {

/// Registry value that lets command 48 log in without a password; absent or 0: off.
inline constexpr const char* kLoginWithoutPasswordValue = "IphoneLoginWithoutPassword";

class RemoteControl : public RemoteHost {
public:
    /// `options.folder` is the program folder holding the documents.
    RemoteControl(tuning::CCorvaneHDDlg& dialog, ui::IEventLoop& loop, ui::IPrompts& prompts,
                  const app::AppSettings& settings, const platform::SettingsStore& store, ui::IClock& clock,
                  ServerOptions options);
    ~RemoteControl() override;

    /// Blanks "InitInfo.xml" and fills in GPU 0's clock levels; before the server starts.
    void FillInitInfo();
    /// False when the port could not be bound; the program goes on without the phone.
    bool Start() { return server_.Start(); }
    void Stop() { server_.Stop(); }

    /// The sampling loop's document writes and pushes.
    void AddSampleHooks(monitor::SampleHooks& hooks);
    /// The apply flow's notices to the phone. The dialog is made before the control, so the
    /// hooks reach it through `control` once it is there.
    static void AddDialogHooks(tuning::MainDialogHooks& hooks, const std::unique_ptr<RemoteControl>& control);

    /// The number the server compares; the password dialog changes it.
    std::atomic<int32_t>& storedPassword() { return password_; }
    RemoteServer& server() { return server_; }
    bool ClientAuthorised() const {
        return server_.Flags().clientConnected.load() && server_.Flags().clientAuthorised.load();
    }

    // Interface thread.
    void ApplyRemoteSettings(const RemoteSettings& settings, bool authorised);
    void SnapshotPcInfo();
    void OnRemoteApplyFinished(bool applied);
    void WriteCurrentState(const monitor::CurrentState& state);
    void WriteFanSpeed(int gpu, int32_t percent);

    // RemoteHost: the server thread.
    int32_t StoredPassword() const override { return password_.load(); }
    bool PasswordlessLoginAllowed() const override { return passwordless_; }
    void PressButton(uint8_t command) override;
    void InfoDocumentReceived(bool authorised) override;
    void ClientOverTime() override;

private:
    std::filesystem::path File(const char* name) const { return folder_ / name; }
    void Press(uint8_t command);  // interface thread

    tuning::CCorvaneHDDlg& dialog_;
    ui::IEventLoop& loop_;
    ui::IPrompts& prompts_;
    ui::IClock& clock_;
    std::filesystem::path folder_;
    std::atomic<int32_t> password_;
    bool passwordless_;
    std::optional<int32_t> lastPcFanSpeed_;  // interface thread
    std::string gpuName_;                    // GPU 0's name, read once at start
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // posted tasks check it
    RemoteServer server_;  // last: stopped before the rest goes
};

}  // namespace vx::remote
