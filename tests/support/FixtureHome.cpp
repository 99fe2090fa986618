#include "support/FixtureHome.h"

#include "platform/data/PlistSettingsFormat.h"
#include "support/FakeXcrun.h"

#include <QColor>
#include <QImage>
#include <QProcess>
#include <QUrl>
#include <QUuid>
#include <QVariantMap>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utime.h>

namespace quorvex::test {
namespace fs = std::filesystem;

namespace {

std::string newUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

// Quotes a string the way simctl prints it in an old-style property list: quotes and
// backslashes escaped, every UTF-16 unit above ASCII as \Uxxxx.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const QChar unit : QString::fromStdString(text)) {
        const char16_t code = unit.unicode();
        if (code == '"' || code == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(code));
        } else if (code == '\n') {
            out += "\\n";
        } else if (code >= 0x80) {
            out += "\\U" + QString::number(code, 16).rightJustified(4, u'0').toStdString();
        } else {
            out.push_back(static_cast<char>(code));
        }
    }
    return out + "\"";
}

std::string fileURL(const fs::path& path, bool folder) {
    std::string url =
        "file://" + QUrl::toPercentEncoding(QString::fromStdString(path.string()), "/").toStdString();
    if (folder)
        url.push_back('/');
    return url;
}

} // namespace

FixtureHome::FixtureHome() {
    const fs::path root = home();
    if (root.empty() || root == "/" || root.string().find("quorvex-test-home") == std::string::npos)
        throw std::runtime_error("FixtureHome needs the temporary HOME made by the test main");
    for (const auto& entry : fs::directory_iterator(root))
        fs::remove_all(entry.path());
    fs::create_directories(root / "Library");
}

FixtureHome::FixtureHome(const fs::path& root) {
    fs::create_directories(root / "Library");
}

fs::path FixtureHome::home() {
    const char* value = std::getenv("HOME");
    return value ? fs::path(value) : fs::path();
}

fs::path FixtureHome::deviceFolder(const std::string& udid) {
    return home() / "Library/Developer/CoreSimulator/Devices" / udid;
}

void FixtureHome::addSimulator(const std::string& udid, const std::string& name, int bootedSecondsAgo) {
    const fs::path run = deviceFolder(udid) / "data/var/run";
    fs::create_directories(run);
    const fs::path pidFile = run / "syslog.pid";
    std::ofstream(pidFile) << "42\n";
    const time_t when = ::time(nullptr) - bootedSecondsAgo;
    const utimbuf times{when, when};
    ::utime(pidFile.c_str(), &times);
    m_simulators.push_back({udid, name, {}});
}

FixtureHome::Simulator& FixtureHome::simulator(const std::string& udid) {
    for (Simulator& s : m_simulators)
        if (s.udid == udid)
            return s;
    throw std::runtime_error("no fixture simulator " + udid);
}

InstalledApp FixtureHome::installApp(const std::string& udid, const FixtureApp& app) {
    Simulator& sim = simulator(udid);
    const fs::path data = deviceFolder(udid) / "data/Containers";
    const std::string folderName = (app.bundleName.empty() ? app.bundleID : app.bundleName) + ".app";
    InstalledApp installed;
    installed.bundle = data / "Bundle/Application" / newUuid() / folderName;
    installed.dataContainer = data / "Data/Application" / newUuid();
    fs::create_directories(installed.bundle);
    for (const char* sub : {"Documents", "Library/Preferences", "Library/Caches", "tmp"})
        fs::create_directories(installed.dataContainer / sub);
    for (const std::string& group : app.groups) {
        const fs::path container = data / "Shared/AppGroup" / newUuid();
        fs::create_directories(container / "Library");
        installed.groupContainers[group] = container;
    }

    QVariantMap info{
        {"CFBundleIdentifier", QString::fromStdString(app.bundleID)},
        {"CFBundleExecutable", QString::fromStdString(app.bundleName.empty() ? "App" : app.bundleName)}};
    if (!app.iconFiles.empty()) {
        QVariantList files;
        for (const std::string& icon : app.iconFiles) {
            files.append(QString::fromStdString(icon));
            QImage image(120, 120, QImage::Format_ARGB32);
            image.fill(
                QColor::fromHsv(static_cast<int>(std::hash<std::string>{}(app.bundleID) % 360), 200, 220));
            image.save(QString::fromStdString((installed.bundle / (icon + "@2x.png")).string()));
        }
        info.insert("CFBundleIcons",
                    QVariantMap{{"CFBundlePrimaryIcon", QVariantMap{{"CFBundleIconFiles", files}}}});
    }
    std::ofstream(installed.bundle / "Info.plist", std::ios::binary) << variantToPlistXml(info).toStdString();

    sim.apps.emplace_back(app, installed);
    return installed;
}

