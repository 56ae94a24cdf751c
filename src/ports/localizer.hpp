#pragma once

#include <string>
#include <string_view>

namespace quenta {

// Marks a text the user reads (in a menu, an alert, a window) where it is defined apart from the
// call that shows it: the text as it stands is its own localisation key. The catalogue's messages
// are extracted from the calls of `textKey` and `localized`, so every such text passes one of them.
constexpr std::string_view textKey(std::string_view key) {
    return key;
}

// The texts in the user's language. `localized` answers the translation of a key, or the key
// itself when there is none. Only whole texts are keys: the parts a message is composed of are
// localised one by one, and what is put between them (a path, the platform's error description, a
// version) never is. Any thread; the answer for a key does not change during a process.
class Localizer {
  public:
    virtual ~Localizer() = default;
    [[nodiscard]] virtual std::string localized(std::string_view key) const = 0;
};

// Every text as it stands: the interface without a catalogue.
class IdentityLocalizer final : public Localizer {
  public:
    [[nodiscard]] std::string localized(std::string_view key) const override {
        return std::string(key);
    }

    // One instance serves everyone who wants no translation: it holds nothing.
    static const IdentityLocalizer& instance() {
        static const IdentityLocalizer identity;
        return identity;
    }
};

}  // namespace quenta
