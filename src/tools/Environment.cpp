#include "tools/Environment.h"

#include "platform/data/PlistSettingsFormat.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace quorvex {

const std::filesystem::path& homeDirectoryURL() {
    static const std::filesystem::path home = [] {
        if (const char* value = std::getenv("HOME"); value && *value)
            return std::filesystem::path(value);
        if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
            return std::filesystem::path(entry->pw_dir);
        return std::filesystem::path("/");
    }();
    return home;
}

QSettings& sharedDefaults() {
    static QSettings* settings = [] {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QDir().mkpath(folder + QStringLiteral("/Quorvex"));
        return new QSettings(folder + QStringLiteral("/Quorvex/defaults.plist"), plistSettingsFormat());
    }();
    return *settings;
}

bool isRunningTests() {
    return std::getenv("XCTestConfigurationFilePath") != nullptr;
}

} // namespace quorvex