fs::path FixtureHome::addPrivacyDatabase(const std::string& udid) {
    const fs::path database = deviceFolder(udid) / "data/Library/TCC/TCC.db";
    fs::create_directories(database.parent_path());
    sqlite(database,
           "CREATE TABLE admin (key TEXT PRIMARY KEY NOT NULL, value INTEGER NOT NULL);"
           "INSERT INTO admin VALUES ('version', 24);"
           "CREATE TABLE access (service TEXT NOT NULL, client TEXT NOT NULL, client_type INTEGER NOT NULL,"
           " auth_value INTEGER NOT NULL, auth_reason INTEGER NOT NULL, auth_version INTEGER NOT NULL,"
           " csreq BLOB, policy_id INTEGER, indirect_object_identifier_type INTEGER,"
           " indirect_object_identifier TEXT NOT NULL DEFAULT 'UNUSED', indirect_object_code_identity BLOB,"
           " flags INTEGER, last_modified INTEGER NOT NULL DEFAULT (CAST(strftime('%s','now') AS INTEGER)),"
           " PRIMARY KEY (service, client, client_type, indirect_object_identifier));");
    return database;
}

std::string FixtureHome::sqlite(const fs::path& database, const std::string& sql) {
    QProcess process;
    process.start(QStringLiteral("/usr/bin/sqlite3"),
                  {QStringLiteral("-init"), QStringLiteral("/dev/null"),
                   QString::fromStdString(database.string()), QString::fromStdString(sql)});
    if (!process.waitForFinished(30'000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        throw std::runtime_error("sqlite3 failed on " + database.string() + ": " +
                                 process.readAllStandardError().toStdString());
    return process.readAllStandardOutput().toStdString();
}

std::string FixtureHome::listDevicesJson() const {
    nlohmann::json devices = nlohmann::json::array();
    for (const Simulator& s : m_simulators)
        devices.push_back({{"udid", s.udid}, {"name", s.name}, {"state", "Booted"}, {"isAvailable", true}});
    return nlohmann::json{{"devices", {{"com.apple.CoreSimulator.SimRuntime.iOS-18-0", devices}}}}.dump(2);
}

std::string FixtureHome::listAppsText(const std::string& udid) const {
    const Simulator& sim = const_cast<FixtureHome*>(this)->simulator(udid);
    std::ostringstream out;
    out << "{\n";
    for (const auto& [app, installed] : sim.apps) {
        out << "    " << quoted(app.bundleID) << " =     {\n";
        out << "        ApplicationType = " << app.applicationType << ";\n";
        out << "        Bundle = " << quoted(fileURL(installed.bundle, true)) << ";\n";
        if (!app.displayName.empty())
            out << "        CFBundleDisplayName = " << quoted(app.displayName) << ";\n";
        out << "        CFBundleExecutable = " << quoted(app.bundleName.empty() ? "App" : app.bundleName)
            << ";\n";
        out << "        CFBundleIdentifier = " << quoted(app.bundleID) << ";\n";
        if (!app.bundleName.empty())
            out << "        CFBundleName = " << quoted(app.bundleName) << ";\n";
        if (!app.shortVersion.empty())
            out << "        CFBundleShortVersionString = " << quoted(app.shortVersion) << ";\n";
        if (!app.build.empty())
            out << "        CFBundleVersion = " << quoted(app.build) << ";\n";
        out << "        DataContainer = " << quoted(fileURL(installed.dataContainer, true)) << ";\n";
        if (!installed.groupContainers.empty()) {
            out << "        GroupContainers =         {\n";
            for (const auto& [group, path] : installed.groupContainers)
                out << "            " << quoted(group) << " = " << quoted(fileURL(path, true)) << ";\n";
            out << "        };\n";
        }
        out << "        Path = " << quoted(installed.bundle.string()) << ";\n";
        out << "    };\n";
    }
    out << "}\n";
    return out.str();
}

nlohmann::json FixtureHome::rules(const fs::path& folder) const {
    auto answerFile = [&](const std::string& name, const std::string& text) {
        const fs::path path = folder / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    };
    nlohmann::json rules = nlohmann::json::array();
    rules.push_back({{"args", {"simctl", "list", "devices", "booted", "-j"}},
                     {"stdoutFile", answerFile("list-devices.json", listDevicesJson())}});
    for (const Simulator& s : m_simulators)
        rules.push_back({{"args", {"simctl", "listapps", s.udid}},
                         {"stdoutFile", answerFile("listapps-" + s.udid + ".txt", listAppsText(s.udid))}});
    return rules;
}

void FixtureHome::answer(FakeXcrun& fake) const {
    for (const nlohmann::json& rule : rules(fake.folder()))
        fake.rule(rule);
}

} // namespace quorvex::test
