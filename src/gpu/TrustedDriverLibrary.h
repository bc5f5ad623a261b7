#pragma once
// Where the driver library may be loaded from: only a file the operating system's
// administrator owns, in one of the system's own library folders, under the driver's exact
// file name. Never a search path, the current directory or the program folder.
#include "gpu/DriverBinding.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vx::driver {

/// The one file name the driver library is accepted under.
inline constexpr const char* kDriverLibraryFileName = "libnvidia-api.so.1";
/// The owner every checked file and folder must have: root.
inline constexpr uint32_t kSystemOwnerId = 0;

enum class LibraryRefusal {
    None,
    WrongFileName,       // not exactly kDriverLibraryFileName
    NotAbsolute,         // a relative path would depend on the current directory
    FolderNotListed,     // the candidate, or its symlink target, lies outside the folders
    Missing,             // the file, its target or a folder cannot be examined
    NotRegularFile,      // the resolved target is not a plain file
    FolderNotOwned,      // a folder is not owned by the required owner
    FolderWritable,      // a folder is writable by its group or by others
    FileNotOwned,        // the resolved file is not owned by the required owner
    FileWritable,        // the resolved file is writable by its group or by others
};

struct LibraryTrust {
    LibraryRefusal refusal = LibraryRefusal::Missing;
    std::filesystem::path resolved;  // the final file after symlinks; open this one
    bool trusted() const { return refusal == LibraryRefusal::None; }
};

/// Checks one candidate against `trustedFolders` (absolute paths). A symlink is followed to
/// its final target, which must pass the same folder, owner and permission checks; the
/// name rule applies to the candidate itself. `ownerId` is root outside tests.
LibraryTrust CheckDriverLibrary(const std::filesystem::path& candidate,
                                const std::vector<std::filesystem::path>& trustedFolders,
                                uint32_t ownerId = kSystemOwnerId);

/// Short English description of a refusal, for diagnostics.
const char* RefusalText(LibraryRefusal refusal);

/// Opens the first candidate, folder by folder, that passes the check and exports the query
/// function. -2 when none is found or every one is refused, -1 when the trusted library lacks
/// the query export.
DriverOpener TrustedLibraryOpenerIn(std::vector<std::filesystem::path> folders,
                                    uint32_t ownerId = kSystemOwnerId);

}  // namespace vx::driver
