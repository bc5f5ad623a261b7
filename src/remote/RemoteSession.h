#pragma once
// One phone connection as a plain state machine: bytes and time in, frames to send and
// whether to close out. The server class drives it from its worker thread.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "remote/FrameCodec.h"
#include "remote/LoginThrottle.h"

namespace vx::remote {

/// What the application offers the phone. Called on the server thread.
class RemoteHost {
public:
    virtual ~RemoteHost() = default;
    /// The stored password; a change takes effect at the next login.
    virtual int32_t StoredPassword() const = 0;
    /// Whether command 48 may log in without a password (a setting, off by default).
    virtual bool PasswordlessLoginAllowed() const = 0;
    /// Commands 8 to 14 from an authorised client: press the matching main-window button.
    virtual void PressButton(uint8_t command) = 0;
    /// "Info.xml" was received: read it and apply it (the hardware only for an authorised client).
    virtual void InfoDocumentReceived(bool authorised) = 0;
    /// The supervision time ran out and the client was dropped.
    virtual void ClientOverTime() = 0;
};

/// Read by the sampling loop and the apply flow on the interface thread.
struct SessionFlags {
    std::atomic<bool> clientConnected{false};
    std::atomic<bool> clientAuthorised{false};
};

struct SessionLimits {
    uint64_t supervisionMs = 600'000;  // without any received byte
    uint64_t loginDeadlineMs = 60'000; // so a silent client cannot hold the only slot
    uint64_t bodyDeadlineMs = 10'000;  // for the rest of a started frame
};

struct SessionOutput {
    std::vector<std::string> frames;
    bool close = false;
};

class RemoteSession {
public:
    RemoteSession(RemoteHost& host, SessionFlags& flags, LoginThrottle& throttle, std::filesystem::path folder,
                  SessionLimits limits, std::string peer, uint64_t nowMs);

    SessionOutput OnBytes(std::string_view bytes, uint64_t nowMs);
    /// Checks the deadlines; call at NextDeadlineMs() (earlier is harmless).
    SessionOutput OnTimer(uint64_t nowMs);
    uint64_t NextDeadlineMs() const;
    /// The peer went away: the flags are cleared.
    void OnClosed();

    static constexpr const char* kInitInfoFile = "InitInfo.xml";
    static constexpr const char* kInfoFile = "Info.xml";

private:
    void Dispatch(const Frame& frame, uint64_t nowMs, SessionOutput& out);
    void Login(const Frame& frame, uint64_t nowMs, SessionOutput& out);
    void Authorise(SessionOutput& out);
    void ReceiveInfoDocument(const Frame& frame, SessionOutput& out);
    bool Authorised() const { return flags_.clientAuthorised.load(); }

    RemoteHost& host_;
    SessionFlags& flags_;
    LoginThrottle& throttle_;
    std::filesystem::path folder_;
    SessionLimits limits_;
    std::string peer_;
    FrameDecoder decoder_;
    uint64_t connectedMs_;
    uint64_t lastReceiveMs_;
    uint64_t frameStartMs_ = 0;
    bool closed_ = false;
};

/// The whole document as one frame; nothing when the file is missing or unreadable.
std::optional<std::string> DocumentFrame(uint8_t code, const std::filesystem::path& file);

}  // namespace vx::remote
