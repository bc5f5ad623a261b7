// The phone server over real loopback sockets, with the phone's side written here.
#include <gtest/gtest.h>

#include <thread>

#include "remote/PhoneClient.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteTestSupport.h"
#include "support/TempDir.h"
#include "ui/IClock.h"

namespace vx::remote {
namespace {

using test::Header;
using test::PhoneClient;

struct ServerFixture : ::testing::Test {
    ServerFixture() {
        test::TempDir::WriteFile(dir / "InitInfo.xml", initInfo);
        test::TempDir::WriteFile(dir / "Info.xml", "<Info>good</Info>");
    }
    void Start(SessionLimits limits = {}) {
        ServerOptions options{"127.0.0.1", 0, dir.path(), limits, [this](const std::string& line) {
                                  std::lock_guard lock(logMutex);
                                  log.push_back(line);
                              }};
        server.emplace(host, ui::SystemClock(), std::move(options));
        ASSERT_TRUE(server->Start());
    }
    std::unique_ptr<PhoneClient> LoggedIn() {
        auto phone = std::make_unique<PhoneClient>(server->Port());
        phone->Send(EncodeFrame(command::kLogin, "482915"));
        const std::optional<Frame> reply = phone->Receive();
        EXPECT_TRUE(reply && reply->code == message::kInitInfo && reply->body == initInfo);
        return phone;
    }
    // The session handles a connection's frames in order: once a login is answered, what the
    // phone sent before it has been handled, and nothing else was sent in between.
    void Sync(PhoneClient& phone) {
        phone.Send(EncodeFrame(command::kLogin, "482915"));
        const std::optional<Frame> frame = phone.Receive();
        ASSERT_TRUE(frame && frame->code == message::kInitInfo);
    }

    // Longer than one 5,000-byte buffer ever held: it must still arrive whole.
    const std::string initInfo = "<ServerInfo>" + std::string(9000, 'x') + "</ServerInfo>";
    test::TempDir dir;
    test::RecordingHost host;
    std::mutex logMutex;
    std::vector<std::string> log;
    std::optional<RemoteServer> server;
};

TEST_F(ServerFixture, LoginPushAndButtonsOverLoopback) {
    Start();
    {
        // Before a login, buttons, unknown codes and command 48 (off by default) do nothing.
        PhoneClient stranger(server->Port());
        stranger.Send(EncodeFrame(command::kSelectGpu0) + EncodeFrame(200) + EncodeFrame(command::kPasswordlessLogin) +
                      EncodeFrame(command::kLogin, "1"));
        const std::optional<Frame> reply = stranger.Receive();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->code, message::kWrongPassword);
        EXPECT_TRUE(host.Presses().empty());
    }
    auto phone = LoggedIn();
    EXPECT_TRUE(server->Flags().clientAuthorised);
    phone->Send(EncodeFrame(command::kSelectGpu0));
    Sync(*phone);
    EXPECT_EQ(host.Presses(), std::vector<uint8_t>{command::kSelectGpu0});

    server->SendNotice(message::kRemoteApplied);
    const std::optional<Frame> notice = phone->Receive();
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->code, message::kRemoteApplied);
    EXPECT_EQ(notice->bodyLength, 0u);
    // A missing document sends nothing; the next frame is the one after it.
    server->PushDocument(message::kCurrInfo, dir / "CurrInfo.xml");
    Sync(*phone);
}

TEST_F(ServerFixture, WrongPasswordGetsCode6AndIsClosed) {
    Start();
    for (const std::string& password : {std::string("0482915"), std::string(300, '9')}) {
        PhoneClient phone(server->Port());
        phone.Send(EncodeFrame(command::kLogin, password));
        const std::optional<Frame> reply = phone.Receive();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->code, message::kWrongPassword);
        EXPECT_TRUE(phone.Closed());
    }
    EXPECT_FALSE(server->Flags().clientConnected);
}

