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

// Messages of the engine, word for word, and of the data-set layer. A failure
// of the engine also carries its extended result code and the system's error
// number behind it (both 0 when unknown), so that whoever shows it can say
// the cause in the user's language without reading the English text.
class EDatabaseError : public Exception {
public:
    explicit EDatabaseError(const std::string& message, int engineCode = 0, int systemError = 0)
        : Exception(message), engineCode_(engineCode), systemError_(systemError) {}
    int EngineCode() const { return engineCode_; }
    int SystemError() const { return systemError_; }
    // Another connection holds the file (busy or locked, whatever the extended part).
    bool Locked() const {
        const int primary = engineCode_ & 0xff;
        return primary == 5 || primary == 6;
    }

private:
    int engineCode_;
    int systemError_;
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
