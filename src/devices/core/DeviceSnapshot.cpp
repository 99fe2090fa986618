#include "devices/core/DeviceSnapshot.h"

#include "tools/Environment.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace quorvex {

namespace fs = std::filesystem;

fs::path DeviceSnapshot::rootFolder() {
    return homeDirectoryURL() / "Library/Application Support/Quorvex/Device Snapshots";
}

QString DeviceSnapshot::safeFileName(const QString& text) {
    QString result;
    for (const QChar c : text) {
        const bool kept =
            c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('.') || c == QLatin1Char('_');
        result += kept ? c : QLatin1Char('_');
    }
    const bool onlyFullStops =
        std::all_of(result.begin(), result.end(), [](QChar c) { return c == QLatin1Char('.'); });
    return result.isEmpty() || onlyFullStops ? QStringLiteral("_") : result;
}

std::optional<DeviceSnapshot> DeviceSnapshot::decode(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    for (const char* key : {"id", "name", "bundleID", "deviceName", "date"})
        if (!object.value(QLatin1String(key)).isString())
            return std::nullopt;
    const QJsonValue size = object.value(QLatin1String("size"));
    if (!size.isDouble() || size.toDouble() != double(qint64(size.toDouble())))
        return std::nullopt;
    DeviceSnapshot snapshot;
    snapshot.id = QUuid::fromString(object.value(QLatin1String("id")).toString());
    snapshot.date = QDateTime::fromString(object.value(QLatin1String("date")).toString(), Qt::ISODate);
    if (snapshot.id.isNull() || !snapshot.date.isValid())
        return std::nullopt;
    snapshot.date = snapshot.date.toUTC();
    snapshot.name = object.value(QLatin1String("name")).toString();
    snapshot.bundleID = object.value(QLatin1String("bundleID")).toString();
    snapshot.deviceName = object.value(QLatin1String("deviceName")).toString();
    snapshot.size = qint64(size.toDouble());
    return snapshot;
}

std::vector<DeviceSnapshot> DeviceSnapshot::list(const QString& bundleID) {
    std::vector<DeviceSnapshot> snapshots;
    std::error_code error;
    fs::directory_iterator entries(rootFolder() / safeFileName(bundleID).toStdString(), error);
    if (error)
        return snapshots;
    for (const fs::directory_entry& entry : entries) {
        // Only a regular file: opening a FIFO put there would block the menu.
        if (!fs::is_regular_file(entry.path() / "info.json", error))
            continue;
        QFile manifest(QString::fromStdString((entry.path() / "info.json").string()));
        // A manifest is a few hundred bytes; anything far larger is not one.
        if (!manifest.open(QIODevice::ReadOnly) || manifest.size() > 1 << 20)
            continue;
        if (auto snapshot = decode(manifest.readAll())) {
            snapshot->folder = entry.path();
            snapshots.push_back(std::move(*snapshot));
        }
    }
    std::stable_sort(snapshots.begin(), snapshots.end(),
                     [](const DeviceSnapshot& a, const DeviceSnapshot& b) { return a.date > b.date; });
    return snapshots;
}

QByteArray DeviceSnapshot::encode() const {
    QJsonObject object;
    object.insert(QLatin1String("id"), id.toString(QUuid::WithoutBraces).toUpper());
    object.insert(QLatin1String("name"), name);
    object.insert(QLatin1String("bundleID"), bundleID);
    object.insert(QLatin1String("deviceName"), deviceName);
    object.insert(QLatin1String("date"), date.toUTC().toString(Qt::ISODate));
    object.insert(QLatin1String("size"), qint64(size));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace quorvex
