#pragma once
// The program's error types. Everything that fails raises one of these; window
// handlers catch them at the top so no exception reaches the event loop.

#include <QString>
#include <exception>
#include <stdexcept>

namespace core {

class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// A statement or a table file that the store (or the central link) could not handle.
class DbError : public Error {
public:
    using Error::Error;
};

// A value that cannot be converted to the requested kind.
class ConversionError : public Error {
public:
    using Error::Error;
};

// The text of any exception: the message of our own errors, what() of the others.
QString errorText(const std::exception& e);

// Why a system call failed, for a message: the common reasons in Russian, the system's
// own text for the rest.
QString systemErrorText(int err);

// The text shown when something that is not a std::exception was thrown.
QString unexpectedErrorText();

}  // namespace core
