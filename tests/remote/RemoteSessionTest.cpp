// The phone session without sockets: logins, commands, uploads and its deadlines.
#include <gtest/gtest.h>

#include "remote/RemoteTestSupport.h"
#include "support/TempDir.h"

namespace vx::remote {
namespace {

using test::Header;

const std::string kInitInfo = "<ServerInfo><ComputerInfo/></ServerInfo>";

struct SessionFixture : ::testing::Test {
    SessionFixture() { test::TempDir::WriteFile(dir / "InitInfo.xml", kInitInfo); }
    RemoteSession& Open(const std::string& peer = "192.168.1.20", uint64_t nowMs = 0) {
        session.emplace(host, flags, throttle, dir.path(), SessionLimits{}, peer, nowMs);
        return *session;
    }
    SessionOutput Send(const std::string& bytes, uint64_t nowMs = 0) { return session->OnBytes(bytes, nowMs); }
    SessionOutput Login(const std::string& password, uint64_t nowMs = 0) {
        return Send(EncodeFrame(command::kLogin, password), nowMs);
    }

    test::TempDir dir;
    test::RecordingHost host;
    SessionFlags flags;
    LoginThrottle throttle;
    std::optional<RemoteSession> session;
};

const std::string kWrong = EncodeFrame(message::kWrongPassword);

TEST_F(SessionFixture, LoginComparesTheDecimalTextExactly) {
    struct Case { std::string sent; int32_t stored; bool accepted; };
    const Case cases[] = {
        {"482915", 482915, true},
        {std::string("482915\0junk", 11), 482915, true},
        {"0482915", 482915, false},
        {"482915 ", 482915, false},
        {"", 482915, false},
        {"-7", -7, true},
        {std::string(255, '4'), 482915, false},
        {std::string(300, '4'), 482915, false},  // longer than any password: refused unread
    };
    for (const Case& c : cases) {
        host.password = c.stored;
        Open(c.sent.substr(0, 8));  // a fresh address each time, so the throttle stays out of it
        const SessionOutput out = Login(c.sent);
        EXPECT_EQ(out.frames, std::vector<std::string>{c.accepted ? EncodeFrame(message::kInitInfo, kInitInfo) : kWrong})
            << c.sent.size();
        EXPECT_EQ(out.close, !c.accepted);
        EXPECT_EQ(flags.clientAuthorised, c.accepted);
        EXPECT_EQ(flags.clientConnected, c.accepted);
    }
}

TEST_F(SessionFixture, ButtonsNeedALoginAndUnknownCodesAreIgnored) {
    Open();
    std::string ignored;
    for (int code : {0, 2, 3, 6, 7, 15, 47, 48, 49, 255}) ignored += EncodeFrame(static_cast<uint8_t>(code));
    for (int code = command::kRestoreDefaults; code <= command::kLevel3DPerf; ++code)
        ignored += EncodeFrame(static_cast<uint8_t>(code));
    const SessionOutput before = Send(ignored);
    EXPECT_TRUE(before.frames.empty());
    EXPECT_FALSE(before.close);
    EXPECT_TRUE(host.Presses().empty());

    Login("482915");
    Send(EncodeFrame(command::kSelectGpu0) + EncodeFrame(command::kLevel3DLow) + EncodeFrame(49));
    EXPECT_EQ(host.Presses(), (std::vector<uint8_t>{command::kSelectGpu0, command::kLevel3DLow}));
}

TEST_F(SessionFixture, PasswordlessLoginOnlyWhenSwitchedOn) {
    Open();
    EXPECT_TRUE(Send(EncodeFrame(command::kPasswordlessLogin)).frames.empty());
    EXPECT_FALSE(flags.clientAuthorised);
    host.passwordless = true;
    EXPECT_EQ(Send(EncodeFrame(command::kPasswordlessLogin)).frames,
              std::vector<std::string>{EncodeFrame(message::kInitInfo, kInitInfo)});
    Send(EncodeFrame(command::kRestoreDefaults));
    EXPECT_EQ(host.Presses(), std::vector<uint8_t>{command::kRestoreDefaults});
}

TEST_F(SessionFixture, MissingInitInfoSendsNoFrame) {
    std::filesystem::remove(dir / "InitInfo.xml");
    Open();
    const SessionOutput out = Login("482915");
    EXPECT_TRUE(out.frames.empty());
    EXPECT_TRUE(flags.clientAuthorised);
}

TEST_F(SessionFixture, UploadsReplaceInfoXmlWholeAndOversizeLeavesIt) {
    Open();
    Send(EncodeFrame(command::kInfoDocument, "<Info><GpuIdex>1</GpuIdex></Info>"));
    EXPECT_EQ(test::TempDir::ReadFile(dir / "Info.xml"), "<Info><GpuIdex>1</GpuIdex></Info>");
    Send(Header(command::kInfoDocument, 0));
    EXPECT_EQ(test::TempDir::ReadFile(dir / "Info.xml"), "");
    EXPECT_EQ(host.Documents(), (std::vector<bool>{false, false}));

    // A split upload waits for its last byte; the document is written only then.
    const std::string upload = EncodeFrame(command::kInfoDocument, "<Info><FanSpeed>40</FanSpeed></Info>");
    Send(upload.substr(0, 20));
    EXPECT_EQ(test::TempDir::ReadFile(dir / "Info.xml"), "");
    Send(upload.substr(20));
    EXPECT_EQ(test::TempDir::ReadFile(dir / "Info.xml"), "<Info><FanSpeed>40</FanSpeed></Info>");

    for (uint32_t length : {kMaxInfoDocumentBytes + 1, 0xFFFFFFFFu}) {
        Open();
        const SessionOutput out = Send(Header(command::kInfoDocument, length) + "<Info/>");
        EXPECT_TRUE(out.close);
        EXPECT_TRUE(out.frames.empty());
        EXPECT_EQ(test::TempDir::ReadFile(dir / "Info.xml"), "<Info><FanSpeed>40</FanSpeed></Info>");
    }
    EXPECT_EQ(host.Documents().size(), 3u);
}

TEST_F(SessionFixture, UploadTellsTheHostWhetherTheClientIsAuthorised) {
    Open();
    Login("482915");
    Send(EncodeFrame(command::kInfoDocument, "<Info/>"));
    EXPECT_EQ(host.Documents(), std::vector<bool>{true});
}

TEST_F(SessionFixture, RepeatedWrongLoginsFromOneAddressAreSlowedDown) {
    uint64_t now = 0;
    for (uint32_t i = 0; i < LoginThrottle::kFreeAttempts; ++i) {
        Open("10.0.0.9", now);
        Login("111111", now);
    }
    // Blocked now: even the right password is refused until the delay is over, which doubles.
    Open("10.0.0.9", now);
    EXPECT_EQ(Login("482915", now).frames, std::vector<std::string>{kWrong});
    Open("10.0.0.8", now);
    EXPECT_TRUE(Login("482915", now).frames.at(0) != kWrong) << "another address is not slowed down";
    now += LoginThrottle::kFirstDelayMs;
    Open("10.0.0.9", now);
    EXPECT_EQ(Login("000000", now).frames, std::vector<std::string>{kWrong});
    now += LoginThrottle::kFirstDelayMs;
    Open("10.0.0.9", now);
    EXPECT_EQ(Login("482915", now).frames, std::vector<std::string>{kWrong});
    now += LoginThrottle::kFirstDelayMs;
    Open("10.0.0.9", now);
    EXPECT_TRUE(Login("482915", now).frames.at(0) != kWrong);
}

TEST_F(SessionFixture, DeadlinesCloseSilentAndStalledClients) {
    const SessionLimits limits;
    struct Case { const char* what; std::string bytes; uint64_t closeAtMs; bool overTime; };
    const Case cases[] = {
        {"no login", "", limits.loginDeadlineMs, false},
        {"half a header", Header(command::kKeepAlive, 0).substr(0, 5), limits.bodyDeadlineMs, false},
        {"logged in, then silent", EncodeFrame(command::kLogin, "482915"), limits.supervisionMs, true},
    };
    for (const Case& c : cases) {
        host.overTimes = 0;
        Open();
        Send(c.bytes);
        EXPECT_EQ(session->NextDeadlineMs(), c.closeAtMs) << c.what;
        EXPECT_FALSE(session->OnTimer(c.closeAtMs - 1).close) << c.what;
        const SessionOutput out = session->OnTimer(c.closeAtMs);
        EXPECT_TRUE(out.close) << c.what;
        EXPECT_EQ(out.frames.size(), c.overTime ? 1u : 0u) << c.what;
        if (c.overTime) {
            EXPECT_EQ(out.frames[0], EncodeFrame(message::kOverTime));
        }
        EXPECT_EQ(host.overTimes, c.overTime ? 1 : 0) << c.what;
        EXPECT_FALSE(flags.clientConnected);
        EXPECT_FALSE(flags.clientAuthorised);
    }
}

TEST_F(SessionFixture, EveryReadRestartsTheSupervisionTime) {
    Open();
    Login("482915");
    uint64_t now = 0;
    for (int i = 0; i < 5; ++i) {
        now += 4 * 60'000;
        EXPECT_FALSE(session->OnTimer(now).close);
        Send(EncodeFrame(command::kKeepAlive), now);
    }
    EXPECT_EQ(session->NextDeadlineMs(), now + 600'000);
}

}  // namespace
}  // namespace vx::remote
