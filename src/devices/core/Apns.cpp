#include "devices/core/Apns.h"

#include "devices/core/UserFacingError.h"
#include "platform/data/Keychain.h"
#include "tools/Environment.h"

#include <QPromise>
#include <QSettings>

#include <nlohmann/json.hpp>

#include <cctype>
#include <mutex>

namespace quorvex {

namespace {

struct CachedToken {
    Apns::Credentials credentials;
    QString token;
    QDateTime issued;
};

std::mutex g_cacheLock;
std::optional<CachedToken> g_cache;

// isxdigit takes only values of unsigned char: a UTF-16 unit past 255 would index past its
// table. The ASCII test comes first.
bool isAsciiHexDigit(QChar c) {
    return c.unicode() < 128 && std::isxdigit(c.unicode());
}

QString noKeyMessage() {
    return QStringLiteral("No push key saved yet.");
}

} // namespace

QString Apns::rawValue(Environment environment) {
    return environment == Environment::production ? QStringLiteral("production") : QStringLiteral("sandbox");
}

QString Apns::host(Environment environment) {
    return environment == Environment::production ? QStringLiteral("api.push.apple.com")
                                                  : QStringLiteral("api.sandbox.push.apple.com");
}

QByteArray Apns::Credentials::encode() const {
    const nlohmann::json object = {{"keyID", keyID.toStdString()},
                                   {"teamID", teamID.toStdString()},
                                   {"fileName", fileName.toStdString()}};
    return QByteArray::fromStdString(object.dump());
}

std::optional<Apns::Credentials> Apns::Credentials::decode(const QByteArray& json) {
    const auto object = nlohmann::json::parse(json.begin(), json.end(), nullptr, false);
    if (!object.is_object())
        return std::nullopt;
    Credentials credentials;
    for (auto [key, field] :
         {std::pair{"keyID", &credentials.keyID}, std::pair{"teamID", &credentials.teamID},
          std::pair{"fileName", &credentials.fileName}}) {
        const auto value = object.find(key);
        if (value == object.end() || !value->is_string())
            return std::nullopt;
        *field = QString::fromStdString(value->get<std::string>());
    }
    return credentials;
}

QString Apns::normalizedToken(const QString& token) {
    QString result;
    for (const QChar c : token)
        if (isAsciiHexDigit(c))
            result += c.toLower();
    return result;
}

bool Apns::isValidToken(const QString& token) {
    if (token.size() < 64 || token.size() % 2 != 0)
        return false;
    return std::all_of(token.begin(), token.end(), isAsciiHexDigit);
}

bool Apns::isBackgroundPayload(const QString& payload) {
    const std::string text = payload.toStdString();
    const auto json = nlohmann::json::parse(text, nullptr, false);
    if (!json.is_object())
        return false;
    const auto aps = json.find("aps");
    if (aps == json.end() || !aps->is_object())
        return false;
    const auto available = aps->find("content-available");
    // The number 1 only: 1.0 is that number too, a string "1" or true is not.
    if (available == aps->end() || !available->is_number() || available->get<double>() != 1.0)
        return false;
    return !aps->contains("alert") && !aps->contains("sound") && !aps->contains("badge");
}

std::optional<Apns::Request> Apns::request(const QString& token, const QString& topic, const QString& payload,
                                           Environment environment, const QString& providerToken) {
    const QString normalized = normalizedToken(token);
    if (!isValidToken(normalized) || topic.isEmpty())
        return std::nullopt;
    const bool background = isBackgroundPayload(payload);
    Request request;
    request.url = ("https://" + host(environment) + "/3/device/" + normalized).toStdString();
    request.headers = {
        {"authorization", ("bearer " + providerToken).toStdString()},
        {"apns-topic", topic.toStdString()},
        {"apns-push-type", background ? "background" : "alert"},
        {"apns-priority", background ? "5" : "10"},
    };
    request.body = payload.toUtf8();
    return request;
}

QByteArray Apns::base64URL(const QByteArray& data) {
    return data.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QString Apns::makeProviderToken(const QString& keyID, const QString& teamID, const SigningKey& key,
                                const QDateTime& now) {
    // nlohmann's objects keep their keys sorted and dump() is compact: alg before kid, iat
    // before iss, as the service's examples and every verifier expect byte for byte.
    const nlohmann::json header = {{"alg", "ES256"}, {"kid", keyID.toStdString()}};
    const nlohmann::json claims = {{"iss", teamID.toStdString()},
                                   {"iat", now.toMSecsSinceEpoch() / 1000}}; // toward zero
    const QByteArray input = base64URL(QByteArray::fromStdString(header.dump())) + '.' +
                             base64URL(QByteArray::fromStdString(claims.dump()));
    return QString::fromLatin1(input + '.' + base64URL(key.sign(input)));
}

QString Apns::providerToken(const Credentials& credentials, const SigningKey& key, const QDateTime& now) {
    std::lock_guard lock(g_cacheLock);
    if (g_cache && g_cache->credentials == credentials) {
        const qint64 age = g_cache->issued.secsTo(now);
        if (age >= 0 && age < kTokenLifetimeSeconds)
            return g_cache->token;
    }
    QString token = makeProviderToken(credentials.keyID, credentials.teamID, key, now);
    g_cache = CachedToken{credentials, token, now};
    return token;
}

void Apns::dropCachedToken() {
    std::lock_guard lock(g_cacheLock);
    g_cache.reset();
}

bool Apns::isTokenRejection(const QString& reason) {
    return reason == QLatin1String("InvalidProviderToken") || reason == QLatin1String("ExpiredProviderToken");
}

QFuture<Apns::LoadedKey> Apns::loadSigningKey() {
    const auto credentials = loadCredentials();
    if (!credentials)
        return QtFuture::makeReadyFuture(LoadedKey{std::nullopt, noKeyMessage()});
    return Keychain::shared()
        .read(kKeychainService, credentials->keyID)
        .then([](const Keychain::ReadResult& read) {
            if (!read.status.ok)
                return LoadedKey{std::nullopt, read.status.error, true};
            if (!read.data)
                return LoadedKey{std::nullopt, noKeyMessage()};
            try {
                return LoadedKey{SigningKey::fromPem(QString::fromUtf8(*read.data).trimmed().toUtf8()), {}};
            } catch (const UserFacingError& error) {
                return LoadedKey{std::nullopt, error.message()};
            }
        });
}

QFuture<std::optional<QString>> Apns::saveKey(const QByteArray& pem, const Credentials& credentials) {
    try {
        SigningKey::fromPem(QString::fromUtf8(pem).trimmed().toUtf8());
    } catch (const UserFacingError& error) {
        return QtFuture::makeReadyFuture(std::optional<QString>(error.message()));
    }
    auto saved = std::make_shared<QPromise<std::optional<QString>>>();
    saved->start();
    const auto finish = [saved](std::optional<QString> message) {
        saved->addResult(std::move(message));
        saved->finish();
    };
    Keychain& keychain = Keychain::shared();
    // The new item first, so a failed write leaves the previous key where it was; then every
    // other item of the service goes (its status does not matter: a leftover is only clutter).
    keychain
        .write(kKeychainService, credentials.keyID, QStringLiteral("Quorvex APNs key ") + credentials.keyID,
               pem)
        .then([&keychain, credentials, finish](const Keychain::Status& written) {
            if (!written.ok) {
                const QString code = written.code == Keychain::kNoAnswer
                                         ? QString()
                                         : QStringLiteral(" (%1)").arg(written.code);
                finish(
                    QStringLiteral("Couldn’t save the key in the Keychain%1. %2").arg(code, written.error));
                return;
            }
            keychain.removeAll(kKeychainService, credentials.keyID)
                .then([credentials, finish](const Keychain::Status&) {
                    sharedDefaults().setValue(kCredentialsKey, credentials.encode());
                    sharedDefaults().sync();
                    dropCachedToken();
                    finish(std::nullopt);
                });
        });
    return saved->future();
}

std::optional<Apns::Credentials> Apns::loadCredentials() {
    const QVariant value = sharedDefaults().value(kCredentialsKey);
    if (!value.isValid())
        return std::nullopt;
    return Credentials::decode(value.toByteArray());
}

QFuture<Keychain::Status> Apns::removeKey() {
    sharedDefaults().remove(kCredentialsKey);
    sharedDefaults().sync();
    dropCachedToken();
    return Keychain::shared().removeAll(kKeychainService);
}

std::optional<QString> Apns::keyID(const QString& fileName) {
    static const QString prefix = QStringLiteral("AuthKey_");
    static const QString suffix = QStringLiteral(".p8");
    if (!fileName.startsWith(prefix) || !fileName.endsWith(suffix))
        return std::nullopt;
    const QString middle = fileName.mid(prefix.size(), fileName.size() - prefix.size() - suffix.size());
    if (fileName.size() < prefix.size() + suffix.size() || middle.size() != 10)
        return std::nullopt;
    for (const QChar c : middle)
        if (!c.isLetterOrNumber())
            return std::nullopt;
    return middle.toUpper();
}

std::optional<QString> Apns::hint(const QString& reason) {
    static const std::vector<std::pair<std::vector<const char*>, const char*>> kHints = {
        {{"BadDeviceToken"},
         "The token doesn’t match this environment. Xcode builds use Development; TestFlight and App Store "
         "builds use Production."},
        {{"DeviceTokenNotForTopic", "TopicDisallowed"},
         "The token belongs to another app, or the key’s team doesn’t own this bundle ID."},
        {{"InvalidProviderToken", "MissingProviderToken"},
         "Check the Key ID and Team ID, and that the key is enabled for APNs."},
        {{"ExpiredProviderToken"}, "This computer’s clock may be off."},
        {{"TooManyProviderTokenUpdates"},
         "Wait a minute and send again; the signed token is reused from then on."},
        {{"BadTopic", "MissingTopic"}, "Check the app’s bundle ID."},
        {{"PayloadTooLarge"}, "Payloads can be at most 4 KB."},
        {{"Unregistered"}, "The app was uninstalled or its token is no longer valid."},
    };
    for (const auto& [reasons, text] : kHints)
        for (const char* candidate : reasons)
            if (reason == QLatin1String(candidate))
                return QString::fromUtf8(text);
    return std::nullopt;
}

QString Apns::statusText(int status) {
    switch (status) {
    case 400:
        return QStringLiteral("bad request");
    case 403:
        return QStringLiteral("forbidden");
    case 404:
        return QStringLiteral("not found");
    case 405:
        return QStringLiteral("method not allowed");
    case 410:
        return QStringLiteral("no longer exists");
    case 413:
        return QStringLiteral("request too large");
    case 429:
        return QStringLiteral("too many requests");
    case 500:
        return QStringLiteral("internal server error");
    case 503:
        return QStringLiteral("service unavailable");
    default:
        break;
    }
    if (status >= 400 && status < 500)
        return QStringLiteral("client error");
    if (status >= 500 && status < 600)
        return QStringLiteral("server error");
    return QStringLiteral("unknown");
}

} // namespace quorvex
