#pragma once

#include "actions/PermissionAction.h"
#include "actions/PermissionService.h"

#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace quorvex {

struct SimulatorApp;

/// Grants, revokes or resets an app's privacy permissions on every booted simulator that has the
/// app, and remembers per app and service the action applied last ("permissionActions"), so the
/// menu rows can show the current choice.
///
/// Threads: `apply` records the choice at once on the GUI thread and runs the simulator commands
/// on this object's own thread pool, one simulator after the other; the outcome comes back to the
/// GUI thread, which keeps or rolls back the choice, saves, and reports failures in an alert.
/// Applies for the same app may overlap (the rows stay live): each one rolls back only the
/// services it set and only while no later apply has set them since, and `isWorking` stays true
/// until the last one ends. The destructor waits for running commands; their outcome is dropped.
class Permissions final : public QObject {
    Q_OBJECT
public:
    /// Changes one permission on one simulator; true on success. Called off the GUI thread.
    using Setter = std::function<bool(PermissionAction action, std::optional<PermissionService> service,
                                      const QString& bundleID, const QString& udid)>;
    using Choices = std::map<PermissionService, PermissionAction>;

    /// Loads "permissionActions"; an unreadable store starts empty.
    explicit Permissions(QObject* parent = nullptr);
    /// The same with `setter` in place of the simulator commands (tests).
    explicit Permissions(Setter setter, QObject* parent = nullptr);
    ~Permissions() override;

    /// The process-wide instance, created on first use and never released.
    static Permissions& shared();

    /// The action last applied to this service of this app, if any.
    std::optional<PermissionAction> lastAction(PermissionService service, const SimulatorApp& app) const;
    const std::map<QString, Choices>& lastActions() const { return m_lastActions; }
    bool isWorking() const { return m_isWorking; }

    /// Applies `action` to `service` (every service when absent) on each simulator of
    /// `app.devices`, and returns at once. An app on no booted simulator changes nothing.
    void apply(PermissionAction action, std::optional<PermissionService> service, const SimulatorApp& app);

    /// One simulator, synchronously: `simctl privacy` (and for all services, the camera path
    /// after it); the camera alone goes through the camera path.
    static bool setPermission(PermissionAction action, std::optional<PermissionService> service,
                              const QString& bundleID, const QString& udid);
    /// Writes the camera choice into the simulator's privacy database and restarts its privacy
    /// daemon (simctl privacy does not reach the camera).
    static bool setCameraPermission(PermissionAction action, const QString& bundleID, const QString& udid);

    /// The stored form: per bundle ID a flat array alternating service and action raw values.
    /// Decoding throws std::runtime_error on any malformed part.
    static QByteArray encodeLastActions(const std::map<QString, Choices>& lastActions);
    static std::map<QString, Choices> decodeLastActions(const QByteArray& data);

signals:
    void lastActionsChanged();
    void isWorkingChanged(bool isWorking);
    /// One apply has ended (after its choice was kept or rolled back and saved).
    void applyFinished();

private:
    struct Running {
        quint64 id;
        QString bundleID;
        std::vector<PermissionService> services;
        PermissionAction action;
    };
    // The choice a service falls back to when the applies running on it fail: the value of the
    // newest apply that ended without failing everywhere (or the value before any of them).
    struct Settled {
        std::optional<PermissionAction> value;
        quint64 id = 0;
    };

    void finish(quint64 id, const QStringList& failed, qsizetype simulatorCount, const QString& appName,
                PermissionAction action, std::optional<PermissionService> service);
    bool setChoice(const QString& bundleID, PermissionService service, std::optional<PermissionAction> value);
    void setWorking(bool working);
    void save() const;

    Setter m_setter;
    std::map<QString, Choices> m_lastActions;
    bool m_isWorking = false;
    quint64 m_nextId = 0;
    std::vector<Running> m_running; // in start order
    std::map<QString, std::map<PermissionService, Settled>> m_settled;
    QThreadPool m_pool;
};

} // namespace quorvex
