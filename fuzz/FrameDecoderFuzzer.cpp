// The frame decoder over any byte stream, fed in reads whose sizes come from the input.
#include <cstddef>
#include <cstdint>

#include "remote/RemoteProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    vx::remote::FrameDecoder decoder(vx::remote::CommandBodyLimit);
    const std::size_t chunk = data[0] % 32 + 1;
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    while (!bytes.empty()) {
        decoder.Feed(bytes.substr(0, chunk));
        bytes.remove_prefix(std::min(chunk, bytes.size()));
        while (auto frame = decoder.Next()) {
            if (frame->oversize) return 0;
            if (frame->body.size() > vx::remote::kMaxInfoDocumentBytes) __builtin_trap();
        }
        if (decoder.Buffered() > vx::remote::kFrameHeaderSize + vx::remote::kMaxInfoDocumentBytes + chunk)
            __builtin_trap();
    }
    return 0;
}
