#include "adapters/linux/gio/gio_error.hpp"

#include <gio/gio.h>

namespace quenta::linux_platform {
namespace {

ErrorKind kindOf(const GError& error) {
    if (error.domain != G_IO_ERROR) {
        return ErrorKind::other;
    }
    switch (error.code) {
        case G_IO_ERROR_NOT_FOUND:
            return ErrorKind::notFound;
        case G_IO_ERROR_EXISTS:
            return ErrorKind::alreadyExists;
        case G_IO_ERROR_PERMISSION_DENIED:
            return ErrorKind::permissionDenied;
        case G_IO_ERROR_NOT_DIRECTORY:
            return ErrorKind::notADirectory;
        case G_IO_ERROR_IS_DIRECTORY:
            return ErrorKind::isADirectory;
        case G_IO_ERROR_NO_SPACE:
            return ErrorKind::noSpace;
        case G_IO_ERROR_INVALID_ARGUMENT:
            return ErrorKind::invalidArgument;
        case G_IO_ERROR_NOT_SUPPORTED:
            return ErrorKind::unsupported;
        default:
            return ErrorKind::other;
    }
}

}  // namespace

Error takeGError(GError*& error, const char* fallback) {
    if (error == nullptr) {
        return Error{ErrorKind::other, fallback};
    }
    Error taken{kindOf(*error), error->message != nullptr ? error->message : fallback};
    g_clear_error(&error);
    return taken;
}

}  // namespace quenta::linux_platform
