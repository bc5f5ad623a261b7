// The power-off request: the command lines tried, and running them bounded and without a shell;
// the beep's tone as a sound server started here records it. Only harmless programs are run.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "platform/posix/PosixSystemActions.h"
#include "support/ChildProcess.h"
#include "support/SoundServer.h"
#include "support/TempDir.h"

namespace vx::platform {
namespace {

TEST(PosixSystemActionsTest, ShutdownCommandsNeverComeSoonerThanAsked) {
    const auto commands = PosixSystemActions::ShutdownCommands(10, "GPU 1 temperature is too high!!!\n", "sc", "sd");
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], (std::vector<std::string>{"sc", "poweroff", "--when=+10s",
                                                     "--message=GPU 1 temperature is too high!!!"}));
    EXPECT_EQ(commands[1], (std::vector<std::string>{"sd", "-P", "+1", "GPU 1 temperature is too high!!!"}));
    EXPECT_EQ(PosixSystemActions::ShutdownCommands(61, "m", "sc", "sd")[1][2], "+2");
    EXPECT_EQ(PosixSystemActions::ShutdownCommands(0, "m", "sc", "sd")[1][2], "now");
}

TEST(PosixSystemActionsTest, RunsBoundedAndFallsBackToTheNextCommand) {
    EXPECT_EQ(PosixSystemActions::RunBounded({"/bin/true"}, std::chrono::seconds(5)), 0);
    EXPECT_EQ(PosixSystemActions::RunBounded({"/bin/false"}, std::chrono::seconds(5)), 1);
    EXPECT_EQ(PosixSystemActions::RunBounded({"/nonexistent/vx-shutdown"}, std::chrono::seconds(5)), -1);
    EXPECT_EQ(PosixSystemActions::RunBounded({}, std::chrono::seconds(5)), -1);

    test::TempDir dir;
    const std::string hanging = (dir / "hang.sh").string();
    test::TempDir::WriteFile(hanging, "#!/bin/sh\nexec sleep 30\n");
    ASSERT_EQ(::chmod(hanging.c_str(), 0755), 0);
    EXPECT_EQ(PosixSystemActions::RunBounded({hanging}, std::chrono::milliseconds(50)), -1);

    EXPECT_TRUE(PosixSystemActions("/bin/false", "/bin/true").ScheduleShutdown(10, "m"));
    EXPECT_FALSE(PosixSystemActions("/bin/false", "/nonexistent/vx-shutdown").ScheduleShutdown(10, "m"));
}

// Where a recording holds a tone: its loud stretch, its peak and the frequency of its zero
// crossings; nothing until the tone is followed by 100 ms of quiet.
struct Tone {
    int peak = 0;
    double frequencyHz = 0;
};
std::optional<Tone> FindTone(const std::string& raw) {
    std::vector<int16_t> samples(raw.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(uint8_t(raw[2 * i]) | uint8_t(raw[2 * i + 1]) << 8);
    auto loud = [](int16_t s) { return std::abs(int{s}) > 1000; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    if (first == samples.end() || samples.end() - last < PulseTone::kSampleRate / 10) return std::nullopt;
    Tone tone;
    int crossings = 0;
    for (auto it = first; it != last; ++it) {
        tone.peak = std::max(tone.peak, std::abs(int{*it}));
        if (it != first && (*it >= 0) != (*(it - 1) >= 0)) ++crossings;
    }
    tone.frequencyHz = crossings / 2.0 * PulseTone::kSampleRate / double(last - first);
    return tone;
}

TEST(PosixSystemActionsTest, BeepIsAToneThatARunningSoundServerPlays) {
    if (test::SoundServer::OnPath("pulseaudio").empty()) GTEST_SKIP() << "no pulseaudio binary to start a sound server with";
    test::SoundServer server({"module-null-sink sink_name=vxtest"});
    ASSERT_TRUE(server.running()) << "no sound server: " << server.why();
    const std::string parecord = test::SoundServer::OnPath("parecord");
    ASSERT_FALSE(parecord.empty()) << "parecord (pulseaudio-utils) records what the server plays";
    ASSERT_TRUE(PulseTone::LibraryAvailable());
    const std::string address = server.address();
    auto waitFor = [](auto condition) { return test::SoundServer::WaitFor(condition); };

    const auto recording = server.dir() / "tone.raw";
    test::ChildProcess recorder(parecord,
                                {"--server=" + address, "--device=vxtest.monitor", "--raw", "--format=s16le",
                                 "--rate=44100", "--channels=1", recording.string()},
                                server.env(), server.OutputDir("recorder"));
    // The null sink's monitor streams silence once the recorder is connected.
    ASSERT_TRUE(waitFor([&] { return test::TempDir::ReadFile(recording).size() > 4096; })) << "nothing recorded";

    std::optional<Tone> tone;
    {
        PosixSystemActions actions("/bin/false", "/bin/false", std::chrono::seconds(1), address);
        actions.Beep(2300, 300);
        EXPECT_TRUE(waitFor([&] { return (tone = FindTone(test::TempDir::ReadFile(recording))).has_value(); }));
    }
    recorder.Signal(SIGINT);
    EXPECT_TRUE(recorder.Wait().has_value());
    ASSERT_TRUE(tone) << "the tone never reached the sound server";
    EXPECT_GT(tone->peak, 5000);
    EXPECT_NEAR(tone->frequencyHz, 2300, 115);

    // Without a server nothing plays, nothing fails and nothing waits.
    EXPECT_FALSE(PulseTone("unix:" + (server.dir() / "none" / "native").string()).Play(2300, 100));
    PosixSystemActions("/bin/false", "/bin/false", std::chrono::seconds(1), "unix:/nonexistent/native").Beep(2300, 800);
}

}  // namespace
}  // namespace vx::platform
