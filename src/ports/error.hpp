#pragma once

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace quenta {

// The kind of a failure reported by a port. The logic only branches on a few of them; every other
// failure is reported to the user through its description alone.
enum class ErrorKind {
    notFound,
    alreadyExists,
    permissionDenied,
    notADirectory,
    isADirectory,
    noSpace,
    crossDevice,
    invalidArgument,
    unsupported,
    transport,
    badServerResponse,
    decoding,
    // The user stopped the operation.
    cancelled,
    // The item changed while it was being worked on, so nothing was done to it.
    changedMeanwhile,
    other,
};

// A failure at a port: its kind plus the platform's localized description, which is shown to the
// user unchanged ("创建文件失败：" + description).
struct Error {
    ErrorKind kind = ErrorKind::other;
    std::string description;

    friend bool operator==(const Error&, const Error&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const Error& error) {
    return out << error.description;
}

// Asking a failed Result for its value, or a successful one for its error, is a fault of the
// caller, never a failure to report: the process ends there, naming it, in every build.
[[noreturn]] inline void resultMisused(const char* asked, const char* held) noexcept {
    std::fprintf(stderr, "quenta: Result::%s() called on a Result that holds %s\n", asked, held);
    std::abort();
}

// The outcome of a port operation: a value or an Error. Failures travel as values; nothing throws
// across a port. Ask ok() before value() or error().
template <class T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::move(value)) {}      // NOLINT(google-explicit-constructor)
    Result(Error error) : state_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

    [[nodiscard]] bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    [[nodiscard]] const T& value() const& { return *held(state_); }
    [[nodiscard]] T& value() & { return *held(state_); }
    [[nodiscard]] T&& value() && { return std::move(*held(state_)); }
    [[nodiscard]] const Error& error() const {
        const Error* error = std::get_if<1>(&state_);
        if (error == nullptr) {
            resultMisused("error", "a value");
        }
        return *error;
    }

    friend bool operator==(const Result&, const Result&) = default;

  private:
    template <class State>
    static auto* held(State& state) noexcept {
        auto* value = std::get_if<0>(&state);
        if (value == nullptr) {
            resultMisused("value", "an error");
        }
        return value;
    }

    std::variant<T, Error> state_;
};

// The outcome of a port operation that yields nothing but success or an Error.
template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}  // NOLINT

    [[nodiscard]] bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    // On success, an Error of kind `other` with no description.
    [[nodiscard]] const Error& error() const { return error_; }

    friend bool operator==(const Result&, const Result&) = default;

  private:
    Error error_;
    bool failed_ = false;
};

using Status = Result<void>;

// Drops a result on purpose. `why` says, at the call, why no one needs to know how it went
// (`ignoreResult(status, "the plain-text copy is best effort")`); it is for the reader only.
template <class T>
constexpr void ignoreResult(const T& /*result*/, std::string_view /*why*/) noexcept {}

}  // namespace quenta
