#include "app/GadgetInstaller.h"

#include "platform/AtomicFile.h"

namespace vx::app {

namespace {

namespace fs = std::filesystem;

// The gadget's files and the state document are a few kilobytes; a larger one is not ours.
constexpr std::size_t kMaxCopyBytes = 4u << 20;

bool IsWindows7(const std::optional<platform::WindowsVersion>& version) {
    return version && ((version->major == 6 && version->minor == 1) || version->major == 7);
}

// Replaced whole: the sidebar reads the copy while we refresh it.
void CopyWhole(const fs::path& from, const fs::path& to) {
    if (const std::optional<std::string> bytes = platform::ReadFileLimited(from, kMaxCopyBytes))
        platform::WriteFileAtomically(to, *bytes, platform::Durability::kReplaceOnly);
}

}  // namespace

GadgetEnvironment GadgetEnvironment::FromSystem(const fs::path& workingFolder) {
    return {platform::QueryWindowsVersion(), platform::UserProfileFolder(), platform::WindowsFolder(), workingFolder};
}

void GadgetInstaller::Install() {
    if (!IsWindows7(environment_.version)) return;
    // Without the shell's folders the paths would be relative: into the working folder.
    if (environment_.profileFolder.empty() || environment_.windowsFolder.empty()) return;
    destination_ = environment_.profileFolder / "AppData" / "Local" / "Microsoft" / "Windows Sidebar" / "Gadgets" /
                   kFolderName;
    std::error_code ec;
    const bool installed = fs::exists(destination_, ec);
    if (!installed) fs::create_directory(destination_, ec);
    currentStateCopy_ = environment_.windowsFolder / kCurrentState;
    enabled_ = true;
    if (installed) return;  // an older gadget stays as the user has it
    const fs::path source = environment_.workingFolder / kFolderName;
    for (const char* file : kFiles) CopyWhole(source / file, destination_ / file);
    RefreshCopy();
}

void GadgetInstaller::RefreshCopy() const {
    if (enabled_) CopyWhole(environment_.workingFolder / kCurrentState, currentStateCopy_);
}

}  // namespace vx::app
