#pragma once

#include "ports/defaults.hpp"

#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quenta::testing {

// In-memory user defaults that remember the order of the writes made to them.
class MemoryDefaults : public Defaults {
  public:
    // One write: the key and the value stored, or none for a removal.
    struct Write {
        std::string key;
        std::optional<DefaultsValue> value;

        friend bool operator==(const Write&, const Write&) = default;
    };

    [[nodiscard]] std::optional<DefaultsValue> object(std::string_view key) const override {
        const auto found = values.find(std::string(key));
        if (found == values.end()) {
            return std::nullopt;
        }
        return found->second;
    }
    Status setString(std::string_view key, std::string_view value) override {
        return store(key, DefaultsValue(std::string(value)));
    }
    // Kept to the whole millisecond, as the stored defaults are.
    Status setDate(std::string_view key, DefaultsDate value) override {
        return store(key, DefaultsValue(std::chrono::floor<std::chrono::milliseconds>(value)));
    }
    Status remove(std::string_view key) override {
        values.erase(std::string(key));
        writes.push_back({std::string(key), std::nullopt});
        return {};
    }

    // Stores a value of a kind the system does not read, as another program might have.
    void setOther(std::string_view key) { values[std::string(key)] = OtherDefaultsValue{}; }

    std::map<std::string, DefaultsValue> values;
    std::vector<Write> writes;

  private:
    Status store(std::string_view key, DefaultsValue value) {
        values[std::string(key)] = value;
        writes.push_back({std::string(key), std::move(value)});
        return {};
    }
};

}  // namespace quenta::testing
