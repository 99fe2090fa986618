#include "simulator/AppDetails.h"

#include "platform/data/PlistSettingsFormat.h"
#include "platform/data/PropertyList.h"
#include "simulator/SimulatorApp.h"

#include <QCollator>
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <charconv>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvex {
namespace {

// Plain string order, by code points (QString's own order compares UTF-16 code units, which puts
// characters above U+FFFF before U+E000...U+FFFF).
bool lessByCodePoints(const QString& a, const QString& b) {
    return a.toUcs4() < b.toUcs4();
}

QStringList sortedByCodePoints(QStringList list) {
    std::stable_sort(list.begin(), list.end(), lessByCodePoints);
    return list;
}

// A list of strings, or nothing when the value is not a list or holds anything but strings.
std::optional<QStringList> stringList(const QVariant& value) {
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QStringList result;
    for (const QVariant& item : value.toList()) {
        if (item.typeId() != QMetaType::QString)
            return std::nullopt;
        result.append(item.toString());
    }
    return result;
}

QStringList groupContainerIdentifiers(const SimulatorInstall& install) {
    QStringList identifiers;
    for (const auto& [identifier, container] : install.groupContainers)
        identifiers.append(identifier);
    return sortedByCodePoints(identifiers);
}

AppDetails fallback(const SimulatorInstall& install) {
    AppDetails details;
    details.appGroups = groupContainerIdentifiers(install);
    return details;
}

QString realText(double value) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    QString text = QString::fromLatin1(buffer, error == std::errc() ? end - buffer : 0);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')) &&
        !text.contains(QLatin1Char('n')))
        text += QStringLiteral(".0");
    return text;
}

// The ordinary description of a scalar value: a string is itself.
QString describe(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Double:
        return realText(value.toDouble());
    case QMetaType::QDateTime:
        return value.toDateTime()
            .toTimeZone(QTimeZone::utc())
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000"));
    case QMetaType::QByteArray:
        return QStringLiteral("%1 bytes").arg(value.toByteArray().size());
    default:
        return value.toString();
    }
}

// A file's bytes, mapped read-only; a regular file only, so a FIFO or a device named by
// a hostile Info.plist cannot block or feed the reader without end.
class MappedFile final {
public:
    explicit MappedFile(const std::filesystem::path& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            m_size = static_cast<std::size_t>(info.st_size);
            void* address = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (address != MAP_FAILED) {
                m_data = static_cast<const std::uint8_t*>(address);
                m_mapped = true;
            } else {
                // Some file systems cannot map; read the file instead.
                m_copy.resize(m_size);
                std::size_t done = 0;
                while (done < m_size) {
                    const ssize_t n =
                        ::pread(fd, m_copy.data() + done, m_size - done, static_cast<off_t>(done));
                    if (n <= 0)
                        break;
                    done += static_cast<std::size_t>(n);
                }
                m_copy.resize(done);
                m_data = m_copy.data();
                m_size = done;
            }
            m_ok = true;
        }
        ::close(fd);
    }
    ~MappedFile() {
        if (m_mapped)
            ::munmap(const_cast<std::uint8_t*>(m_data), m_size);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool ok() const { return m_ok; }
    ByteSpan bytes() const { return {m_data, m_size}; }

private:
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    bool m_mapped = false;
    bool m_ok = false;
    std::vector<std::uint8_t> m_copy;
};

} // namespace

