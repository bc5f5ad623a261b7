// Every reader of a file the user or another program may hand us takes a file of exactly its
// limit and refuses one byte more.
#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/posix/DesktopAutostart.h"
#include "platform/posix/IniSettingsStore.h"
#include "sim/Rig.h"
#include "sim/StateFile.h"
#include "support/TempDir.h"
#include "platform/CIni.h"

namespace vx::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::TempDir;

TEST(ReaderSizeLimits, EachReaderTakesItsLimitAndRefusesOneByteMore) {
    const struct {
        const char* reader;
        std::size_t limit;
        std::string head;  // a valid file, then `pad` up to the size
        std::string pad;
        std::function<bool(const fs::path&)> accepts;
    } cases[] = {
        {"settings file", tuning::CIni::kMaxFileBytes, "\xff\xfe[\0S\0]\0\n\0K\0=\0001\0\n\0"s, "\n\0"s,
         [](const fs::path& file) {
             tuning::CIni ini;
             return ini.Load(file) && ini.GetUtf8("S", "K") == "1";
         }},
        {"settings store", IniSettingsStore::kMaxFileSize, "[Software\\Veltrix Plus]\nA=1\n", "\n",
         [](const fs::path& file) { return IniSettingsStore(file).Read("A") == 1u; }},
        {"autostart entry", DesktopAutostart::kMaxFileSize, "[Desktop Entry]\nExec=/usr/bin/vx Normal\n", "\n",
         [](const fs::path& file) { return DesktopAutostart(file).Read() == "/usr/bin/vx Normal"; }},
        {"rig file", sim::kMaxRigFileBytes, TempDir::ReadFile(fs::path(VX_TEST_ASSETS) / "rigs" / "demo.json"), " ",
         [](const fs::path& file) { return sim::LoadRigFile(file).rig.has_value(); }},
        {"state file", sim::kMaxStateFileBytes, R"({"format": 1, "gpus": []})", " ",
         [](const fs::path& file) { return sim::LoadStateFile(file, sim::DemoRig()).state.has_value(); }},
    };
    TempDir dir;
    for (const auto& c : cases) {
        for (const std::size_t size : {c.limit, c.limit + 1}) {
            std::string bytes = c.head;
            while (bytes.size() < size) bytes += c.pad;
            bytes.resize(size);
            TempDir::WriteFile(dir / "file", bytes);
            EXPECT_EQ(c.accepts(dir / "file"), size == c.limit) << c.reader << ", " << size << " bytes";
        }
    }
}

}  // namespace
}  // namespace vx::platform
