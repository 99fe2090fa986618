#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace quorvex {

/// The user's secret store: generic-password items named by a service and an account. Secrets
/// live only here, never in settings or logs.
///
/// Contract: every call is synchronous and runs on the GUI thread (a backend may spin a local
/// event loop while it waits). `write` replaces an item with the same service and account
/// atomically from the caller's point of view: on failure the previous item is still there. A
/// failure carries a text fit for the user; a missing item is not a failure of `remove`.
class Keychain {
public:
    struct Status {
        bool ok = true;
        int code = 0;  // the backend's error code, 0 on success
        QString error; // why it failed; empty on success
    };

    virtual ~Keychain() = default;

    /// False when no secret store can be reached (no session bus, no Secret Service): callers may
    /// then say so before asking the user for a secret.
    virtual bool isAvailable() const = 0;

    /// The item's data; none when there is no such item or it cannot be read.
    virtual std::optional<QByteArray> read(const QString& service, const QString& account) = 0;
    /// Adds the item, or replaces the one with the same service and account.
    virtual Status write(const QString& service, const QString& account, const QString& label,
                         const QByteArray& data) = 0;
    /// Removes the item; removing an item that does not exist succeeds.
    virtual Status remove(const QString& service, const QString& account) = 0;

    /// The process-wide keychain: the QtKeychain backend unless a test installed its own.
    static Keychain& shared();
    /// Installs `keychain` (nullptr restores the real one) and returns the one it replaces. The
    /// caller keeps ownership.
    static Keychain* install(Keychain* keychain);
};

} // namespace quorvex