TEST_F(ServerFixture, UploadSplitOverSegmentsIsAssembledAndOversizeClosesUntouched) {
    Start();
    auto phone = LoggedIn();
    const std::string document = "<Info><GpuClock>700</GpuClock></Info>";
    const std::string frame = EncodeFrame(command::kInfoDocument, document);
    for (std::size_t at = 0; at < frame.size(); at += 7) {
        phone->Send(frame.substr(at, 7));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Sync(*phone);
    EXPECT_EQ(test::TempDir::ReadFile(dir / "Info.xml"), document);
    EXPECT_EQ(host.Documents(), std::vector<bool>{true});

    phone->Send(Header(command::kInfoDocument, 0));  // an empty body empties the file
    Sync(*phone);
    EXPECT_EQ(test::TempDir::ReadFile(dir / "Info.xml"), "");
    test::TempDir::WriteFile(dir / "Info.xml", document);

    phone->Send(Header(command::kInfoDocument, 0xFFFFFFFFu) + "<Info>bad");
    EXPECT_TRUE(phone->Closed());
    EXPECT_EQ(test::TempDir::ReadFile(dir / "Info.xml"), document);
    EXPECT_EQ(host.Documents().size(), 2u);  // the oversize one never reached the host
}

TEST_F(ServerFixture, SecondClientIsRefusedWhileTheFirstKeepsWorking) {
    Start();
    auto first = LoggedIn();
    PhoneClient second(server->Port());
    EXPECT_TRUE(second.Closed());
    test::TempDir::WriteFile(dir / "CurrInfo.xml", "<Info>now</Info>");
    server->PushDocument(message::kCurrInfo, dir / "CurrInfo.xml");
    const std::optional<Frame> push = first->Receive();
    ASSERT_TRUE(push);
    EXPECT_EQ(push->code, message::kCurrInfo);
    EXPECT_EQ(push->body, "<Info>now</Info>");
    std::lock_guard lock(logMutex);
    EXPECT_EQ(log.size(), 1u);
}

TEST_F(ServerFixture, SlotIsFreeAgainAfterTheClientLeaves) {
    Start();
    LoggedIn().reset();
    // The server may not have seen the close yet when the next phone connects; it gets in soon.
    for (int attempt = 0; attempt < 50; ++attempt) {
        PhoneClient phone(server->Port(), 200);
        phone.Send(EncodeFrame(command::kLogin, "482915"));
        if (std::optional<Frame> reply = phone.Receive()) {
            EXPECT_EQ(reply->code, message::kInitInfo);
            return;
        }
    }
    FAIL() << "the slot was never freed";
}

TEST_F(ServerFixture, SupervisionTimeoutSends32AndCloses) {
    Start(SessionLimits{200, 60'000, 10'000});
    auto phone = LoggedIn();
    const std::optional<Frame> frame = phone->Receive();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->code, message::kOverTime);
    EXPECT_TRUE(phone->Closed());
    EXPECT_EQ(host.overTimes, 1);
}

TEST_F(ServerFixture, StopsPromptlyWithAClientAttachedAndFreesThePort) {
    Start();
    auto phone = LoggedIn();
    const uint16_t port = server->Port();
    std::thread stopper([this] { server->Stop(); });
    stopper.join();
    EXPECT_TRUE(phone->Closed());
    EXPECT_FALSE(server->Flags().clientConnected);
    // The port is free for the next start, and a taken port fails cleanly.
    RemoteServer again(host, ui::SystemClock(), ServerOptions{"127.0.0.1", port, dir.path(), {}, [](const std::string&) {}});
    EXPECT_TRUE(again.Start());
    RemoteServer clash(host, ui::SystemClock(), ServerOptions{"127.0.0.1", port, dir.path(), {}, [](const std::string&) {}});
    EXPECT_FALSE(clash.Start());
}

}  // namespace
}  // namespace vx::remote
