#pragma once
// The phone protocol's frame: an 11-byte little-endian header and a body of raw bytes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vx::remote {

inline constexpr std::size_t kFrameHeaderSize = 11;
inline constexpr uint16_t kFrameHeaderTag = 10;

struct FrameHeader {
    uint8_t code = 0;
    uint32_t bodyLength = 0;
};

/// Header and body in one buffer: total length, tag 10, code, body length, body.
std::string EncodeFrame(uint8_t code, std::string_view body = {});

/// Code and body length of a header; total length and tag are not checked. Missing bytes
/// (a header shorter than 11 bytes) count as zero.
FrameHeader DecodeFrameHeader(std::string_view header);

/// A decoded command. `oversize`: the announced body is longer than the code allows; the
/// body was not read and the stream cannot be followed any further.
struct Frame {
    uint8_t code = 0;
    uint32_t bodyLength = 0;
    std::string body;
    bool oversize = false;
};

/// How many body bytes a code may carry; nothing when its body is not read at all (the
/// announced length is ignored and the bytes behind the header start the next header).
using BodyLimit = std::function<std::optional<uint32_t>(uint8_t code)>;

/// Splits a byte stream into frames however the bytes were cut into reads. Holds at most one
/// partial frame: a header plus the largest body `limit` allows.
class FrameDecoder {
public:
    explicit FrameDecoder(BodyLimit limit) : limit_(std::move(limit)) {}

    void Feed(std::string_view bytes) { buffer_.append(bytes); }
    /// The next complete frame, or nothing until more bytes arrive. After an oversize frame
    /// nothing more is returned.
    std::optional<Frame> Next();
    /// Whether bytes of an unfinished frame are waiting.
    bool MidFrame() const { return !failed_ && !buffer_.empty(); }
    std::size_t Buffered() const { return buffer_.size(); }

private:
    BodyLimit limit_;
    std::string buffer_;
    bool failed_ = false;
};

}  // namespace vx::remote