const QHash<QString, QString>& AppDetails::knownEntitlementNames() {
    static const QHash<QString, QString> names{
        {QStringLiteral("application-identifier"), QStringLiteral("App ID")},
        {QStringLiteral("com.apple.developer.team-identifier"), QStringLiteral("Team ID")},
        {QStringLiteral("keychain-access-groups"), QStringLiteral("Keychain Sharing")},
        {QStringLiteral("com.apple.security.application-groups"), QStringLiteral("App Groups")},
        {QStringLiteral("com.apple.developer.associated-domains"), QStringLiteral("Associated Domains")},
        {QStringLiteral("aps-environment"), QStringLiteral("Push Notifications")},
        {QStringLiteral("com.apple.developer.aps-environment"), QStringLiteral("Push Notifications")},
        {QStringLiteral("com.apple.developer.icloud-container-identifiers"),
         QStringLiteral("iCloud Containers")},
        {QStringLiteral("com.apple.developer.icloud-services"), QStringLiteral("iCloud Services")},
        {QStringLiteral("com.apple.developer.ubiquity-kvstore-identifier"),
         QStringLiteral("iCloud Key-Value Storage")},
        {QStringLiteral("com.apple.developer.ubiquity-container-identifiers"),
         QStringLiteral("iCloud Documents")},
        {QStringLiteral("com.apple.developer.nfc.readersession.formats"), QStringLiteral("NFC Tag Reading")},
        {QStringLiteral("com.apple.developer.healthkit"), QStringLiteral("HealthKit")},
        {QStringLiteral("com.apple.developer.healthkit.access"), QStringLiteral("HealthKit Access")},
        {QStringLiteral("com.apple.developer.homekit"), QStringLiteral("HomeKit")},
        {QStringLiteral("com.apple.developer.in-app-payments"), QStringLiteral("Apple Pay")},
        {QStringLiteral("com.apple.developer.pass-type-identifiers"), QStringLiteral("Wallet Passes")},
        {QStringLiteral("com.apple.developer.siri"), QStringLiteral("Siri")},
        {QStringLiteral("com.apple.developer.applesignin"), QStringLiteral("Sign in with Apple")},
        {QStringLiteral("com.apple.developer.game-center"), QStringLiteral("Game Center")},
        {QStringLiteral("com.apple.developer.usernotifications.time-sensitive"),
         QStringLiteral("Time-Sensitive Notifications")},
        {QStringLiteral("com.apple.developer.usernotifications.communication"),
         QStringLiteral("Communication Notifications")},
        {QStringLiteral("com.apple.developer.networking.wifi-info"),
         QStringLiteral("Access Wi-Fi Information")},
        {QStringLiteral("com.apple.developer.networking.networkextension"),
         QStringLiteral("Network Extensions")},
        {QStringLiteral("com.apple.developer.networking.vpn.api"), QStringLiteral("Personal VPN")},
        {QStringLiteral("com.apple.developer.networking.multipath"), QStringLiteral("Multipath")},
        {QStringLiteral("com.apple.developer.default-data-protection"), QStringLiteral("Data Protection")},
        {QStringLiteral("com.apple.developer.authentication-services.autofill-credential-provider"),
         QStringLiteral("AutoFill Credential Provider")},
        {QStringLiteral("com.apple.developer.associated-appclip-app-identifiers"),
         QStringLiteral("Associated App Clip")},
        {QStringLiteral("com.apple.developer.parent-application-identifiers"), QStringLiteral("Parent App")},
        {QStringLiteral("com.apple.developer.family-controls"), QStringLiteral("Family Controls")},
        {QStringLiteral("com.apple.developer.weatherkit"), QStringLiteral("WeatherKit")},
        {QStringLiteral("com.apple.developer.devicecheck.appattest-environment"),
         QStringLiteral("App Attest")},
        {QStringLiteral("com.apple.developer.kernel.increased-memory-limit"),
         QStringLiteral("Increased Memory Limit")},
        {QStringLiteral("com.apple.developer.carplay-audio"), QStringLiteral("CarPlay Audio")},
        {QStringLiteral("com.apple.developer.coremedia.hls.low-latency"), QStringLiteral("Low-Latency HLS")},
        {QStringLiteral("get-task-allow"), QStringLiteral("Debuggable (get-task-allow)")},
        {QStringLiteral("com.apple.security.get-task-allow"), QStringLiteral("Debuggable (get-task-allow)")},
        {QStringLiteral("beta-reports-active"), QStringLiteral("TestFlight Beta Reports")},
    };
    return names;
}

QString AppDetails::displayName(const QString& key) {
    const auto& known = knownEntitlementNames();
    if (const auto it = known.constFind(key); it != known.cend())
        return *it;
    QString rest = key;
    for (const char* prefix : {"com.apple.developer.", "com.apple.security.", "com.apple."})
        rest.remove(QLatin1String(prefix));
    QStringList words;
    for (QString piece : rest.split(QRegularExpression(QStringLiteral("[._-]")), Qt::SkipEmptyParts)) {
        // The first character, which may be a surrogate pair or turn into two letters ("ß").
        const qsizetype first = piece[0].isHighSurrogate() && piece.size() > 1 ? 2 : 1;
        words.append(piece.left(first).toUpper() + piece.mid(first));
    }
    return words.join(QLatin1Char(' '));
}

