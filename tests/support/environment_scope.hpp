#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace quenta::testing {

// Sets or unsets environment variables for the life of the object, then puts the old values back.
class EnvironmentScope {
  public:
    EnvironmentScope() = default;
    // One variable set to `value`, or unset when given none.
    EnvironmentScope(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            set(name, *value);
        } else {
            unset(name);
        }
    }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;
    ~EnvironmentScope() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

    void set(const std::string& name, const std::string& value) {
        save(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    void unset(const std::string& name) {
        save(name);
        ::unsetenv(name.c_str());
    }

  private:
    void save(const std::string& name) {
        if (saved_.count(name) == 0) {
            const char* old = std::getenv(name.c_str());
            saved_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        }
    }

    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace quenta::testing
