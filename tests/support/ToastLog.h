#pragma once

#include "simulator/Toast.h"

#include <QMetaObject>
#include <QStringList>

#include <vector>

namespace quorvex::test {

/// Every toast shown while it lives, in order.
class ToastLog final {
public:
    ToastLog() {
        m_connection =
            QObject::connect(&Toast::presenter(), &ToastPresenter::toastShown,
                             [this](const ToastMessage& message) { m_messages.push_back(message); });
    }
    ~ToastLog() { QObject::disconnect(m_connection); }
    ToastLog(const ToastLog&) = delete;
    ToastLog& operator=(const ToastLog&) = delete;

    const std::vector<ToastMessage>& messages() const { return m_messages; }
    QStringList titles() const {
        QStringList result;
        for (const ToastMessage& message : m_messages)
            result << message.title;
        return result;
    }

private:
    QMetaObject::Connection m_connection;
    std::vector<ToastMessage> m_messages;
};

} // namespace quorvex::test
