#include "devices/core/DeviceApp.h"

#include "devices/core/Devicectl.h"
#include "tools/FileGuards.h"

#include <QCollator>

#include <algorithm>

namespace quorvex {

namespace {

std::string utf8(const QString& text) {
    return text.toStdString();
}

std::optional<DeviceApp> parseApp(const nlohmann::json& entry) {
    const auto bundleID = devicectl::text(entry, "bundleIdentifier");
    if (!bundleID)
        return std::nullopt;
    if (const auto hidden = entry.find("hidden");
        hidden != entry.end() && hidden->is_boolean() && hidden->get<bool>())
        return std::nullopt;

    QStringList versionParts;
    if (const auto version = devicectl::text(entry, "version"); version && !version->isEmpty())
        versionParts.append(*version);
    if (const auto build = devicectl::text(entry, "bundleVersion"); build && !build->isEmpty())
        versionParts.append(QLatin1Char('(') + *build + QLatin1Char(')'));

    DeviceApp app;
    app.id = *bundleID;
    app.name = devicectl::text(entry, "name").value_or(*bundleID);
    if (!versionParts.isEmpty())
        app.version = versionParts.join(QLatin1Char(' '));
    app.bundleURL = devicectl::text(entry, "url");
    return app;
}

} // namespace

std::vector<DeviceApp> DeviceApp::listApps(const QString& deviceID, bool requireContainerAccess) {
    std::vector<std::string> arguments{"device", "info", "apps", "--device", utf8(deviceID)};
    if (requireContainerAccess)
        arguments.push_back("--require-container-access");
    arguments.insert(arguments.end(), {"--json-output", "-", "-q"});
    const auto output = devicectl::run(std::move(arguments));
    return output ? parseApps(*output) : std::vector<DeviceApp>{};
}

std::vector<DeviceApp> DeviceApp::parseApps(const QByteArray& json) {
    const auto entries = devicectl::resultObjects(json, "apps");
    if (!entries)
        return {};
    std::vector<DeviceApp> apps;
    for (const auto& entry : *entries)
        if (auto app = parseApp(entry))
            apps.push_back(std::move(*app));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(apps.begin(), apps.end(), [&collator](const DeviceApp& a, const DeviceApp& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return apps;
}

bool DeviceApp::copyAppData(const QString& bundleID, const QString& deviceID,
                            const std::filesystem::path& destination) {
    const auto output = devicectl::run({"device", "copy", "from", "--device", utf8(deviceID), "--domain-type",
                                        "appDataContainer", "--domain-identifier", utf8(bundleID), "--source",
                                        "/", "--destination", destination.string(), "-q"},
                                       devicectl::kCopyTimeout);
    // An exit status of 0 alone is not trusted: only data that arrived counts.
    return output && itemExists(destination);
}

bool DeviceApp::pushAppData(const QString& entry, const QString& deviceID, const QString& bundleID,
                            const std::filesystem::path& localFolder) {
    const auto source = localFolder / utf8(entry);
    return devicectl::run({"device", "copy", "to", "--device", utf8(deviceID), "--domain-type",
                           "appDataContainer", "--domain-identifier", utf8(bundleID), "--source",
                           source.string(), "--destination", utf8(entry), "--remove-existing-content", "true",
                           "-q"},
                          devicectl::kCopyTimeout)
        .has_value();
}

std::optional<qint64> DeviceApp::runningProcessID(const DeviceApp& app, const QByteArray& processesJson) {
    if (!app.bundleURL)
        return std::nullopt;
    // Match inside the bundle folder only: ".../App.app" must not catch ".../App.appex/...".
    QString prefix = *app.bundleURL;
    if (!prefix.endsWith(QLatin1Char('/')))
        prefix.append(QLatin1Char('/'));
    const auto processes = devicectl::resultObjects(processesJson, "runningProcesses");
    if (!processes)
        return std::nullopt;
    for (const auto& process : *processes) {
        const auto executable = devicectl::text(process, "executable");
        if (!executable || !executable->startsWith(prefix))
            continue;
        const auto pid = process.find("processIdentifier");
        if (pid == process.end() || !pid->is_number_integer())
            return std::nullopt;
        return pid->get<qint64>();
    }
    return std::nullopt;
}

bool DeviceApp::terminateRunning(const DeviceApp& app, const QString& deviceID) {
    if (!app.bundleURL)
        return false;
    const auto processes = devicectl::run(
        {"device", "info", "processes", "--device", utf8(deviceID), "--json-output", "-", "-q"});
    if (!processes)
        return false;
    const auto pid = runningProcessID(app, *processes);
    if (!pid)
        return false;
    return devicectl::run({"device", "process", "terminate", "--device", utf8(deviceID), "--pid",
                           std::to_string(*pid), "-q"})
        .has_value();
}

std::optional<QByteArray> DeviceApp::environmentJson(const std::map<QString, QString>& environment) {
    nlohmann::json object = nlohmann::json::object();
    for (const auto& [key, value] : environment) {
        // A lone surrogate would silently turn into another character; refuse instead.
        if (!key.isValidUtf16() || !value.isValidUtf16())
            return std::nullopt;
        object[utf8(key)] = utf8(value);
    }
    // nlohmann keeps an object's keys in a std::map, so the text comes out sorted by key.
    return QByteArray::fromStdString(object.dump());
}

bool DeviceApp::launch(const QString& bundleID, const QStringList& arguments,
                       const std::map<QString, QString>& environment, bool terminateExisting,
                       const QString& deviceID) {
    std::vector<std::string> command{"device", "process", "launch", "--device", utf8(deviceID), "-q"};
    if (terminateExisting)
        command.push_back("--terminate-existing");
    if (!environment.empty())
        if (const auto json = environmentJson(environment))
            command.insert(command.end(), {"--environment-variables", json->toStdString()});
    // "--" always closes the tool's options, so an app argument such as "-q" reaches the app.
    command.insert(command.end(), {utf8(bundleID), "--"});
    for (const QString& argument : arguments)
        command.push_back(utf8(argument));
    return devicectl::run(std::move(command)).has_value();
}

bool DeviceApp::installProfile(const std::filesystem::path& file, const QString& deviceID) {
    const QString extension = QString::fromStdString(file.extension().string()).toLower();
    if (extension != QLatin1String(".mobileconfig") && extension != QLatin1String(".mobileprovision"))
        return false;
    return devicectl::run({"device", "profile", "install", "--device", utf8(deviceID), file.string(), "-q"})
        .has_value();
}

} // namespace quorvex
