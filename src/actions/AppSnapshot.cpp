#include "actions/AppSnapshot.h"

#include <nlohmann/json.hpp>

#include <string>

namespace quorvex {

namespace {

std::string text(const QString& value) {
    return value.toStdString();
}

} // namespace

QByteArray encodeManifest(const AppSnapshot& snapshot) {
    nlohmann::ordered_json object;
    object["id"] = text(snapshot.id.toString(QUuid::WithoutBraces).toUpper());
    object["name"] = text(snapshot.name);
    object["bundleID"] = text(snapshot.bundleID);
    object["appName"] = text(snapshot.appName);
    object["created"] = text(snapshot.created.toUTC().toString(Qt::ISODate));
    object["deviceName"] = text(snapshot.deviceName);
    object["size"] = snapshot.size;
    const std::string compact = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    // "/" only ever occurs inside strings here, so escaping every one is exact.
    std::string escaped;
    escaped.reserve(compact.size() + 8);
    for (const char c : compact) {
        if (c == '/')
            escaped.push_back('\\');
        escaped.push_back(c);
    }
    return QByteArray::fromStdString(escaped);
}

std::optional<AppSnapshot> decodeManifest(const QByteArray& bytes) {
    const nlohmann::json object =
        nlohmann::json::parse(bytes.constData(), bytes.constData() + bytes.size(), nullptr, false);
    if (!object.is_object())
        return std::nullopt;
    for (const char* key : {"id", "name", "bundleID", "appName", "created", "deviceName"})
        if (!object.contains(key) || !object[key].is_string())
            return std::nullopt;
    const auto string = [&](const char* key) {
        return QString::fromStdString(object[key].get<std::string>());
    };

    AppSnapshot snapshot;
    const QString id = string("id");
    snapshot.id = QUuid::fromString(id);
    if (id.size() != 36 || snapshot.id.isNull())
        return std::nullopt;
    snapshot.created = QDateTime::fromString(string("created"), Qt::ISODate);
    if (!snapshot.created.isValid())
        return std::nullopt;
    snapshot.created = snapshot.created.toUTC();

    if (!object.contains("size"))
        return std::nullopt;
    const nlohmann::json& size = object["size"];
    if (size.is_number_integer())
        snapshot.size = size.get<std::int64_t>();
    else if (size.is_number_float() && size.get<double>() == static_cast<double>(size.get<std::int64_t>()))
        snapshot.size = size.get<std::int64_t>();
    else
        return std::nullopt;

    snapshot.name = string("name");
    snapshot.bundleID = string("bundleID");
    snapshot.appName = string("appName");
    snapshot.deviceName = string("deviceName");
    return snapshot;
}

size_t qHash(const AppSnapshot& snapshot, size_t seed) noexcept {
    QtPrivate::QHashCombine combine;
    seed = combine(seed, snapshot.id);
    seed = combine(seed, snapshot.name);
    seed = combine(seed, snapshot.bundleID);
    seed = combine(seed, snapshot.appName);
    seed = combine(seed, snapshot.created);
    seed = combine(seed, snapshot.deviceName);
    seed = combine(seed, static_cast<qint64>(snapshot.size));
    seed = combine(seed, snapshot.folder.has_value() ? 1 : 0);
    if (snapshot.folder)
        seed = combine(seed, QString::fromStdString(snapshot.folder->string()));
    return seed;
}

} // namespace quorvex
