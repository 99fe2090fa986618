#pragma once

#include "devices/core/SigningKey.h"
#include "platform/data/Keychain.h"

#include <QByteArray>
#include <QDateTime>
#include <QFuture>
#include <QString>

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvex {

/// The provider side of the Apple Push Notification service: the signing key in the keychain and
/// its identifiers in the settings, the ES256 provider token (reused for 40 minutes), the HTTP/2
/// request for one notification, and hints for the service's error reasons. Sending is
/// ApnsClient's. GUI thread, apart from the pure functions; the keychain is only ever asked
/// asynchronously, so a keyring that hangs never holds up the caller.
class Apns final {
public:
    Apns() = delete;

    enum class Environment { sandbox, production };
    static constexpr std::array<Environment, 2> kAllEnvironments = {Environment::sandbox,
                                                                    Environment::production};
    static QString rawValue(Environment environment);
    static QString host(Environment environment);

    struct Credentials {
        QString keyID;
        QString teamID;
        QString fileName;
        bool operator==(const Credentials&) const = default;
        QByteArray encode() const;
        static std::optional<Credentials> decode(const QByteArray& json);
    };

    /// A rejected push: the HTTP status (0 when none was received or no request could be made)
    /// and the service's reason, or the standard text of the status.
    struct Failure {
        int status = 0;
        QString reason;
        QString description() const { return reason + QStringLiteral(" (%1)").arg(status); }
    };

    /// One notification as it goes on the wire: POST to `url` with exactly these headers, in
    /// this order, and `body`.
    struct Request {
        std::string url;
        std::vector<std::pair<std::string, std::string>> headers;
        QByteArray body;
        long timeoutSeconds = 60;
    };

    static inline const QString kKeychainService = QStringLiteral("com.zelmora.Quorvex.apns-key");
    static inline const QString kCredentialsKey = QStringLiteral("apns.credentials");
    /// Tokens are reused while younger than this (the service refuses them after an hour).
    static constexpr qint64 kTokenLifetimeSeconds = 2400;

    /// The token's hexadecimal digits, lower-cased; everything else dropped.
    static QString normalizedToken(const QString& token);
    /// At least 64 characters, an even count, hexadecimal digits only.
    static bool isValidToken(const QString& token);
    /// A JSON object whose "aps" object has "content-available" equal to the number 1 and none of
    /// "alert", "sound", "badge".
    static bool isBackgroundPayload(const QString& payload);
    /// The request, or none when the token is invalid or the topic empty.
    static std::optional<Request> request(const QString& token, const QString& topic, const QString& payload,
                                          Environment environment, const QString& providerToken);

    /// base64url without padding.
    static QByteArray base64URL(const QByteArray& data);
    /// A new ES256 token: header {"alg":"ES256","kid":keyID}, claims {"iat":seconds,"iss":teamID},
    /// both compact with sorted keys. Throws UserFacingError when signing fails.
    static QString makeProviderToken(const QString& keyID, const QString& teamID, const SigningKey& key,
                                     const QDateTime& now);
    /// The cached token while it was made for these credentials and is younger than 2400 s (an
    /// age below zero, a clock put back, counts as stale); else a new one, cached.
    static QString providerToken(const Credentials& credentials, const SigningKey& key, const QDateTime& now);
    /// Forgets the cached token: the key changed, or the service refused the token.
    static void dropCachedToken();
    /// True for the reasons after which a new token must be signed.
    static bool isTokenRejection(const QString& reason);

    /// The stored signing key, or why there is none.
    struct LoadedKey {
        std::optional<SigningKey> key;
        /// "No push key saved yet.", the parse error, or the keychain's own reason.
        QString error;
        /// The keychain could not be asked (none running, no answer): the key may still be there.
        bool keychainFailed = false;
    };
    /// The key of the stored credentials, read from the keychain.
    static QFuture<LoadedKey> loadSigningKey();
    /// Checks the PEM text, stores it in the keychain under the new Key ID (a failure keeps the
    /// old key), then removes every other item of the service and stores the credentials. The
    /// message when it failed (the parse error, or the keychain's code and reason), else none.
    static QFuture<std::optional<QString>> saveKey(const QByteArray& pem, const Credentials& credentials);
    static std::optional<Credentials> loadCredentials();
    /// Forgets the credentials at once and removes every keychain item of the service.
    static QFuture<Keychain::Status> removeKey();

    /// "AuthKey_ABCDE12345.p8" gives "ABCDE12345": exactly ten letters or digits, upper-cased.
    static std::optional<QString> keyID(const QString& fileName);
    /// A short hint for the service's reason, when there is one.
    static std::optional<QString> hint(const QString& reason);
    /// The standard reason phrase of an HTTP status ("Forbidden").
    static QString statusText(int status);
};

} // namespace quorvex
