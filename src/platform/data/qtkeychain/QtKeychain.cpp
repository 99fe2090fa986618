#include "platform/data/qtkeychain/QtKeychain.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>

#include <qt6keychain/keychain.h>

namespace quorvex {

namespace {

// QtKeychain reports through a signal; the contract is synchronous, so wait in a local loop.
void runToEnd(QKeychain::Job& job) {
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.setAutoDelete(false);
    // Never fall back to a plain-text file: a secret that cannot go to the store is not kept.
    job.setInsecureFallback(false);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

Keychain::Status statusOf(const QKeychain::Job& job) {
    if (job.error() == QKeychain::NoError)
        return {};
    return {false, int(job.error()), job.errorString()};
}

} // namespace

bool QtKeychain::isAvailable() const {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const auto registered = bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets"));
    if (registered.isValid() && registered.value())
        return true;
    // The Secret Service is often started on demand by the bus.
    const auto activatable = bus.interface()->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(QStringLiteral("org.freedesktop.secrets"));
}

std::optional<QByteArray> QtKeychain::read(const QString& service, const QString& account) {
    QKeychain::ReadPasswordJob job(service);
    job.setKey(account);
    runToEnd(job);
    if (job.error() != QKeychain::NoError)
        return std::nullopt;
    return job.binaryData();
}

Keychain::Status QtKeychain::write(const QString& service, const QString& account, const QString&,
                                   const QByteArray& data) {
    QKeychain::WritePasswordJob job(service);
    job.setKey(account);
    job.setBinaryData(data);
    runToEnd(job);
    return statusOf(job);
}

Keychain::Status QtKeychain::remove(const QString& service, const QString& account) {
    QKeychain::DeletePasswordJob job(service);
    job.setKey(account);
    runToEnd(job);
    if (job.error() == QKeychain::EntryNotFound)
        return {};
    return statusOf(job);
}

} // namespace quorvex
