// Asking a failed Result for its value is the caller's fault: the process ends there with a
// message instead of throwing past a port.
#include "ports/error.hpp"

#include <gtest/gtest.h>

#include <string>

namespace quenta::testing {
namespace {

TEST(ResultDeathTest, ValueOfAFailureEndsTheProcessNamingTheMistake) {
    const Result<std::string> failed(Error{ErrorKind::notFound, "gone"});
    EXPECT_DEATH(static_cast<void>(failed.value()),
                 "Result::value\\(\\) called on a Result that "
                 "holds an error");
    Result<std::string> moved(Error{ErrorKind::other, "no"});
    EXPECT_DEATH(static_cast<void>(std::move(moved).value()), "Result::value\\(\\)");
    const Result<int> held(7);
    EXPECT_DEATH(static_cast<void>(held.error()),
                 "Result::error\\(\\) called on a Result that "
                 "holds a value");
}

}  // namespace
}  // namespace quenta::testing
