#include "remote/RemoteServer.h"

#include <array>
#include <asio.hpp>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>
#include <thread>

namespace vx::remote {
namespace {

using asio::ip::tcp;

// A client that stops reading is dropped before its unsent frames grow without bound.
constexpr std::size_t kMaxPendingBytes = 4 << 20;
// Time a closing connection gets to take its last frame (codes 6 and 32).
constexpr auto kLingerAfterClose = std::chrono::seconds(2);

}  // namespace

struct RemoteServer::Impl {
    struct Client {
        Client(asio::io_context& io, tcp::socket s) : socket(std::move(s)), timer(io) {}
        tcp::socket socket;
        asio::steady_timer timer;
        std::optional<RemoteSession> session;
        std::array<char, 4096> buffer{};
        std::deque<std::string> outbox;
        std::size_t pendingBytes = 0;
        bool closing = false;
    };

    Impl(RemoteServer& server, RemoteHost& host, ui::IClock& clock, ServerOptions options)
        : server(server), host(host), clock(clock), options(std::move(options)) {
        // The program's own lines go to standard output; the error stream is for --verbose diagnostics.
        if (!this->options.log) this->options.log = [](const std::string& line) { std::printf("%s\n", line.c_str()); };
    }

    void Accept() {
        acceptor.async_accept([this](const asio::error_code& error, tcp::socket socket) {
            if (error == asio::error::operation_aborted) return;
            if (!error) {
                if (client) {
                    // Never a modal wait here: the first client keeps its session.
                    options.log("Too many connections! A second phone was refused.");
                    asio::error_code ignored;
                    socket.close(ignored);
                } else {
                    Open(std::move(socket));
                }
            }
            Accept();
        });
    }

    void Open(tcp::socket socket) {
        asio::error_code error;
        const tcp::endpoint peer = socket.remote_endpoint(error);
        client = std::make_shared<Client>(io, std::move(socket));
        client->session.emplace(host, server.flags_, throttle, options.folder, options.limits,
                                error ? std::string() : peer.address().to_string(), clock.TickCountMs());
        Read(client);
        ArmTimer(client);
    }

    void Read(const std::shared_ptr<Client>& c) {
        c->socket.async_read_some(asio::buffer(c->buffer), [this, c](const asio::error_code& error, std::size_t size) {
            if (c != client || c->closing) return;
            if (error) {
                Drop(c);
                return;
            }
            Deliver(c, c->session->OnBytes(std::string_view(c->buffer.data(), size), clock.TickCountMs()));
            if (!c->closing) {
                Read(c);
                ArmTimer(c);
            }
        });
    }

    void ArmTimer(const std::shared_ptr<Client>& c) {
        const uint64_t now = clock.TickCountMs();
        const uint64_t deadline = c->session->NextDeadlineMs();
        c->timer.expires_after(std::chrono::milliseconds(deadline > now ? deadline - now : 0));
        c->timer.async_wait([this, c](const asio::error_code& error) {
            if (error || c != client) return;
            if (c->closing) {
                Drop(c);
                return;
            }
            Deliver(c, c->session->OnTimer(clock.TickCountMs()));
            if (!c->closing) ArmTimer(c);
        });
    }

    void Deliver(const std::shared_ptr<Client>& c, SessionOutput out) {
        for (std::string& frame : out.frames) Queue(c, std::move(frame));
        if (out.close && c == client) {
            c->closing = true;
            if (c->outbox.empty()) {
                Drop(c);
            } else {
                c->timer.expires_after(kLingerAfterClose);
                c->timer.async_wait([this, c](const asio::error_code& error) {
                    if (!error && c == client) Drop(c);
                });
            }
        }
    }

    void Queue(const std::shared_ptr<Client>& c, std::string frame) {
        if (c->pendingBytes + frame.size() > kMaxPendingBytes) {
            options.log("The phone does not read its frames; it was disconnected.");
            Drop(c);
            return;
        }
        c->pendingBytes += frame.size();
        c->outbox.push_back(std::move(frame));
        if (c->outbox.size() == 1) Write(c);
    }

    void Write(const std::shared_ptr<Client>& c) {
        asio::async_write(c->socket, asio::buffer(c->outbox.front()), [this, c](const asio::error_code& error, std::size_t) {
            if (c != client) return;
            if (error) {
                Drop(c);
                return;
            }
            c->pendingBytes -= c->outbox.front().size();
            c->outbox.pop_front();
            if (!c->outbox.empty()) Write(c);
            else if (c->closing) Drop(c);
        });
    }

    void Drop(const std::shared_ptr<Client>& c) {
        if (c != client) return;
        c->session->OnClosed();
        asio::error_code ignored;
        c->timer.cancel();
        c->socket.shutdown(tcp::socket::shutdown_both, ignored);
        c->socket.close(ignored);
        client.reset();
    }

    void Send(std::string frame) {
        asio::post(io, [this, frame = std::move(frame)]() mutable {
            if (client && !client->closing) Queue(client, std::move(frame));
        });
    }

    RemoteServer& server;
    RemoteHost& host;
    ui::IClock& clock;
    ServerOptions options;
    asio::io_context io;
    tcp::acceptor acceptor{io};
    LoginThrottle throttle;  // worker thread only, like the client
    std::shared_ptr<Client> client;
    uint16_t port = 0;  // set before the worker starts
    std::thread worker;
};

ServerOptions ServerOptionsFor(std::filesystem::path folder) {
    ServerOptions options;
    options.folder = std::move(folder);
    if (const char* port = std::getenv("VXPLUS_PHONE_PORT")) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(port, &end, 10);
        if (*port && !*end && value <= 65535) options.port = static_cast<uint16_t>(value);
    }
    return options;
}

RemoteServer::RemoteServer(RemoteHost& host, ui::IClock& clock, ServerOptions options)
    : impl_(std::make_unique<Impl>(*this, host, clock, std::move(options))) {}

RemoteServer::~RemoteServer() { Stop(); }

bool RemoteServer::Start() {
    Impl& d = *impl_;
    asio::error_code error;
    const tcp::endpoint endpoint(asio::ip::make_address(d.options.address, error), d.options.port);
    if (!error) d.acceptor.open(endpoint.protocol(), error);
    if (!error) d.acceptor.set_option(tcp::acceptor::reuse_address(true), error);
    if (!error) d.acceptor.bind(endpoint, error);
    if (!error) d.acceptor.listen(5, error);
    if (error) {
        d.options.log(" Failed bind() ");
        d.options.log("The phone server cannot use port " + std::to_string(d.options.port) + ": " + error.message());
        asio::error_code ignored;
        d.acceptor.close(ignored);
        return false;
    }
    d.port = d.acceptor.local_endpoint(error).port();
    d.Accept();
    d.worker = std::thread([&d] { d.io.run(); });
    return true;
}

void RemoteServer::Stop() {
    Impl& d = *impl_;
    if (!d.worker.joinable()) return;
    d.io.stop();
    d.worker.join();
    // The worker is gone: its sockets can be closed from here.
    if (d.client) d.Drop(d.client);
    asio::error_code ignored;
    d.acceptor.close(ignored);
}

uint16_t RemoteServer::Port() const { return impl_->port; }

void RemoteServer::PushDocument(uint8_t code, const std::filesystem::path& file) {
    if (!flags_.clientConnected) return;
    if (std::optional<std::string> frame = DocumentFrame(code, file)) impl_->Send(std::move(*frame));
}

void RemoteServer::SendNotice(uint8_t code) {
    if (flags_.clientConnected) impl_->Send(EncodeFrame(code));
}

}  // namespace vx::remote
