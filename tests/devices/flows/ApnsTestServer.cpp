#include "devices/flows/ApnsTestServer.h"

#include <QFile>

namespace quorvex::test {

ApnsTestServer::ApnsTestServer(const QByteArray& signingPublicKey, bool http1Only) {
    const QString folder = m_folder.path();
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("1"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=api.push.apple.com"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=DNS:api.push.apple.com,DNS:api.sandbox.push.apple.com"),
                   QStringLiteral("-keyout"), folder + QStringLiteral("/key.pem"), QStringLiteral("-out"),
                   folder + QStringLiteral("/cert.pem")});
    if (!openssl.waitForFinished(20'000) || openssl.exitCode() != 0) {
        m_failure = QStringLiteral("openssl could not make a certificate");
        return;
    }
    QFile publicKey(folder + QStringLiteral("/signing.pem"));
    if (!publicKey.open(QIODevice::WriteOnly) ||
        publicKey.write(signingPublicKey) != signingPublicKey.size()) {
        m_failure = QStringLiteral("could not write the signing key");
        return;
    }
    publicKey.close();
    m_node.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments = {QStringLiteral(QUORVEX_SOURCE_DIR "/tests/devices/flows/apns-test-server.js"),
                             folder + QStringLiteral("/cert.pem"), folder + QStringLiteral("/key.pem"),
                             folder + QStringLiteral("/signing.pem")};
    if (http1Only)
        arguments << QStringLiteral("--http1");
    m_node.start(QStringLiteral("node"), arguments);
    if (!m_node.waitForStarted(10'000)) {
        m_failure = QStringLiteral("node did not start");
        return;
    }
    while (!m_node.canReadLine() && m_node.waitForReadyRead(10'000)) {
    }
    m_port = m_node.readLine().trimmed().toInt();
    if (m_port <= 0)
        m_failure = QStringLiteral("the server did not say its port");
}

ApnsTestServer::~ApnsTestServer() {
    if (m_node.state() == QProcess::NotRunning)
        return;
    m_node.closeWriteChannel();
    if (!m_node.waitForFinished(5'000)) {
        m_node.kill();
        m_node.waitForFinished(5'000);
    }
}

ApnsClient::Options ApnsTestServer::options(bool trusted) const {
    ApnsClient::Options options;
    // Any host on the service's port goes to the loopback server; the URL keeps its host name,
    // so the certificate is checked against it as in production.
    options.connectTo = "::127.0.0.1:" + std::to_string(m_port);
    // Untrusted: the system's store, which knows nothing of this self-signed certificate.
    if (trusted)
        options.caFile = (m_folder.path() + QStringLiteral("/cert.pem")).toStdString();
    return options;
}

} // namespace quorvex::test

namespace quorvex::test {

std::optional<QString> ApnsTestServer::nextLine(const QString& prefix, QStringList* skipped) {
    for (;;) {
        while (!m_node.canReadLine())
            if (!m_node.waitForReadyRead(10'000))
                return std::nullopt;
        const QString line = QString::fromUtf8(m_node.readLine().trimmed());
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
        if (skipped)
            skipped->append(line);
    }
}

std::optional<qint64> ApnsTestServer::bytesOfClosedConnection(QStringList* requests) {
    QStringList skipped;
    const auto closed = nextLine(QStringLiteral("closed "), &skipped);
    if (requests)
        for (const QString& line : skipped)
            if (line.startsWith(QLatin1String("request ")))
                requests->append(line.mid(8));
    return closed ? std::optional(closed->toLongLong()) : std::nullopt;
}

} // namespace quorvex::test
