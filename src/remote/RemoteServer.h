#pragma once
// The phone server: one worker thread running the network loop, one listening socket and
// room for exactly one client. Sockets are touched only on the worker; other threads hand
// it frames to send.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "remote/RemoteSession.h"
#include "ui/IClock.h"

namespace vx::remote {

struct ServerOptions {
    std::string address = "0.0.0.0";  // any local address
    uint16_t port = 34000;             // 0: an ephemeral port (tests)
    std::filesystem::path folder;      // the program folder with the documents
    SessionLimits limits;
    std::function<void(const std::string&)> log;  // one line per event worth noting
};

/// The program's server: port 34000 (or $VXPLUS_PHONE_PORT, 0 for any free one) on any local
/// address, documents in `folder`.
ServerOptions ServerOptionsFor(std::filesystem::path folder);

class RemoteServer {
public:
    RemoteServer(RemoteHost& host, ui::IClock& clock, ServerOptions options);
    ~RemoteServer();
    RemoteServer(const RemoteServer&) = delete;
    RemoteServer& operator=(const RemoteServer&) = delete;

    /// Binds, listens and starts the worker; false (and a log line) when the socket cannot
    /// be bound. The rest of the program runs on without remote control then.
    bool Start();
    /// Ends the worker promptly and closes every socket; safe from any thread but the worker.
    void Stop();
    /// The bound port once started.
    uint16_t Port() const;
    const SessionFlags& Flags() const { return flags_; }

    /// Sends the file whole as one frame to the connected client; nothing when the file is
    /// missing or no client is connected. Any thread.
    void PushDocument(uint8_t code, const std::filesystem::path& file);
    /// A header-only frame to the connected client. Any thread.
    void SendNotice(uint8_t code);

private:
    struct Impl;
    SessionFlags flags_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vx::remote
