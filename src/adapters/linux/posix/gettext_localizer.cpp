#include "adapters/linux/posix/gettext_localizer.hpp"

#include "ports/error.hpp"

#include <libintl.h>

#include <clocale>

namespace quenta::linux_platform {
namespace {

constexpr const char* kDomain = "quenta";

}  // namespace

GettextLocalizer::GettextLocalizer(const std::string& localeDirectory) {
    // Binding again (a module reloaded, a second localizer) gives the same answer.
    ignoreResult(::bindtextdomain(kDomain, localeDirectory.c_str()),
                 "without the binding the texts stay as they stand");
    ignoreResult(::bind_textdomain_codeset(kDomain, "UTF-8"),
                 "without the code set the texts come in the locale's character set");
}

std::string GettextLocalizer::localized(std::string_view key) const {
    // The key needs its terminating NUL; the answer is the key's own storage or the catalogue's.
    const std::string text(key);
    return ::dgettext(kDomain, text.c_str());
}

void useLocaleForMessages() {
    ignoreResult(std::setlocale(LC_ALL, ""),
                 "without the user's locale the C library speaks in the C locale");
    ignoreResult(std::setlocale(LC_NUMERIC, "C"), "the C locale's numbers are always available");
}

}  // namespace quenta::linux_platform
