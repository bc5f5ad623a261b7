#pragma once
// Where the program keeps its files: a writable data folder that acts as the program folder.
#include <filesystem>
#include <optional>

namespace vx::platform {

struct AppPaths {
    std::filesystem::path executable;   // full path of the running program
    std::filesystem::path dataDir;      // the program folder: working directory, settings, profiles
    std::filesystem::path configDir;    // settings store and autostart live under here
    std::filesystem::path runtimeDir;   // instance lock and socket
    std::filesystem::path cacheDir;     // the user's own cache folder: the update check's download
    std::filesystem::path templatesDir; // installed assets: skin and fonts are read here, the rest copied into dataDir
};

/// Resolves the folders: --data-dir, else $VXPLUS_HOME, else $XDG_DATA_HOME/veltrix-plus.
AppPaths ResolveAppPaths(const std::optional<std::filesystem::path>& dataDirOption);
/// Creates the data folder, copies missing templates into it (all but the skin and the fonts,
/// which are read from templatesDir) and makes it the working directory. False when the folder cannot be made
/// or entered.
bool PrepareDataDir(const AppPaths& paths);
/// Removes the temporary files of writes killed before their rename from the folders the
/// program writes (program folder, profiles, settings store, our autostart entry); only
/// those made before this process started, so no write in progress loses its file.
void RemoveInterruptedWrites(const AppPaths& paths);

}  // namespace vx::platform
