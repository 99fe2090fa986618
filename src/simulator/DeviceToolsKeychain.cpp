// One app's keychain items, counted and deleted directly in the simulator's keychain database.
#include "simulator/DeviceTools.h"

#include "tools/Environment.h"
#include "tools/FileGuards.h"
#include "tools/SqliteShell.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"
#include "tools/Udid.h"

#include <charconv>

namespace quorvex {
namespace {

// The item tables, in the order they are counted and deleted.
const char* const kItemTables[] = {"genp", "inet", "cert", "keys"};

// sqlite3 takes each statement as a C string, so a NUL would cut the statement short; no real
// bundle identifier holds one.
bool holdsNul(const QString& text) {
    return text.contains(QChar(u'\0'));
}

} // namespace

std::filesystem::path DeviceTools::keychainDatabaseURL(const QString& udid) {
    return homeDirectoryURL() / "Library" /
           ("Developer/CoreSimulator/Devices/" + udid.toStdString() +
            "/data/Library/Keychains/keychain-2-debug.db");
}

bool DeviceTools::isSystemKeychainIdentifier(const QString& identifier) {
    if (identifier.trimmed().isEmpty() || identifier.startsWith(QLatin1String("com.apple.")))
        return true;
    for (const char* reserved : {"apple", "ichat", "lockdown-identities", "com.apple.token"})
        if (identifier == QLatin1String(reserved))
            return true;
    return false;
}

QString DeviceTools::keychainMatchCondition(const QString& bundleID) {
    const QString b = sqlEscaped(bundleID);
    const QString teamPrefix = QStringLiteral("[A-Z0-9]").repeated(10);
    return QStringLiteral("(agrp = '") + b + QStringLiteral("' OR (substr(agrp, 1, 10) GLOB '") + teamPrefix +
           QStringLiteral("' AND substr(agrp, 11, 1) = '.' ") +
           QStringLiteral("AND agrp = substr(agrp, 1, 11) || '") + b + QStringLiteral("'))");
}

std::optional<std::int64_t> DeviceTools::keychainItemCount(const QString& bundleID, const QString& udid) {
    if (!isPlainUdid(udid))
        return std::nullopt;
    if (isSystemKeychainIdentifier(bundleID) || holdsNul(bundleID))
        return 0;
    const std::filesystem::path database = keychainDatabaseURL(udid);
    if (!itemExists(database))
        return 0;

    const QString condition = keychainMatchCondition(bundleID);
    QStringList selects;
    for (const char* table : kItemTables)
        selects.append(QStringLiteral("SELECT count(*) FROM ") + QLatin1String(table) +
                       QStringLiteral(" WHERE ") + condition);
    const auto output =
        runSqlite(database, {selects.join(QStringLiteral(" UNION ALL "))}, {QStringLiteral("-readonly")});
    if (!output)
        return std::nullopt;

    std::int64_t total = 0;
    for (const QString& line : QString::fromUtf8(*output).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        // Strict: the whole line is the number (QString::toLongLong would skip spaces).
        const QByteArray digits = line.toUtf8();
        std::int64_t count = 0;
        const auto [end, error] =
            std::from_chars(digits.constData(), digits.constData() + digits.size(), count);
        if (error == std::errc() && end == digits.constData() + digits.size())
            total += count;
    }
    return total;
}

bool DeviceTools::resetAppKeychain(const QString& bundleID, const QString& udid) {
    if (isSystemKeychainIdentifier(bundleID) || holdsNul(bundleID) || !isPlainUdid(udid))
        return false;
    const std::filesystem::path database = keychainDatabaseURL(udid);
    if (!itemExists(database))
        return true;

    terminateApp(bundleID, udid); // an app that is not running is fine

    // "-bail" stops at the first failing statement, before COMMIT, so a run either deletes the
    // app's items from every table or from none.
    const QString condition = keychainMatchCondition(bundleID);
    QStringList statements{QStringLiteral("BEGIN IMMEDIATE;")};
    for (const char* table : kItemTables)
        statements.append(QStringLiteral("DELETE FROM ") + QLatin1String(table) + QStringLiteral(" WHERE ") +
                          condition + QLatin1Char(';'));
    statements.append(QStringLiteral("COMMIT;"));
    if (!runSqlite(database, statements,
                   {QStringLiteral("-bail"), QStringLiteral("-cmd"), QStringLiteral(".timeout 3000")}))
        return false;

    runTool(ToolPaths::xcrun(),
            std::vector<std::string>{"simctl", "spawn", udid.toStdString(), "launchctl", "kickstart", "-k",
                                     "user/foreground/com.apple.securityd"});
    return true;
}

} // namespace quorvex
