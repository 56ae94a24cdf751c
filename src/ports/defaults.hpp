#pragma once

#include "ports/error.hpp"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace quenta {

// A stored value of a kind the system does not read (a number, a truth value, a list, ...). Kept
// apart from "no value", because a value of the wrong kind and a missing key are different answers.
struct OtherDefaultsValue {
    friend bool operator==(const OtherDefaultsValue&, const OtherDefaultsValue&) = default;
};

using DefaultsDate = std::chrono::system_clock::time_point;
using DefaultsValue = std::variant<std::string, DefaultsDate, OtherDefaultsValue>;

// The user defaults of one process's domain: a persistent dictionary of typed values that outlives
// the process. Safe to use from any thread. Another process of the same domain may change it at any
// time; every read sees the latest stored state.
class Defaults {
  public:
    virtual ~Defaults() = default;

    // The value under the key, or none when the key is missing.
    [[nodiscard]] virtual std::optional<DefaultsValue> object(std::string_view key) const = 0;

    // Store a value, replacing whatever the key held. On failure the value is still seen by this
    // process's later reads; the error says it could not be made persistent.
    virtual Status setString(std::string_view key, std::string_view value) = 0;
    virtual Status setDate(std::string_view key, DefaultsDate value) = 0;
    virtual Status remove(std::string_view key) = 0;

    // The string under the key; none when the key is missing or holds another kind of value.
    [[nodiscard]] std::optional<std::string> string(std::string_view key) const {
        auto value = object(key);
        if (value && std::holds_alternative<std::string>(*value)) {
            return std::get<std::string>(std::move(*value));
        }
        return std::nullopt;
    }

    // The date under the key; none when the key is missing or holds another kind of value.
    [[nodiscard]] std::optional<DefaultsDate> date(std::string_view key) const {
        const auto value = object(key);
        if (value && std::holds_alternative<DefaultsDate>(*value)) {
            return std::get<DefaultsDate>(*value);
        }
        return std::nullopt;
    }
};

}  // namespace quenta
