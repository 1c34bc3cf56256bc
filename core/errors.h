// The product's failures. Every error is an exception carrying one Windows-1251 message text;
// a user's No at a confirmation is a silent abort, a distinct type that nobody logs or shows.
#pragma once

#include <stdexcept>
#include <string>

namespace xqv {

// An error the program raises itself. KindName() is what the application-wide handler logs
// before the message ("Exception - ..."); other kinds (input/output, client library) override it.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
    virtual const char* KindName() const { return "Exception"; }
    std::string Message() const { return what(); }
};

// An input/output failure of the run log (append, write or close of the log file).
class InOutError : public Error {
public:
    using Error::Error;
    const char* KindName() const override { return "EInOutError"; }
};

// The user declined a confirmation: the operation stops without a trace.
class SilentAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

} // namespace xqv
