#pragma once
// The phone's side of the protocol over a real loopback socket, with a receive time-out so a
// failing test never hangs.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "remote/FrameCodec.h"

namespace vx::test {

class PhoneClient {
public:
    explicit PhoneClient(uint16_t port, int timeoutMs = 5000) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    PhoneClient(const PhoneClient&) = delete;
    PhoneClient& operator=(const PhoneClient&) = delete;
    ~PhoneClient() { ::close(fd_); }

    bool connected() const { return connected_; }

    bool Send(const std::string& bytes) {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }

    /// The next frame's code and body, or nothing on time-out or end of stream.
    std::optional<remote::Frame> Receive() {
        std::string header;
        if (!ReceiveExactly(remote::kFrameHeaderSize, header)) return std::nullopt;
        const remote::FrameHeader fields = remote::DecodeFrameHeader(header);
        remote::Frame frame{fields.code, fields.bodyLength, {}, false};
        if (!ReceiveExactly(fields.bodyLength, frame.body)) return std::nullopt;
        if (header != remote::EncodeFrame(fields.code, frame.body).substr(0, remote::kFrameHeaderSize))
            return std::nullopt;  // total length and tag must be what the phone expects
        return frame;
    }

    /// Whether the server closed the connection (rather than a time-out).
    bool Closed() {
        char byte;
        const ssize_t got = ::recv(fd_, &byte, 1, 0);
        return got == 0 || (got < 0 && errno == ECONNRESET);
    }

private:
    bool ReceiveExactly(std::size_t size, std::string& out) {
        out.resize(size);
        for (std::size_t done = 0; done < size;) {
            const ssize_t got = ::recv(fd_, out.data() + done, size - done, 0);
            if (got <= 0) return false;
            done += static_cast<std::size_t>(got);
        }
        return true;
    }

    int fd_;
    bool connected_ = false;
};

}  // namespace vx::test
