#pragma once
// Command and message codes of the phone protocol and the sizes the server accepts.
#include <cstdint>
#include <optional>

#include "remote/FrameCodec.h"

namespace vx::remote {

namespace command {
inline constexpr uint8_t kKeepAlive = 1;
inline constexpr uint8_t kInfoDocument = 4;
inline constexpr uint8_t kLogin = 5;
inline constexpr uint8_t kRestoreDefaults = 8;
inline constexpr uint8_t kSelectGpu0 = 9;
inline constexpr uint8_t kSelectGpu1 = 10;
inline constexpr uint8_t kSelectGpu2 = 11;
inline constexpr uint8_t kLevel2D = 12;
inline constexpr uint8_t kLevel3DLow = 13;
inline constexpr uint8_t kLevel3DPerf = 14;
inline constexpr uint8_t kPasswordlessLogin = 48;
}  // namespace command

namespace message {
inline constexpr uint8_t kInitInfo = 1;
inline constexpr uint8_t kWrongPassword = 6;
inline constexpr uint8_t kRemoteApplied = 15;
inline constexpr uint8_t kRemoteApplyFailed = 16;
inline constexpr uint8_t kPcInfo = 17;
inline constexpr uint8_t kCurrInfo = 21;
inline constexpr uint8_t kOverTime = 32;
}  // namespace message

// An "Info.xml" from the phone is a few hundred bytes; a password is at most 255 characters.
inline constexpr uint32_t kMaxInfoDocumentBytes = 64 * 1024;
inline constexpr uint32_t kMaxPasswordBytes = 255;

/// Only uploads and logins have their bodies read.
inline std::optional<uint32_t> CommandBodyLimit(uint8_t code) {
    if (code == command::kInfoDocument) return kMaxInfoDocumentBytes;
    if (code == command::kLogin) return kMaxPasswordBytes;
    return std::nullopt;
}

}  // namespace vx::remote