QStringList AppDetails::displayValues(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return {value.toBool() ? QStringLiteral("Enabled") : QStringLiteral("Disabled")};
    case QMetaType::QVariantList: {
        const QVariantList list = value.toList();
        if (list.isEmpty())
            return {QStringLiteral("None")};
        QStringList texts;
        for (const QVariant& item : list)
            texts.append(displayValues(item));
        return texts;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        QStringList keys = sortedByCodePoints(map.keys());
        QStringList texts;
        for (const QString& key : keys)
            texts.append(key + QStringLiteral(": ") +
                         displayValues(map.value(key)).join(QStringLiteral(", ")));
        return texts;
    }
    default:
        return {describe(value)};
    }
}

std::vector<AppDetails::Entitlement> AppDetails::entitlementsFrom(const QVariantMap& dictionary) {
    std::vector<Entitlement> result;
    result.reserve(static_cast<std::size_t>(dictionary.size()));
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it)
        result.push_back({it.key(), displayName(it.key()), displayValues(it.value())});
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(result.begin(), result.end(), [&](const Entitlement& a, const Entitlement& b) {
        const int order = collator.compare(a.name, b.name);
        return order != 0 ? order < 0 : lessByCodePoints(a.key, b.key);
    });
    return result;
}

std::optional<QString> AppDetails::teamIDFrom(const QVariantMap& dictionary) {
    const QVariant team = dictionary.value(QStringLiteral("com.apple.developer.team-identifier"));
    if (team.typeId() == QMetaType::QString && !team.toString().isEmpty())
        return team.toString();

    QVariant identifier = dictionary.value(QStringLiteral("application-identifier"));
    if (identifier.typeId() != QMetaType::QString)
        identifier = dictionary.value(QStringLiteral("com.apple.application-identifier"));
    if (identifier.typeId() != QMetaType::QString)
        return std::nullopt;
    const QStringList pieces = identifier.toString().split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return std::nullopt;
    const QString& prefix = pieces.first();
    const bool teamLike = prefix.size() == 10 && std::all_of(prefix.cbegin(), prefix.cend(), [](QChar c) {
                              return c.isUpper() || c.isDigit();
                          });
    return teamLike ? std::optional<QString>(prefix) : std::nullopt;
}

std::optional<QVariantMap> AppDetails::entitlementsDictionary(ByteSpan executable) {
    for (const std::uint64_t image : machOImageOffsets(executable)) {
        const auto section = findSection(executable, image, "__TEXT", "__entitlements");
        if (!section)
            continue;
        bool ok = false;
        const QVariant root = plistToVariant(*section, &ok);
        if (ok && root.typeId() == QMetaType::QVariantMap)
            return root.toMap();
    }
    return std::nullopt;
}

AppDetails AppDetails::fromEntitlements(const QVariantMap& entitlements, const SimulatorInstall& install) {
    AppDetails details;
    details.entitlements = entitlementsFrom(entitlements);
    details.appGroups = sortedByCodePoints(
        stringList(entitlements.value(QStringLiteral("com.apple.security.application-groups")))
            .value_or(QStringList()));
    if (details.appGroups.isEmpty())
        details.appGroups = groupContainerIdentifiers(install);
    details.keychainGroups = sortedByCodePoints(
        stringList(entitlements.value(QStringLiteral("keychain-access-groups"))).value_or(QStringList()));
    details.teamID = teamIDFrom(entitlements);
    return details;
}

AppDetails AppDetails::fromExecutable(ByteSpan executable, const SimulatorInstall& install) {
    const auto dictionary = entitlementsDictionary(executable);
    return dictionary ? fromEntitlements(*dictionary, install) : fallback(install);
}

AppDetails AppDetails::load(const SimulatorInstall& install) {
    const MappedFile infoFile(install.bundle / "Info.plist");
    if (!infoFile.ok())
        return fallback(install);
    const ByteSpan infoBytes = infoFile.bytes();
    // A copy, which ends in a NUL as the XML parser expects.
    const std::optional<QVariant> info = propertyListToVariant(QByteArray(
        reinterpret_cast<const char*>(infoBytes.data()), static_cast<qsizetype>(infoBytes.size())));
    if (!info || info->typeId() != QMetaType::QVariantMap)
        return fallback(install);
    const QVariant executableName = info->toMap().value(QStringLiteral("CFBundleExecutable"));
    if (executableName.typeId() != QMetaType::QString)
        return fallback(install);

    const MappedFile executable(install.bundle / QFile::encodeName(executableName.toString()).toStdString());
    if (!executable.ok())
        return fallback(install);
    return fromExecutable(executable.bytes(), install);
}

} // namespace quorvex
