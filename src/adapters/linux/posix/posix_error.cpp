#include "adapters/linux/posix/posix_error.hpp"

#include <locale.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <string>

namespace quenta::linux_platform {

ErrorKind errorKindForErrno(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
            return ErrorKind::notFound;
        case EEXIST:
        case ENOTEMPTY:
            return ErrorKind::alreadyExists;
        case EACCES:
        case EPERM:
        case EROFS:
            return ErrorKind::permissionDenied;
        case ENOTDIR:
            return ErrorKind::notADirectory;
        case EISDIR:
            return ErrorKind::isADirectory;
        case ENOSPC:
        case EDQUOT:
            return ErrorKind::noSpace;
        case EXDEV:
            return ErrorKind::crossDevice;
        case EINVAL:
        case ENAMETOOLONG:
        case ELOOP:
            return ErrorKind::invalidArgument;
        case ENOSYS:
        case EOPNOTSUPP:
            return ErrorKind::unsupported;
        default:
            return ErrorKind::other;
    }
}

Error errorFromErrno(int errnoValue) {
    // strerror_l with the locale the process took from the environment, so the person reads the
    // description in their own language.
    const locale_t locale = newlocale(LC_MESSAGES_MASK, "", static_cast<locale_t>(nullptr));
    std::string description;
    if (locale != static_cast<locale_t>(nullptr)) {
        description = strerror_l(errnoValue, locale);
        freelocale(locale);
    } else {
        description = std::strerror(errnoValue);
    }
    return Error{errorKindForErrno(errnoValue), std::move(description)};
}

Error errorFromErrno(int errnoValue, std::string_view context) {
    Error error = errorFromErrno(errnoValue);
    if (!context.empty()) {
        error.description = std::string(context) + ": " + error.description;
    }
    return error;
}

}  // namespace quenta::linux_platform
