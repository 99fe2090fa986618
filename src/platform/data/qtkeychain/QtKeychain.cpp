#include "platform/data/qtkeychain/QtKeychain.h"

#include "platform/data/PlatformLog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPromise>

#include <qt6keychain/keychain.h>

#include <memory>

using SecretAttributes = QMap<QString, QString>;
Q_DECLARE_METATYPE(SecretAttributes)

namespace quorvex {

namespace {

const QString kSecretsName = QStringLiteral("org.freedesktop.secrets");
const QString kSecretsPath = QStringLiteral("/org/freedesktop/secrets");

const QString kNoSecretService =
    QStringLiteral("No secrets service, such as GNOME Keyring or KWallet, is running.");

Keychain::Status statusOf(const QKeychain::Job& job) {
    if (job.error() == QKeychain::NoError)
        return {};
    // The bus's words for a missing service name nothing the user knows; the plain sentence
    // goes to the user, the bus's words to the log.
    const QString said = job.errorString();
    if (job.error() == QKeychain::NoBackendAvailable ||
        said.contains(QLatin1String("org.freedesktop.secrets"))) {
        qCWarning(platformLog) << "keychain:" << said;
        return {false, int(job.error()), kNoSecretService};
    }
    return {false, int(job.error()), said};
}

// Starts a QtKeychain job and answers with what `outcome` reads of it once it has finished. The
// job deletes itself after finishing; one the store never answers stays with QtKeychain.
template <typename Job, typename T> QFuture<T> runJob(Job* job, T (*outcome)(const Job&)) {
    auto promise = std::make_shared<QPromise<T>>();
    promise->start();
    job->setAutoDelete(true);
    // Never fall back to a plain-text file: a secret that cannot go to the store is not kept.
    job->setInsecureFallback(false);
    QObject::connect(job, &QKeychain::Job::finished, job, [promise, outcome](QKeychain::Job* finished) {
        promise->addResult(outcome(*static_cast<Job*>(finished)));
        promise->finish();
    });
    job->start();
    return promise->future();
}

QString describe(const QDBusError& error) {
    if (error.type() == QDBusError::ServiceUnknown ||
        error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return kNoSecretService;
    return error.message();
}

// Calls the Secret Service on the session bus; `done` gets the reply on the GUI thread.
void callSecrets(const QString& path, const QString& interface, const QString& method,
                 const QVariantList& arguments, std::function<void(const QDBusMessage&)> done) {
    QDBusMessage message = QDBusMessage::createMethodCall(kSecretsName, path, interface, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         done(finished->reply());
                     });
}

QList<QDBusObjectPath> paths(const QVariant& argument) {
    QList<QDBusObjectPath> result;
    argument.value<QDBusArgument>() >> result;
    return result;
}

// Searches the items with these attributes: unlocked and locked ones alike.
void searchItems(const SecretAttributes& attributes,
                 std::function<void(std::optional<QList<QDBusObjectPath>>, QString)> done) {
    callSecrets(kSecretsPath, QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("SearchItems"),
                {QVariant::fromValue(attributes)}, [done = std::move(done)](const QDBusMessage& reply) {
                    if (reply.type() == QDBusMessage::ErrorMessage || reply.arguments().size() != 2) {
                        done(std::nullopt, describe(QDBusError(reply)));
                        return;
                    }
                    done(paths(reply.arguments()[0]) + paths(reply.arguments()[1]), {});
                });
}

} // namespace

QtKeychain::QtKeychain(Clock& clock, double answerBound)
    : Keychain(clock, answerBound) {
    qDBusRegisterMetaType<SecretAttributes>();
}

QFuture<std::optional<QString>> QtKeychain::startUnavailableReason() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QtFuture::makeReadyFuture(std::optional<QString>(
            QStringLiteral("There is no D-Bus session bus, so no keyring can be reached (%1).")
                .arg(bus.lastError().message())));
    // Any service answers Ping; one that is registered but stuck does not, and the bound tells.
    auto promise = std::make_shared<QPromise<std::optional<QString>>>();
    promise->start();
    callSecrets(kSecretsPath, QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"), {},
                [promise](const QDBusMessage& reply) {
                    promise->addResult(reply.type() == QDBusMessage::ErrorMessage
                                           ? std::optional<QString>(describe(QDBusError(reply)))
                                           : std::nullopt);
                    promise->finish();
                });
    return promise->future();
}

