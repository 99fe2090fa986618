#pragma once

#include "platform/data/Keychain.h"

namespace quorvex {

/// The keychain on QtKeychain, which on Linux speaks to the Secret Service of the session bus
/// (GNOME Keyring, KWallet). The label is the backend's own: QtKeychain names its items itself,
/// by their service, and files the service and account as the attributes "server" and "user",
/// which is how removeAll finds every item of a service over the Secret Service's own interface.
///
/// Every job runs asynchronously on the session bus; a job the store never answers is left to
/// QtKeychain, which frees it once the bus gives up on it, and the caller hears of the bound.
class QtKeychain final : public Keychain {
public:
    explicit QtKeychain(Clock& clock, double answerBound = kDefaultAnswerBound);

protected:
    QFuture<std::optional<QString>> startUnavailableReason() override;
    QFuture<ReadResult> startRead(const QString& service, const QString& account) override;
    QFuture<Status> startWrite(const QString& service, const QString& account, const QString& label,
                               const QByteArray& data) override;
    QFuture<Status> startRemove(const QString& service, const QString& account) override;
    QFuture<Status> startRemoveAll(const QString& service, const std::optional<QString>& keep) override;
};

} // namespace quorvex
