#pragma once

#include <QString>

#include <exception>
#include <string>

namespace quorvex {

/// A failure of the device flows or the push client that carries the text shown to the user.
class UserFacingError final : public std::exception {
public:
    explicit UserFacingError(QString message, int code = 0)
        : m_message(std::move(message))
        , m_utf8(m_message.toStdString())
        , m_code(code) {}
    const QString& message() const { return m_message; }
    int code() const { return m_code; }
    const char* what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_message;
    std::string m_utf8;
    int m_code;
};

} // namespace quorvex
