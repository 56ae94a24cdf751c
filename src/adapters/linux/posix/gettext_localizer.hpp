#pragma once

#include "ports/localizer.hpp"

#include <string>
#include <string_view>

namespace quenta::linux_platform {

// The texts in the user's language from the project's GNU gettext catalogues: the message
// catalogue "quenta" of the language the locale's LC_MESSAGES (and LANGUAGE) name, in the folder
// `localeDirectory`. It asks only its own catalogue, never the process's default one, so it serves
// a module loaded into a file manager as well as the project's own programs; the process's locale
// is whatever its main program set (see `useLocaleForMessages`). A key without a translation is
// answered as it stands.
class GettextLocalizer final : public Localizer {
  public:
    explicit GettextLocalizer(const std::string& localeDirectory);

    [[nodiscard]] std::string localized(std::string_view key) const override;
};

// Sets the process's locale from the environment (LANG, LC_*, LANGUAGE) for everything but
// numbers: what the program writes (logs, defaults, byte counts) keeps the C locale's number
// format. Only for the main() of the project's own programs; a module leaves the host's locale.
void useLocaleForMessages();

}  // namespace quenta::linux_platform
