#pragma once

#include "devices/core/ApnsClient.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <string>

namespace quorvex::test {

/// The Node stand-in for the push service (apns-test-server.js) on a loopback port, with a
/// self-signed certificate for both service host names made at start. `options()` aims a client
/// at it while URL and server name stay those of the real service. Stops with the object.
class ApnsTestServer final {
public:
    /// `signingPublicKey`: the PEM public key the server checks provider tokens with.
    /// With `http1Only` the server offers HTTP/1.1 only and answers 200 to anything.
    explicit ApnsTestServer(const QByteArray& signingPublicKey, bool http1Only = false);
    ~ApnsTestServer();

    /// Empty when the server is running; else why it could not start.
    const QString& failure() const { return m_failure; }
    int port() const { return m_port; }
    /// Connect-to and CA file for a client that trusts this server.
    ApnsClient::Options options(bool trusted = true) const;
    /// HTTP/1.1 server only: the bytes that arrived over the next connection to close, once it
    /// has closed (none after 10 s), and the requests it printed meanwhile.
    std::optional<qint64> bytesOfClosedConnection(QStringList* requests = nullptr);
    /// The rest of the next line the server prints that starts with `prefix`; none after 10 s.
    /// The lines passed over on the way go to `skipped`.
    std::optional<QString> nextLine(const QString& prefix, QStringList* skipped = nullptr);

private:
    QTemporaryDir m_folder;
    QProcess m_node;
    int m_port = 0;
    QString m_failure;
};

} // namespace quorvex::test