QFuture<Keychain::ReadResult> QtKeychain::startRead(const QString& service, const QString& account) {
    auto* job = new QKeychain::ReadPasswordJob(service);
    job->setKey(account);
    return runJob<QKeychain::ReadPasswordJob, ReadResult>(job, [](const QKeychain::ReadPasswordJob& done) {
        if (done.error() == QKeychain::NoError)
            return ReadResult{done.binaryData(), {}};
        if (done.error() == QKeychain::EntryNotFound)
            return ReadResult{};
        return ReadResult{std::nullopt, statusOf(done)};
    });
}

QFuture<Keychain::Status> QtKeychain::startWrite(const QString& service, const QString& account,
                                                 const QString&, const QByteArray& data) {
    auto* job = new QKeychain::WritePasswordJob(service);
    job->setKey(account);
    job->setBinaryData(data);
    return runJob<QKeychain::WritePasswordJob, Status>(
        job, [](const QKeychain::WritePasswordJob& done) { return statusOf(done); });
}

QFuture<Keychain::Status> QtKeychain::startRemove(const QString& service, const QString& account) {
    auto* job = new QKeychain::DeletePasswordJob(service);
    job->setKey(account);
    return runJob<QKeychain::DeletePasswordJob, Status>(job, [](const QKeychain::DeletePasswordJob& done) {
        return done.error() == QKeychain::EntryNotFound ? Status{} : statusOf(done);
    });
}

QFuture<Keychain::Status> QtKeychain::startRemoveAll(const QString& service,
                                                     const std::optional<QString>& keep) {
    auto promise = std::make_shared<QPromise<Status>>();
    promise->start();
    const auto finish = [promise](Status status) {
        promise->addResult(std::move(status));
        promise->finish();
    };
    // Every item of the service, then the kept one, then a Delete for each of the rest; the
    // call ends with the last answer, and with the first failure as its status.
    searchItems(
        {{QStringLiteral("server"), service}},
        [finish, service, keep](std::optional<QList<QDBusObjectPath>> all, const QString& error) {
            if (!all) {
                finish({false, int(QKeychain::OtherError), error});
                return;
            }
            const auto removeOthers = [finish](QList<QDBusObjectPath> doomed) {
                if (doomed.isEmpty()) {
                    finish({});
                    return;
                }
                struct Pending {
                    qsizetype left;
                    Status status;
                };
                auto pending = std::make_shared<Pending>(Pending{doomed.size(), {}});
                for (const QDBusObjectPath& item : doomed)
                    callSecrets(item.path(), QStringLiteral("org.freedesktop.Secret.Item"),
                                QStringLiteral("Delete"), {}, [finish, pending](const QDBusMessage& reply) {
                                    if (pending->status.ok && reply.type() == QDBusMessage::ErrorMessage)
                                        pending->status = {false, int(QKeychain::CouldNotDeleteEntry),
                                                           describe(QDBusError(reply))};
                                    // A prompt means the keyring wants the user to unlock it first.
                                    else if (pending->status.ok && !reply.arguments().isEmpty() &&
                                             reply.arguments()[0].value<QDBusObjectPath>().path() !=
                                                 QLatin1String("/"))
                                        pending->status = {false, int(QKeychain::AccessDenied),
                                                           QStringLiteral("The keyring is locked.")};
                                    if (--pending->left == 0)
                                        finish(pending->status);
                                });
            };
            if (!keep) {
                removeOthers(*all);
                return;
            }
            searchItems({{QStringLiteral("server"), service}, {QStringLiteral("user"), *keep}},
                        [removeOthers, all](std::optional<QList<QDBusObjectPath>> kept, const QString&) {
                            QList<QDBusObjectPath> doomed;
                            for (const QDBusObjectPath& item : *all)
                                if (!kept || !kept->contains(item))
                                    doomed.append(item);
                            // Without knowing which item to keep, none is removed.
                            removeOthers(kept ? doomed : QList<QDBusObjectPath>{});
                        });
        });
    return promise->future();
}

} // namespace quorvex
