#include "gpu/TrustedDriverLibrary.h"

#include "platform/DynamicLibrary.h"
#include "platform/OsInfo.h"

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <utility>

namespace vx::driver {

namespace fs = std::filesystem;

namespace {

// "/usr/lib/" and "/usr/lib" name the same folder.
fs::path Normal(const fs::path& path) {
    fs::path normal = path.lexically_normal();
    if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
    return normal;
}

bool Contains(const std::vector<fs::path>& folders, const fs::path& folder) {
    return std::find(folders.begin(), folders.end(), folder) != folders.end();
}

// Owner and write bits of one folder or file, which must not be a symlink itself.
LibraryRefusal CheckOwnership(const fs::path& path, bool isFolder, uint32_t ownerId) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (error) return LibraryRefusal::Missing;
    if (isFolder && status.type() != fs::file_type::directory) return LibraryRefusal::Missing;
    if (!isFolder && status.type() != fs::file_type::regular) return LibraryRefusal::NotRegularFile;

    const std::optional<uint32_t> owner = platform::FileOwnerId(path);
    if (!owner) return LibraryRefusal::Missing;
    if (*owner != ownerId) return isFolder ? LibraryRefusal::FolderNotOwned : LibraryRefusal::FileNotOwned;

    constexpr fs::perms kOthersWrite = fs::perms::group_write | fs::perms::others_write;
    if ((status.permissions() & kOthersWrite) != fs::perms::none)
        return isFolder ? LibraryRefusal::FolderWritable : LibraryRefusal::FileWritable;
    return LibraryRefusal::None;
}

}  // namespace

LibraryTrust CheckDriverLibrary(const fs::path& candidate, const std::vector<fs::path>& trustedFolders,
                                uint32_t ownerId) {
    LibraryTrust trust;
    auto refuse = [&trust](LibraryRefusal why) {
        trust.refusal = why;
        trust.resolved.clear();
        return trust;
    };

    if (candidate.filename() != kDriverLibraryFileName) return refuse(LibraryRefusal::WrongFileName);
    if (!candidate.is_absolute()) return refuse(LibraryRefusal::NotAbsolute);

    std::vector<fs::path> listed;
    std::vector<fs::path> resolvedListed;
    for (const fs::path& folder : trustedFolders) {
        if (!folder.is_absolute()) continue;
        listed.push_back(Normal(folder));
        std::error_code error;
        fs::path real = fs::canonical(folder, error);
        if (!error) resolvedListed.push_back(std::move(real));
    }

    // The folder that holds the name: nobody but the owner may have placed the file there.
    const fs::path folder = Normal(Normal(candidate).parent_path());
    if (!Contains(listed, folder)) return refuse(LibraryRefusal::FolderNotListed);
    std::error_code error;
    const fs::path realFolder = fs::canonical(folder, error);
    if (error) return refuse(LibraryRefusal::Missing);
    if (LibraryRefusal why = CheckOwnership(realFolder, true, ownerId); why != LibraryRefusal::None)
        return refuse(why);

    // The file that will actually be mapped, after every symlink.
    fs::path resolved = fs::canonical(candidate, error);
    if (error) return refuse(LibraryRefusal::Missing);
    const fs::path resolvedFolder = resolved.parent_path();
    if (!Contains(resolvedListed, resolvedFolder)) return refuse(LibraryRefusal::FolderNotListed);
    if (LibraryRefusal why = CheckOwnership(resolvedFolder, true, ownerId); why != LibraryRefusal::None)
        return refuse(why);
    if (LibraryRefusal why = CheckOwnership(resolved, false, ownerId); why != LibraryRefusal::None)
        return refuse(why);

    trust.refusal = LibraryRefusal::None;
    trust.resolved = std::move(resolved);
    return trust;
}

const char* RefusalText(LibraryRefusal refusal) {
    switch (refusal) {
        case LibraryRefusal::None: return "trusted";
        case LibraryRefusal::WrongFileName: return "not the driver's file name";
        case LibraryRefusal::NotAbsolute: return "not an absolute path";
        case LibraryRefusal::FolderNotListed: return "outside the system library folders";
        case LibraryRefusal::Missing: return "cannot be examined";
        case LibraryRefusal::NotRegularFile: return "not a regular file";
        case LibraryRefusal::FolderNotOwned: return "folder not owned by the system";
        case LibraryRefusal::FolderWritable: return "folder writable by others";
        case LibraryRefusal::FileNotOwned: return "file not owned by the system";
        case LibraryRefusal::FileWritable: return "file writable by others";
    }
    return "unknown";
}

DriverOpener TrustedLibraryOpenerIn(std::vector<fs::path> folders, uint32_t ownerId) {
    return [folders = std::move(folders), ownerId](OpenedDriver& out) -> int32_t {
        for (const fs::path& folder : folders) {
            const fs::path candidate = folder / kDriverLibraryFileName;
            std::error_code error;
            if (!fs::exists(fs::symlink_status(candidate, error))) continue;

            const LibraryTrust trust = CheckDriverLibrary(candidate, folders, ownerId);
            if (!trust.trusted()) {
                std::fprintf(stderr, "Driver library %s refused: %s\n", candidate.string().c_str(),
                             RefusalText(trust.refusal));
                continue;
            }
            std::shared_ptr<platform::DynamicLibrary> library = platform::DynamicLibrary::Open(trust.resolved);
            if (!library) continue;
            auto query = reinterpret_cast<QueryInterfaceFn>(library->Symbol("nvapi_QueryInterface"));
            if (!query) return nvapi::ERROR;
            out.queryInterface = query;
            out.library = std::move(library);
            return nvapi::OK;
        }
        return nvapi::LIBRARY_NOT_FOUND;
    };
}

DriverOpener TrustedLibraryOpener() {
    return TrustedLibraryOpenerIn(platform::SystemLibraryFolders());
}

}  // namespace vx::driver
