#include "remote/RemoteSession.h"

#include <algorithm>
#include <cstdio>

#include "platform/AtomicFile.h"
#include "remote/RemoteProtocol.h"

namespace vx::remote {
namespace {

// The documents are a few kilobytes; a file grown beyond this is not sent.
constexpr std::size_t kMaxDocumentBytes = 1 << 20;

// The password is compared as text up to its first zero byte, like the phone app expects.
bool PasswordMatches(std::string_view sent, int32_t stored) {
    sent = sent.substr(0, sent.find('\0'));
    char expected[16];
    std::snprintf(expected, sizeof expected, "%d", stored);
    return sent == expected;
}

}  // namespace

std::optional<std::string> DocumentFrame(uint8_t code, const std::filesystem::path& file) {
    const std::optional<std::string> bytes = platform::ReadFileLimited(file, kMaxDocumentBytes);
    if (!bytes) return std::nullopt;
    return EncodeFrame(code, *bytes);
}

RemoteSession::RemoteSession(RemoteHost& host, SessionFlags& flags, LoginThrottle& throttle,
                             std::filesystem::path folder, SessionLimits limits, std::string peer, uint64_t nowMs)
    : host_(host), flags_(flags), throttle_(throttle), folder_(std::move(folder)), limits_(limits),
      peer_(std::move(peer)), decoder_(CommandBodyLimit), connectedMs_(nowMs), lastReceiveMs_(nowMs) {
    flags_.clientAuthorised = false;
    flags_.clientConnected = true;
}

SessionOutput RemoteSession::OnBytes(std::string_view bytes, uint64_t nowMs) {
    SessionOutput out;
    if (closed_) return out;
    lastReceiveMs_ = nowMs;
    if (!decoder_.MidFrame()) frameStartMs_ = nowMs;
    decoder_.Feed(bytes);
    while (!out.close) {
        std::optional<Frame> frame = decoder_.Next();
        if (!frame) break;
        Dispatch(*frame, nowMs, out);
        frameStartMs_ = nowMs;
    }
    if (out.close) OnClosed();
    return out;
}

SessionOutput RemoteSession::OnTimer(uint64_t nowMs) {
    SessionOutput out;
    if (closed_) return out;
    if (nowMs >= lastReceiveMs_ + limits_.supervisionMs) {
        out.frames.push_back(EncodeFrame(message::kOverTime));
        out.close = true;
        OnClosed();
        host_.ClientOverTime();
    } else if ((!Authorised() && nowMs >= connectedMs_ + limits_.loginDeadlineMs) ||
               (decoder_.MidFrame() && nowMs >= frameStartMs_ + limits_.bodyDeadlineMs)) {
        out.close = true;
        OnClosed();
    }
    return out;
}

uint64_t RemoteSession::NextDeadlineMs() const {
    uint64_t deadline = lastReceiveMs_ + limits_.supervisionMs;
    if (!Authorised()) deadline = std::min(deadline, connectedMs_ + limits_.loginDeadlineMs);
    if (decoder_.MidFrame()) deadline = std::min(deadline, frameStartMs_ + limits_.bodyDeadlineMs);
    return deadline;
}

void RemoteSession::OnClosed() {
    closed_ = true;
    flags_.clientAuthorised = false;
    flags_.clientConnected = false;
}

void RemoteSession::Dispatch(const Frame& frame, uint64_t nowMs, SessionOutput& out) {
    switch (frame.code) {
    case command::kInfoDocument:
        ReceiveInfoDocument(frame, out);
        return;
    case command::kLogin:
        Login(frame, nowMs, out);
        return;
    case command::kPasswordlessLogin:
        if (host_.PasswordlessLoginAllowed()) Authorise(out);
        return;
    default:
        if (frame.code >= command::kRestoreDefaults && frame.code <= command::kLevel3DPerf && Authorised())
            host_.PressButton(frame.code);
        return;  // command 1 only restarts the supervision time, which every read does
    }
}

void RemoteSession::Login(const Frame& frame, uint64_t nowMs, SessionOutput& out) {
    // An over-long password is read no further: it is simply wrong.
    const bool allowed = throttle_.Allowed(peer_, nowMs);
    if (allowed && !frame.oversize && PasswordMatches(frame.body, host_.StoredPassword())) {
        throttle_.Succeeded(peer_);
        Authorise(out);
        return;
    }
    if (allowed) throttle_.Failed(peer_, nowMs);
    out.frames.push_back(EncodeFrame(message::kWrongPassword));
    out.close = true;
}

void RemoteSession::Authorise(SessionOutput& out) {
    flags_.clientAuthorised = true;
    if (auto document = DocumentFrame(message::kInitInfo, folder_ / kInitInfoFile))
        out.frames.push_back(std::move(*document));
}

void RemoteSession::ReceiveInfoDocument(const Frame& frame, SessionOutput& out) {
    // An announcement beyond the limit never reaches the last good document.
    if (frame.oversize) {
        out.close = true;
        return;
    }
    platform::WriteFileAtomically(folder_ / kInfoFile, frame.body);
    host_.InfoDocumentReceived(Authorised());
}

}  // namespace vx::remote
