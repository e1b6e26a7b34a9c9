// How an operation that can fail says so: a value, or an Error with a kind the caller can tell
// apart and the system's detail. Kinds are small enums of the operation's own domain
// (kvf::ErrorKind, hid::OpenError); each caller maps them to its own words. Nothing here shows or
// logs anything.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace velorin {

template <typename Kind> struct Error {
    Kind kind{};
    std::string detail; // the system's reason (UTF-8), for logs and the command line; may be empty
};

// A value or an error. `E` is Error<Kind> or a struct derived from it that carries one more figure.
template <typename T, typename E> class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : v_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Only when !ok().
    const E& error() const { return std::get<1>(v_); }
    // The error's kind; the kind's default (None) on success.
    auto kind() const { return ok() ? decltype(E::kind){} : error().kind; }

private:
    std::variant<T, E> v_;
};

// Success that carries no value.
struct Done {};

template <typename E> using Status = Result<Done, E>;

} // namespace velorin
