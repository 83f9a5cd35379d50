#pragma once
// Exceptions of the storage layer. Every failure is an exception carrying a
// message; the window shows the message as it stands, so texts are exact.
#include <stdexcept>
#include <string>

// Base of every storage failure.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Fixed English texts of the storage components ("Missing database property", ...).
class AsgError : public Exception {
public:
    using Exception::Exception;
};

// Messages of the engine, word for word, and of the data-set layer.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A text that does not convert to a number ("'%s' is not a valid integer value").
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A column number out of range ("List index out of bounds (%d)").
class EListError : public Exception {
public:
    using Exception::Exception;
};
