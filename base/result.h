#pragma once
// Errors from the pure libraries: a text for the user and, where the system
// gave one, its errno value so a caller can choose its own wording.
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace korl {

struct Error {
    std::string message;
    int code = 0; // errno value, 0 when the failure did not come from the system
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const { return std::get<1>(state_); }

private:
    std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return *error_; }

private:
    std::optional<Error> error_;
};

// "what: system text" with the errno value kept.
Error SystemError(std::string what, int code);

// The system's own English text for an errno value ("No such file or
// directory"), whatever the user's locale: messages and logs read alike.
std::string SystemText(int code);

} // namespace korl
