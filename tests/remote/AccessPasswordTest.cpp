// Changing the phone's access password.
#include <gtest/gtest.h>

#include "remote/AccessPassword.h"

namespace vx::remote {
namespace {

TEST(AccessPassword, ChangeRules) {
    using O = PasswordChangeOutcome;
    struct Case { const char* original; const char* next; const char* confirm; std::optional<int32_t> stored; O outcome; int32_t value; };
    const Case cases[] = {
        {"482915", "123456", "123456", 482915, O::Changed, 123456},
        {"482915", "12ab", "12ab", 482915, O::Changed, 12},        // leading digits only
        {"482915", "007", "007", 482915, O::Changed, 7},           // stored without the zeros
        {"482915", "abc", "abc", 482915, O::Changed, 0},
        {"482915", "-15", "-15", 482915, O::Changed, -15},
        {"482915", "2147483647", "2147483647", 482915, O::Changed, 2147483647},
        {"482915", "2147483648", "2147483648", 482915, O::OutOfRange, 0},
        {"482915", "99999999999", "99999999999", 482915, O::OutOfRange, 0},
        {"482915", "-2147483649", "-2147483649", 482915, O::OutOfRange, 0},
        {"482915", "", "", 482915, O::Empty, 0},
        {"482915", "1", "2", 482915, O::Mismatch, 0},
        {"0482915", "1", "1", 482915, O::WrongOriginal, 0},         // typed exactly as the number
        {"482915 ", "1", "1", 482915, O::WrongOriginal, 0},
        {"-5", "1", "1", -5, O::Changed, 1},
        {"anything", "9", "9", std::nullopt, O::Changed, 9},       // nothing stored: any original
    };
    for (const Case& c : cases) {
        const PasswordChange change = CheckPasswordChange(c.original, c.next, c.confirm, c.stored);
        EXPECT_EQ(change.outcome, c.outcome) << c.original << " " << c.next;
        EXPECT_EQ(change.password, c.outcome == O::Changed ? c.value : 0) << c.next;
    }
}

}  // namespace
}  // namespace vx::remote
