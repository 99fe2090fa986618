#include "actions/Permissions.h"

#include "actions/ActionsLog.h"
#include "platform/data/GuiThread.h"
#include "platform/gui/Dialogs.h"
#include "simulator/DeviceTools.h"
#include "simulator/SimulatorApp.h"
#include "tools/Environment.h"
#include "tools/SqliteShell.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"
#include "tools/Udid.h"

#include <QSettings>
#include <QtConcurrent/QtConcurrentRun>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace quorvex {
namespace {

const QString kStoreKey = QStringLiteral("permissionActions");

QString sqlText(const QString& text) {
    QString quoted = text;
    return quoted.replace(QLatin1Char('\''), QLatin1String("''"));
}

std::optional<QByteArray> storedData() {
    const QVariant value = sharedDefaults().value(kStoreKey);
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

} // namespace

Permissions::Permissions(QObject* parent)
    : Permissions(&Permissions::setPermission, parent) {}

Permissions::Permissions(Setter setter, QObject* parent)
    : QObject(parent)
    , m_setter(std::move(setter)) {
    // Overlapping applies each hold a thread while their tools run; give each its own.
    m_pool.setMaxThreadCount(std::max(8, QThread::idealThreadCount()));
    if (const auto data = storedData()) {
        try {
            m_lastActions = decodeLastActions(*data);
        } catch (const std::exception& error) {
            qCWarning(actionsLog) << "Stored permission actions dropped:" << error.what();
            m_lastActions.clear();
        }
    }
}

Permissions::~Permissions() {
    m_pool.waitForDone();
}

Permissions& Permissions::shared() {
    static Permissions* instance = new Permissions;
    return *instance;
}

std::optional<PermissionAction> Permissions::lastAction(PermissionService service,
                                                        const SimulatorApp& app) const {
    const auto choices = m_lastActions.find(app.id);
    if (choices == m_lastActions.end())
        return std::nullopt;
    const auto action = choices->second.find(service);
    if (action == choices->second.end())
        return std::nullopt;
    return action->second;
}

void Permissions::apply(PermissionAction action, std::optional<PermissionService> service,
                        const SimulatorApp& app) {
    if (app.devices.isEmpty())
        return;
    std::vector<PermissionService> services;
    if (service)
        services.push_back(*service);
    else
        services.assign(allPermissionServices().begin(), allPermissionServices().end());

    const quint64 id = ++m_nextId;
    bool changed = !m_lastActions.contains(app.id);
    Choices& choices = m_lastActions[app.id];
    std::map<PermissionService, Settled>& settled = m_settled[app.id];
    for (const PermissionService s : services) {
        if (!settled.contains(s)) {
            const auto current = choices.find(s);
            settled[s] = Settled{current == choices.end() ? std::nullopt : std::optional(current->second), 0};
        }
        changed = setChoice(app.id, s, action) || changed;
    }
    m_running.push_back(Running{id, app.id, services, action});
    if (changed)
        emit lastActionsChanged();
    setWorking(true);

    // The task works on its own copies only.
    const QString bundleID = app.id;
    const QStringList devices = app.devices;
    const QString appName = app.name;
    QtConcurrent::run(&m_pool, [setter = m_setter, action, service, bundleID, devices] {
        QStringList failed;
        for (const QString& udid : devices)
            if (!setter(action, service, bundleID, udid))
                failed.append(udid);
        return failed;
    }).then(this, [this, id, count = devices.size(), appName, action, service](const QStringList& failed) {
        finish(id, failed, count, appName, action, service);
    });
}

void Permissions::finish(quint64 id, const QStringList& failed, qsizetype simulatorCount,
                         const QString& appName, PermissionAction action,
                         std::optional<PermissionService> service) {
    const auto it =
        std::find_if(m_running.begin(), m_running.end(), [id](const Running& r) { return r.id == id; });
    if (it == m_running.end())
        return;
    const Running ended = *it;
    m_running.erase(it);

    std::map<PermissionService, Settled>& settled = m_settled[ended.bundleID];
    const bool failedEverywhere = failed.size() == simulatorCount;
    bool changed = false;
    for (const PermissionService s : ended.services) {
        Settled& fallback = settled[s];
        if (!failedEverywhere && ended.id > fallback.id)
            fallback = Settled{ended.action, ended.id};
        // The newest of the settled choice and the applies still running on this service shows.
        std::optional<PermissionAction> shown = fallback.value;
        quint64 newest = fallback.id;
        for (const Running& running : m_running) {
            const bool covers =
                running.bundleID == ended.bundleID &&
                std::find(running.services.begin(), running.services.end(), s) != running.services.end();
            if (covers && running.id > newest) {
                newest = running.id;
                shown = running.action;
            }
        }
        changed = setChoice(ended.bundleID, s, shown) || changed;
    }
    const bool appStillRunning = std::any_of(m_running.begin(), m_running.end(),
                                             [&](const Running& r) { return r.bundleID == ended.bundleID; });
    if (!appStillRunning)
        m_settled.erase(ended.bundleID);

    setWorking(!m_running.empty());
    if (changed)
        emit lastActionsChanged();
    save();

    if (!failed.isEmpty()) {
        Alert alert;
        alert.message = QStringLiteral("Couldn\u2019t ") + rawValue(action) + QLatin1Char(' ') +
                        (service ? title(*service) : QStringLiteral("all permissions")) +
                        QStringLiteral(" for ") + appName;
        alert.informativeText =
            QStringLiteral("Changing the permission failed on %1 simulator(s).").arg(failed.size());
        Dialogs::shared().runAlert(alert);
    }
    emit applyFinished();
}

bool Permissions::setChoice(const QString& bundleID, PermissionService service,
                            std::optional<PermissionAction> value) {
    Q_ASSERT(isGuiThread());
    Choices& choices = m_lastActions[bundleID];
    const auto current = choices.find(service);
    if (!value) {
        if (current == choices.end())
            return false;
        choices.erase(current);
        return true;
    }
    if (current != choices.end() && current->second == *value)
        return false;
    choices[service] = *value;
    return true;
}

void Permissions::setWorking(bool working) {
    Q_ASSERT(isGuiThread());
    if (working == m_isWorking)
        return;
    m_isWorking = working;
    emit isWorkingChanged(working);
}

void Permissions::save() const {
    try {
        sharedDefaults().setValue(kStoreKey, encodeLastActions(m_lastActions));
    } catch (const std::exception& error) {
        qCWarning(actionsLog) << "Permission actions not stored:" << error.what();
        sharedDefaults().remove(kStoreKey);
    }
}

bool Permissions::setPermission(PermissionAction action, std::optional<PermissionService> service,
                                const QString& bundleID, const QString& udid) {
    if (service == PermissionService::camera)
        return setCameraPermission(action, bundleID, udid);
    const QStringList arguments{QStringLiteral("simctl"),
                                QStringLiteral("privacy"),
                                udid,
                                rawValue(action),
                                service ? rawValue(*service) : QStringLiteral("all"),
                                bundleID};
    if (!runTool(ToolPaths::xcrun(), arguments))
        return false;
    // "all" in simctl leaves the camera out; it goes the camera's own way.
    if (!service)
        return setCameraPermission(action, bundleID, udid);
    return true;
}

bool Permissions::setCameraPermission(PermissionAction action, const QString& bundleID, const QString& udid) {
    if (!isPlainUdid(udid))
        return false;
    const std::filesystem::path database = homeDirectoryURL() / "Library/Developer/CoreSimulator/Devices" /
                                           udid.toStdString() / "data/Library/TCC/TCC.db";
    std::error_code error;
    if (!std::filesystem::exists(database, error))
        return false;

    const QString client = sqlText(bundleID);
    QString statement;
    if (action == PermissionAction::reset) {
        statement = QStringLiteral("DELETE FROM access WHERE service = 'kTCCServiceCamera' AND client = '") +
                    client + QStringLiteral("';");
    } else {
        const QString value = action == PermissionAction::grant ? QStringLiteral("2") : QStringLiteral("0");
        statement = QStringLiteral("INSERT OR REPLACE INTO access (service, client, client_type, auth_value, "
                                   "auth_reason, auth_version, flags) VALUES ('kTCCServiceCamera', '") +
                    client + QStringLiteral("', 0, ") + value + QStringLiteral(", 4, 1, 0);");
    }
    if (!runSqlite(database, {statement}))
        return false;

    DeviceTools::terminateApp(bundleID, udid);
    return runTool(ToolPaths::xcrun(),
                   QStringList{QStringLiteral("simctl"), QStringLiteral("spawn"), udid,
                               QStringLiteral("launchctl"), QStringLiteral("kickstart"), QStringLiteral("-k"),
                               QStringLiteral("user/foreground/com.apple.tccd")})
        .has_value();
}

QByteArray Permissions::encodeLastActions(const std::map<QString, Choices>& lastActions) {
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    for (const auto& [bundleID, choices] : lastActions) {
        nlohmann::ordered_json pairs = nlohmann::ordered_json::array();
        for (const auto& [service, action] : choices) {
            pairs.push_back(rawValue(service).toStdString());
            pairs.push_back(rawValue(action).toStdString());
        }
        out[bundleID.toStdString()] = std::move(pairs);
    }
    const std::string text = out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::map<QString, Permissions::Choices> Permissions::decodeLastActions(const QByteArray& data) {
    const nlohmann::json value = nlohmann::json::parse(data.begin(), data.end(), nullptr, false);
    if (!value.is_object())
        throw std::runtime_error("Expected to decode a dictionary of permission actions.");
    std::map<QString, Choices> result;
    for (const auto& [bundleID, pairs] : value.items()) {
        if (!pairs.is_array() || pairs.size() % 2 != 0)
            throw std::runtime_error("Expected an array of service and action pairs.");
        Choices& choices = result[QString::fromStdString(bundleID)];
        for (size_t i = 0; i < pairs.size(); i += 2) {
            if (!pairs[i].is_string() || !pairs[i + 1].is_string())
                throw std::runtime_error("Expected service and action names.");
            const auto service =
                permissionServiceFromRawValue(QString::fromStdString(pairs[i].get<std::string>()));
            const auto action =
                permissionActionFromRawValue(QString::fromStdString(pairs[i + 1].get<std::string>()));
            if (!service || !action)
                throw std::runtime_error("Unknown service or action name.");
            choices[*service] = *action;
        }
    }
    return result;
}

} // namespace quorvex
