// The one mapping of GIO's failures to the ports' Error: the kinds the logic branches on, GIO's
// own words kept, the GError freed and cleared.
#include "adapters/linux/gio/gio_error.hpp"

#include <gio/gio.h>
#include <gtest/gtest.h>

namespace quenta::testing {
namespace {

using linux_platform::takeGError;

TEST(GioErrorTest, EachCodeBecomesItsKindWithGiosMessage) {
    const struct {
        GQuark domain;
        int code;
        ErrorKind kind;
    } cases[] = {
        {G_IO_ERROR, G_IO_ERROR_NOT_FOUND, ErrorKind::notFound},
        {G_IO_ERROR, G_IO_ERROR_EXISTS, ErrorKind::alreadyExists},
        {G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED, ErrorKind::permissionDenied},
        {G_IO_ERROR, G_IO_ERROR_NOT_DIRECTORY, ErrorKind::notADirectory},
        {G_IO_ERROR, G_IO_ERROR_IS_DIRECTORY, ErrorKind::isADirectory},
        {G_IO_ERROR, G_IO_ERROR_NO_SPACE, ErrorKind::noSpace},
        {G_IO_ERROR, G_IO_ERROR_INVALID_ARGUMENT, ErrorKind::invalidArgument},
        {G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED, ErrorKind::unsupported},
        {G_IO_ERROR, G_IO_ERROR_FAILED, ErrorKind::other},
        // Another domain's code that happens to equal G_IO_ERROR_NOT_FOUND.
        {G_FILE_ERROR, G_IO_ERROR_NOT_FOUND, ErrorKind::other},
    };
    for (const auto& each : cases) {
        GError* error = g_error_new_literal(each.domain, each.code, "GIO's words");
        const Error taken = takeGError(error, "fallback");
        EXPECT_EQ(taken, (Error{each.kind, "GIO's words"})) << "code " << each.code;
        EXPECT_EQ(error, nullptr);
    }
}

TEST(GioErrorTest, NoGErrorIsTheFallback) {
    GError* error = nullptr;
    EXPECT_EQ(takeGError(error, "the bus did not answer"),
              (Error{ErrorKind::other, "the bus did not answer"}));
}

}  // namespace
}  // namespace quenta::testing
