#include "remote/FrameCodec.h"

namespace vx::remote {
namespace {

void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint32_t GetLe(std::string_view in, std::size_t offset, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        const std::size_t at = offset + static_cast<std::size_t>(i);
        const uint32_t byte = at < in.size() ? static_cast<uint8_t>(in[at]) : 0u;
        value |= byte << (8 * i);
    }
    return value;
}

}  // namespace

std::string EncodeFrame(uint8_t code, std::string_view body) {
    std::string out;
    out.reserve(kFrameHeaderSize + body.size());
    const auto bodyLength = static_cast<uint32_t>(body.size());
    PutLe(out, bodyLength + static_cast<uint32_t>(kFrameHeaderSize), 4);
    PutLe(out, kFrameHeaderTag, 2);
    out.push_back(static_cast<char>(code));
    PutLe(out, bodyLength, 4);
    out.append(body);
    return out;
}

FrameHeader DecodeFrameHeader(std::string_view header) {
    return {static_cast<uint8_t>(GetLe(header, 6, 1)), GetLe(header, 7, 4)};
}

std::optional<Frame> FrameDecoder::Next() {
    if (failed_ || buffer_.size() < kFrameHeaderSize) return std::nullopt;
    const FrameHeader header = DecodeFrameHeader(buffer_);
    Frame frame{header.code, header.bodyLength, {}, false};
    const std::optional<uint32_t> maxBody = limit_(header.code);
    std::size_t consumed = kFrameHeaderSize;
    if (maxBody) {
        if (header.bodyLength > *maxBody) {
            // Never wait for (or hold) more than the code allows: the peer gets closed.
            failed_ = true;
            frame.oversize = true;
            buffer_.clear();
            buffer_.shrink_to_fit();
            return frame;
        }
        if (buffer_.size() - kFrameHeaderSize < header.bodyLength) return std::nullopt;
        frame.body = buffer_.substr(kFrameHeaderSize, header.bodyLength);
        consumed += header.bodyLength;
    }
    buffer_.erase(0, consumed);
    return frame;
}

}  // namespace vx::remote
