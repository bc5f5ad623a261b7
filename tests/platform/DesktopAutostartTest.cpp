#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/AutostartEntry.h"
#include "platform/posix/DesktopAutostart.h"
#include "support/TempDir.h"

namespace vx::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

class DesktopAutostartTest : public ::testing::Test {
protected:
    TempDir dir_;
    fs::path file_ = dir_ / "autostart" / "veltrix-plus.desktop";
    DesktopAutostart autostart_{file_};

    // The Exec key's value as the file holds it.
    std::optional<std::string> ExecLine() const {
        const std::string content = TempDir::ReadFile(file_);
        const std::size_t start = content.find("\nExec=");
        if (start == std::string::npos) return std::nullopt;
        return content.substr(start + 6, content.find('\n', start + 1) - start - 6);
    }
};

TEST_F(DesktopAutostartTest, WritesAValidEntryInAFolderItCreatesAndRemovesIt) {
    ASSERT_TRUE(autostart_.Write({"/usr/bin/veltrix-plus", "SysTray"}));
    EXPECT_EQ(TempDir::ReadFile(file_),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Veltrix Plus\n"
              "Exec=/usr/bin/veltrix-plus SysTray\n"
              "Terminal=false\n"
              "X-GNOME-Autostart-enabled=true\n");
    EXPECT_EQ(autostart_.Read(), "/usr/bin/veltrix-plus SysTray");

    EXPECT_TRUE(autostart_.Remove());
    EXPECT_FALSE(fs::exists(file_));
    EXPECT_FALSE(autostart_.Read().has_value());
    EXPECT_TRUE(autostart_.Remove());
}

TEST_F(DesktopAutostartTest, PathsWithBlanksAndReservedCharactersSurviveTheRoundTrip) {
    ASSERT_TRUE(autostart_.Write({"/opt/My Apps/veltrix plus", "--data-dir", "/home/u/My Data", "Minimize"}));
    EXPECT_NE(TempDir::ReadFile(file_).find("Exec=\"/opt/My Apps/veltrix plus\" --data-dir \"/home/u/My Data\" Minimize\n"),
              std::string::npos);
    EXPECT_EQ(autostart_.Read(), "/opt/My Apps/veltrix plus --data-dir /home/u/My Data Minimize");

    for (const char* path : {"/home/a\"b/$HOME/`x`/vx", "/srv/back\\slash/100%/vx",
                                   "/tmp/it's (new)/#1;&|<>~*?/vx", "/tmp/tab\there/vx",
                                   "/tmp/ünïcødé/vx", "/tmp/%%U/vx"}) {
        // Each argument stays one argument, whatever it holds.
        const std::vector<std::string> command{path, "--simulate=" + std::string(path) + ".json", "OnlyApplySettings"};
        ASSERT_TRUE(autostart_.Write(command)) << path;
        const std::optional<std::string> exec = ExecLine();
        ASSERT_TRUE(exec);
        EXPECT_EQ(DesktopAutostart::SplitExecValue(*exec), command) << *exec;
        EXPECT_EQ(autostart_.Read(), command[0] + ' ' + command[1] + " OnlyApplySettings");
    }

    // A long path is written whole, and the switch after it still reads back.
    const std::string path = "/" + std::string(299, 'p');
    ASSERT_TRUE(app::AutostartEntry(autostart_, path).Apply(app::kModeNormal));
    EXPECT_EQ(autostart_.Read(), path + " Normal");
    app::AutostartEntry reader(autostart_, path);
    reader.ReadBack();
    EXPECT_EQ(reader.Mode(), app::kModeNormal);
}

TEST_F(DesktopAutostartTest, QuotingFollowsTheDesktopEntryRules) {
    EXPECT_EQ(DesktopAutostart::QuoteExecArgument("plain/path"), "plain/path");
    EXPECT_EQ(DesktopAutostart::QuoteExecArgument("a b"), "\"a b\"");
    EXPECT_EQ(DesktopAutostart::QuoteExecArgument("a\\b"), "\"a\\\\b\"");
    EXPECT_EQ(DesktopAutostart::QuoteExecArgument("50%"), "50%%");
    EXPECT_EQ(DesktopAutostart::QuoteExecArgument(""), "\"\"");
    // The backslash doubled by the quoting is doubled again by the file's string escapes.
    EXPECT_EQ(DesktopAutostart::ExecValueFor({"/a\\b", "Normal"}), "\"/a\\\\\\\\b\" Normal");
    EXPECT_FALSE(DesktopAutostart::ExecValueFor({"/bad\x01path", "Normal"}).has_value());
    EXPECT_FALSE(DesktopAutostart::ExecValueFor({}).has_value());
}

TEST_F(DesktopAutostartTest, ReadsHandWrittenEntriesCautiously) {
    auto readBack = [&](const std::string& content) {
        TempDir::WriteFile(file_, content);
        return autostart_.Read();
    };
    EXPECT_EQ(readBack("# edited\n[Desktop Entry]\nExec = /usr/bin/vx   minimize %U\nExec=/other\n"),
              "/usr/bin/vx minimize");
    EXPECT_EQ(readBack("[Desktop Entry]\nExec=/usr/bin/vx\\sSysTray\n"), "/usr/bin/vx SysTray");
    EXPECT_EQ(readBack("[Desktop Entry]\nExec=\n"), "");
    EXPECT_FALSE(readBack("[Desktop Entry]\nExec=\"/unterminated Normal\n").has_value());
    EXPECT_FALSE(readBack("[Desktop Entry]\nExec=/vx Normal\nHidden=true\n").has_value());
    EXPECT_FALSE(readBack("[Desktop Entry]\nExec=/vx Normal\nX-GNOME-Autostart-enabled=false\n").has_value());
    EXPECT_FALSE(readBack("[Desktop Entry]\nName=no exec\n[Other]\nExec=/vx Normal\n").has_value());
    EXPECT_FALSE(readBack("[Desktop Entry]\nExec=/vx 50%d\n").has_value());
    EXPECT_FALSE(readBack(std::string("\0\xff\n[\n=\n\\", 8)).has_value());
    EXPECT_FALSE(readBack(std::string(DesktopAutostart::kMaxFileSize + 1, '\n')).has_value());
}

TEST_F(DesktopAutostartTest, FailedWriteKeepsThePreviousEntry) {
    ASSERT_TRUE(autostart_.Write({"/usr/bin/vx", "Minimize"}));
    EXPECT_FALSE(autostart_.Write({"/usr/bin/\nvx\x02", "Normal"}));
    EXPECT_EQ(autostart_.Read(), "/usr/bin/vx Minimize");

    DesktopAutostart blocked(dir_ / "autostart" / "veltrix-plus.desktop" / "x.desktop");
    EXPECT_FALSE(blocked.Write({"/usr/bin/vx", "Normal"}));
    EXPECT_EQ(autostart_.Read(), "/usr/bin/vx Minimize");
}

}  // namespace
}  // namespace vx::platform
