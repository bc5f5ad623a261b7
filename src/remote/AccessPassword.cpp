#include "remote/AccessPassword.h"

#include <limits>

#include "remote/RemoteDocuments.h"

namespace vx::remote {

PasswordChange CheckPasswordChange(std::string_view original, std::string_view newPassword, std::string_view confirm,
                                   std::optional<int32_t> stored) {
    original = original.substr(0, kMaxPasswordEditChars);
    newPassword = newPassword.substr(0, kMaxPasswordEditChars);
    confirm = confirm.substr(0, kMaxPasswordEditChars);
    if (newPassword != confirm) return {PasswordChangeOutcome::Mismatch};
    if (stored && original != std::to_string(*stored)) return {PasswordChangeOutcome::WrongOriginal};
    if (newPassword.empty()) return {PasswordChangeOutcome::Empty};
    const int64_t value = PlainDecimal(newPassword);
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return {PasswordChangeOutcome::OutOfRange};
    return {PasswordChangeOutcome::Changed, static_cast<int32_t>(value)};
}

}  // namespace vx::remote
