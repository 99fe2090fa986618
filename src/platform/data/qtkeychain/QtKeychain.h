#pragma once

#include "platform/data/Keychain.h"

namespace quorvex {

/// The keychain on QtKeychain, which on Linux speaks to the Secret Service of the session bus
/// (gnome-keyring, KWallet). The label is the backend's own: QtKeychain names its items itself.
class QtKeychain final : public Keychain {
public:
    bool isAvailable() const override;
    std::optional<QByteArray> read(const QString& service, const QString& account) override;
    Status write(const QString& service, const QString& account, const QString& label,
                 const QByteArray& data) override;
    Status remove(const QString& service, const QString& account) override;
};

} // namespace quorvex
