// Which driver library files the loader accepts, and loading the built simulator library the
// way the real driver is loaded.
#include "gpu/NvApiEntries.h"
#include "gpu/TrustedDriverLibrary.h"
#include "platform/DynamicLibrary.h"
#include "platform/OsInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <unistd.h>

namespace vx::driver {
namespace {

namespace fs = std::filesystem;
using fs::perms;

constexpr perms kFolderMode = perms::owner_all | perms::group_read | perms::group_exec |
                              perms::others_read | perms::others_exec;
constexpr perms kFileMode = perms::owner_read | perms::owner_write | perms::group_read | perms::others_read;

class TrustedDriverLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vx-trust-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        libDir = root / "sys";
        outsideDir = root / "outsideDir";
        fs::create_directory(libDir);
        fs::create_directory(outsideDir);
        fs::permissions(libDir, kFolderMode);
        fs::permissions(outsideDir, kFolderMode);
        owner = static_cast<uint32_t>(geteuid());
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(libDir, kFolderMode, ignored);
        fs::remove_all(root, ignored);
    }

    fs::path MakeFile(const fs::path& path, perms mode = kFileMode) {
        std::ofstream(path) << "not really a library";
        fs::permissions(path, mode);
        return path;
    }
    LibraryRefusal Check(const fs::path& candidate, uint32_t requiredOwner) {
        return CheckDriverLibrary(candidate, {libDir}, requiredOwner).refusal;
    }
    LibraryRefusal Check(const fs::path& candidate) { return Check(candidate, owner); }

    fs::path root, libDir, outsideDir;
    uint32_t owner = 0;
    const char* name = kDriverLibraryFileName;
};

TEST_F(TrustedDriverLibraryTest, AcceptsOnlyTheExactNameInAListedFolder) {
    const fs::path library = MakeFile(libDir / name);
    const LibraryTrust trust = CheckDriverLibrary(library, {libDir.string() + "/"}, owner);
    EXPECT_TRUE(trust.trusted());
    EXPECT_EQ(trust.resolved, fs::canonical(library));

    EXPECT_EQ(Check(MakeFile(libDir / "libnvidia-api.so")), LibraryRefusal::WrongFileName);
    EXPECT_EQ(Check(MakeFile(libDir / "libnvidia-api.so.1.bak")), LibraryRefusal::WrongFileName);
    EXPECT_EQ(Check(fs::path(name)), LibraryRefusal::NotAbsolute);
    EXPECT_EQ(Check(MakeFile(outsideDir / name)), LibraryRefusal::FolderNotListed);
    EXPECT_EQ(Check(libDir / ".." / "outsideDir" / name), LibraryRefusal::FolderNotListed);
    EXPECT_EQ(CheckDriverLibrary(library, {}, owner).refusal, LibraryRefusal::FolderNotListed);
    fs::remove(library);
    EXPECT_EQ(Check(libDir / name), LibraryRefusal::Missing);
    fs::create_directory(libDir / name);
    EXPECT_EQ(Check(libDir / name), LibraryRefusal::NotRegularFile);
}

TEST_F(TrustedDriverLibraryTest, RefusesFilesAndFoldersOthersCouldChange) {
    const fs::path library = MakeFile(libDir / name);
    fs::permissions(library, kFileMode | perms::group_write);
    EXPECT_EQ(Check(library), LibraryRefusal::FileWritable);
    fs::permissions(library, kFileMode | perms::others_write);
    EXPECT_EQ(Check(library), LibraryRefusal::FileWritable);
    fs::permissions(library, kFileMode);
    ASSERT_EQ(Check(library), LibraryRefusal::None);

    fs::permissions(libDir, kFolderMode | perms::group_write);
    EXPECT_EQ(Check(library), LibraryRefusal::FolderWritable);
    fs::permissions(libDir, kFolderMode | perms::others_write);
    EXPECT_EQ(Check(library), LibraryRefusal::FolderWritable);
    fs::permissions(libDir, kFolderMode);

    EXPECT_EQ(Check(library, owner + 1), LibraryRefusal::FolderNotOwned);
}

