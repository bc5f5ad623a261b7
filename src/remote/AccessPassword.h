#pragma once
// The phone's access password: a signed 32-bit number, compared as its decimal text.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx::remote {

inline constexpr int32_t kDefaultAccessPassword = 482915;
/// Each edit of the password dialog is read as at most this many characters.
inline constexpr std::size_t kMaxPasswordEditChars = 63;

enum class PasswordChangeOutcome {
    Changed,
    Mismatch,       // new and confirmation differ: text 131
    WrongOriginal,  // text 130
    Empty,          // no new password: text 129
    OutOfRange,     // digits beyond the 32-bit range, refused like an empty one (text 129)
};

struct PasswordChange {
    PasswordChangeOutcome outcome = PasswordChangeOutcome::Empty;
    int32_t password = 0;  // the new number when Changed
};

/// Checks the three edits against the stored number (nothing when the store has none, which
/// accepts any original). The new number is its sign and leading digits, 0 when there are none.
PasswordChange CheckPasswordChange(std::string_view original, std::string_view newPassword, std::string_view confirm,
                                   std::optional<int32_t> stored);

}  // namespace vx::remote
