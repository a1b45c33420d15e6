#pragma once
// The program's error classes. Handlers throw them; the error guard turns
// them into an error box and the program runs on.
#include <QString>
#include <exception>

namespace tegaro {

class Exception : public std::exception {
public:
    explicit Exception(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    // detail: what lies behind the message (a driver's own words), shown
    // apart from it on request.
    Exception(QString message, QString detail) : Exception(std::move(message)) { detail_ = std::move(detail); }
    const QString& message() const noexcept { return message_; }
    const QString& detail() const noexcept { return detail_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QString detail_;
    QByteArray utf8_;
};

} // namespace tegaro

// Named after the classes the rest of the program expects.
class EInOutError : public tegaro::Exception {
public:
    using Exception::Exception;
};
class EConvertError : public tegaro::Exception {
public:
    using Exception::Exception;
};
class EDatabaseError : public tegaro::Exception {
public:
    using Exception::Exception;
};
class EInvalidGraphic : public tegaro::Exception {
public:
    using Exception::Exception;
};