TEST_F(TrustedDriverLibraryTest, RefusesAFileNotOwnedByTheSystem) {
    if (geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
    const fs::path library = MakeFile(libDir / name);
    ASSERT_EQ(chown(library.c_str(), 65534, 65534), 0);
    EXPECT_EQ(Check(library, 0), LibraryRefusal::FileNotOwned);
}

TEST_F(TrustedDriverLibraryTest, FollowsSymlinksAndChecksTheTarget) {
    const fs::path link = libDir / name;

    const fs::path versioned = MakeFile(libDir / "libnvidia-api.so.535.54");
    fs::create_symlink(versioned.filename(), link);
    LibraryTrust trust = CheckDriverLibrary(link, {libDir}, owner);
    EXPECT_TRUE(trust.trusted());
    EXPECT_EQ(trust.resolved, fs::canonical(versioned)) << "the checked target is what gets opened";

    fs::permissions(versioned, kFileMode | perms::others_write);
    EXPECT_EQ(Check(link), LibraryRefusal::FileWritable);

    fs::remove(link);
    fs::create_symlink(MakeFile(outsideDir / "planted.so"), link);
    EXPECT_EQ(Check(link), LibraryRefusal::FolderNotListed);

    fs::remove(link);
    fs::create_symlink(libDir / "nowhere.so", link);
    EXPECT_EQ(Check(link), LibraryRefusal::Missing);
}

TEST_F(TrustedDriverLibraryTest, SystemFoldersAreFixedAndAbsolute) {
    const std::vector<fs::path> folders = platform::SystemLibraryFolders();
    ASSERT_FALSE(folders.empty());
    for (const fs::path& folder : folders) EXPECT_TRUE(folder.is_absolute()) << folder;
#if defined(__x86_64__) && !defined(__ILP32__)
    EXPECT_EQ(folders.front(), fs::path("/usr/lib/x86_64-linux-gnu"));
#endif
    EXPECT_EQ(folders.back(), fs::path("/lib"));
}

TEST_F(TrustedDriverLibraryTest, OpenerRefusesOrReportsAMissingExport) {
    OpenedDriver opened;
    // Nothing there at all.
    EXPECT_EQ(TrustedLibraryOpenerIn({libDir}, owner)(opened), nvapi::LIBRARY_NOT_FOUND);

    // A trusted file that is a real library but not the driver: libm.
    double (*cosine)(double) = &::cos;
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(cosine), &info), 0);
    fs::copy_file(info.dli_fname, libDir / name);
    fs::permissions(libDir / name, kFileMode);
    EXPECT_EQ(TrustedLibraryOpenerIn({libDir}, owner)(opened), nvapi::ERROR);
    EXPECT_EQ(opened.queryInterface, nullptr);

    // The same file refused: no load at all.
    EXPECT_EQ(TrustedLibraryOpenerIn({libDir}, owner + 1)(opened), nvapi::LIBRARY_NOT_FOUND);
}

TEST(DynamicLibraryTest, OpensExactPathsOnly) {
    EXPECT_EQ(platform::DynamicLibrary::Open("/nonexistent/libnothing.so"), nullptr);
    // A bare name would be found on the library search path; it must not be.
    EXPECT_EQ(platform::DynamicLibrary::Open("libm.so.6"), nullptr);
    EXPECT_EQ(platform::DynamicLibrary::Open(""), nullptr);
}

#ifdef VX_SIM_LIBRARY
// The simulator library stands in for the driver; with no rig named it serves the demo rig.
class SimulatorLibraryTest : public TrustedDriverLibraryTest {
protected:
    void SetUp() override {
        TrustedDriverLibraryTest::SetUp();
        unsetenv("VXPLUS_SIM_RIG");
    }
    static uint32_t CountGpus(DriverBinding& binding) {
        NvApiEntries entries(binding);
        nvapi::PhysicalGpuHandle handles[nvapi::kMaxPhysicalGpus] = {};
        uint32_t count = 0;
        EXPECT_EQ(entries.EnumPhysicalGPUs(handles, &count), 0);
        return count;
    }
};

TEST_F(SimulatorLibraryTest, TrustedOpenerLoadsACopyInATrustedFolder) {
    fs::copy_file(VX_SIM_LIBRARY, libDir / "libnvidia-api.so.9");
    fs::permissions(libDir / "libnvidia-api.so.9", kFileMode);
    fs::create_symlink("libnvidia-api.so.9", libDir / name);

    DriverBinding binding(TrustedLibraryOpenerIn({libDir}, owner));
    ASSERT_EQ(binding.DriverInitialize(), 0);
    EXPECT_GT(CountGpus(binding), 0u);
    EXPECT_EQ(binding.DriverUnload(), 0);

    fs::permissions(libDir / "libnvidia-api.so.9", kFileMode | perms::group_write);
    DriverBinding refused(TrustedLibraryOpenerIn({libDir}, owner));
    EXPECT_EQ(refused.DriverInitialize(), nvapi::LIBRARY_NOT_FOUND);
}
#endif

}  // namespace
}  // namespace vx::driver
