#pragma once

#include <QByteArray>
#include <QFuture>
#include <QString>

#include <optional>

namespace quorvex {

class Clock;

/// The user's secret store: generic-password items named by a service and an account. Secrets
/// live only here, never in settings or logs.
///
/// Contract: every call returns at once; its future finishes on the GUI thread when the store has
/// answered, or after answerBound() seconds on the Clock with the status kNoAnswer when it has not
/// (a store may hang: the caller is never kept waiting). `write` replaces an item with the same
/// service and account atomically from the caller's point of view: on failure the previous item
/// is still there. A failure carries the store's own text; a missing item is a failure neither of
/// `read` (no data) nor of the removals.
///
/// Backends implement the start* calls and finish their futures on the GUI thread.
class Keychain {
public:
    struct Status {
        bool ok = true;
        int code = 0;  // the backend's error code, 0 on success
        QString error; // why it failed, in the store's own words; empty on success
    };
    struct ReadResult {
        std::optional<QByteArray> data; // none: no such item, or the store failed (status)
        Status status;
    };

    /// The code of a call the store did not answer in time.
    static constexpr int kNoAnswer = -1;
    static constexpr double kDefaultAnswerBound = 5.0;

    explicit Keychain(Clock& clock, double answerBound = kDefaultAnswerBound);
    virtual ~Keychain() = default;

    double answerBound() const { return m_bound; }

    /// Why no secret store can be used right now (none running, or one that does not answer),
    /// or none when one answers: callers say so before asking the user for a secret.
    QFuture<std::optional<QString>> unavailableReason();
    QFuture<ReadResult> read(const QString& service, const QString& account);
    /// Adds the item, or replaces the one with the same service and account.
    QFuture<Status> write(const QString& service, const QString& account, const QString& label,
                          const QByteArray& data);
    /// Removes the item.
    QFuture<Status> remove(const QString& service, const QString& account);
    /// Removes every item of the service, whatever its account, but the one of `keep`.
    QFuture<Status> removeAll(const QString& service, const std::optional<QString>& keep = std::nullopt);

    /// The text of a call the store did not answer within the bound.
    QString noAnswerText() const;

    /// The process-wide keychain: the QtKeychain backend unless a test installed its own.
    static Keychain& shared();
    /// Installs `keychain` (nullptr restores the real one) and returns the one it replaces. The
    /// caller keeps ownership.
    static Keychain* install(Keychain* keychain);

protected:
    virtual QFuture<std::optional<QString>> startUnavailableReason() = 0;
    virtual QFuture<ReadResult> startRead(const QString& service, const QString& account) = 0;
    virtual QFuture<Status> startWrite(const QString& service, const QString& account, const QString& label,
                                       const QByteArray& data) = 0;
    virtual QFuture<Status> startRemove(const QString& service, const QString& account) = 0;
    virtual QFuture<Status> startRemoveAll(const QString& service, const std::optional<QString>& keep) = 0;

private:
    template <typename T> QFuture<T> bounded(QFuture<T> answer, T noAnswer);

    Clock& m_clock;
    double m_bound;
};

} // namespace quorvex
