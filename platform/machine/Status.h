#pragma once

#include <string>
#include <utility>
#include <variant>

namespace pervo::machine {

// What went wrong inside the machine, in terms the win32 layer can map to the
// error codes a caller of the original functions would see.
enum class Error {
    None,
    NotFound,
    Busy,
    AccessDenied,
    AlreadyExists,
    DiskFull,
    Corrupt,
    Io,
    InvalidArgument,
    NotSupported,
};

// The outcome of a fallible machine operation: no error, or an error with a
// sentence that says what failed and what to do about it.
class Status {
public:
    Status() = default;
    Status(Error error, std::string message) : m_error(error), m_message(std::move(message)) {}

    static Status Ok() { return {}; }

    bool IsOk() const { return m_error == Error::None; }
    explicit operator bool() const { return IsOk(); }
    Error GetError() const { return m_error; }
    const std::string& Message() const { return m_message; }

private:
    Error m_error = Error::None;
    std::string m_message;
};

// A value or the Status that explains why there is none.
template <typename T>
class Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Status status) : m_state(std::move(status)) {}

    bool IsOk() const { return m_state.index() == 0; }
    explicit operator bool() const { return IsOk(); }

    T& Value() & { return std::get<0>(m_state); }
    const T& Value() const& { return std::get<0>(m_state); }
    T&& Value() && { return std::get<0>(std::move(m_state)); }
    T* operator->() { return &Value(); }
    T& operator*() { return Value(); }

    // The failure; an Ok status when the result holds a value.
    Status GetStatus() const { return IsOk() ? Status::Ok() : std::get<1>(m_state); }

private:
    std::variant<T, Status> m_state;
};

}  // namespace pervo::machine
