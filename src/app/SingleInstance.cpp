#include "app/SingleInstance.h"

#include <QLocalSocket>

namespace quorvex {
namespace {

const QByteArray kOpenMenu = QByteArrayLiteral("open-menu\n");
constexpr int kConnectTimeoutMs = 1'000;

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath)) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->canReadLine() && socket->readLine() == kOpenMenu) {
                    socket->write("ok\n");
                    socket->flush();
                    emit openMenuRequested();
                }
            });
        }
    });
}

bool SingleInstance::claim() {
    QLocalSocket other;
    other.connectToServer(m_socketPath);
    if (other.waitForConnected(kConnectTimeoutMs)) {
        other.write(kOpenMenu);
        other.flush();
        other.waitForReadyRead(kConnectTimeoutMs);
        return false;
    }
    // Nobody answers: whatever socket file is there was left by a run that ended.
    QLocalServer::removeServer(m_socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(m_socketPath);
}

} // namespace quorvex
