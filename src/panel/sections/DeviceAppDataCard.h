#pragma once

#include "devices/core/DeviceApp.h"
#include "devices/core/DeviceSnapshot.h"
#include "devices/core/PhysicalDevice.h"

#include <QFuture>
#include <QWidget>

#include <optional>
#include <set>
#include <vector>

class QVBoxLayout;

namespace quorvex {

class Clock;
class DeviceSectionServices;
class SettingsGroup;
class Spinner;

/// The connected-device card for an app's data container: pick one of the device's apps, save
/// a snapshot of its data, download the data, restore or delete the snapshots saved earlier.
/// The flows themselves (alerts, copies, toasts) belong to the device support; the card loads
/// the lists, runs one flow at a time, shows which one runs and refreshes the snapshots after.
/// GUI thread.
///
/// The app list is read on the global thread pool. Each read is numbered; only the newest one
/// may land, so a slow answer for a device the user has already switched away from is dropped.
/// A flow's end comes back through a watcher the card owns: once the card is gone, nothing
/// comes back to it, while the flow itself still finishes and reports. The running copy can be
/// cancelled from the row that spins; a snapshot being deleted spins in its own row.
class DeviceAppDataCard final : public QWidget {
    Q_OBJECT
public:
    static inline const QString kSaving = QStringLiteral("Saving snapshot…");
    static inline const QString kDownloading = QStringLiteral("Downloading…");
    static inline const QString kRestoring = QStringLiteral("Restoring…");

    DeviceAppDataCard(const PhysicalDevice& device, DeviceSectionServices& services, Clock& clock,
                      QWidget* parent = nullptr);
    ~DeviceAppDataCard() override;

    const PhysicalDevice& device() const { return m_device; }
    /// Follows another device; a new identifier reads its apps again while the old list stays.
    void setDevice(const PhysicalDevice& device);

    const std::vector<DeviceApp>& apps() const { return m_apps; }
    std::optional<DeviceApp> currentApp() const { return currentApp(m_apps, m_appID); }
    /// Picks the app (as the app menu does) and lists its snapshots.
    void setAppID(const QString& bundleID);
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString>& working() const { return m_working; }
    const std::vector<DeviceSnapshot>& snapshots() const { return m_snapshots; }
    /// The card's rows as currently shown.
    SettingsGroup* group() const { return m_group; }

    /// The app picked by `appID` when the list has it, else the first app; none for no apps.
    static std::optional<DeviceApp> currentApp(const std::vector<DeviceApp>& apps,
                                               const std::optional<QString>& appID);
    /// The subtitle of the single row shown while there are no apps.
    static QString placeholderSubtitle(bool isLoading);
    /// Where the spinner goes while a flow runs: a download spins in its own row, every other
    /// flow in the "App Data" row.
    struct Spinners {
        bool appDataRow = false;
        bool downloadRow = false;
        bool operator==(const Spinners&) const = default;
    };
    static Spinners spinners(const std::optional<QString>& working);
    /// "Dec 10, 2026, 2:43 PM · 1.2 MB": when the snapshot was saved and how big it is.
    static QString snapshotSubtitle(const DeviceSnapshot& snapshot);

signals:
    /// The app list of the device now shown has arrived.
    void appsLoaded();
    /// A flow of the card has ended and the snapshots were listed again.
    void flowEnded();

private:
    void load();
    void reloadSnapshots();
    void rebuild();
    /// A spinner named after what it waits for.
    static Spinner* progress(QWidget* row, const QString& what);
    void runFlow(const QString& label, QFuture<void> flow);
    void saveSnapshot();
    void download();
    void restore(const DeviceSnapshot& snapshot);
    void remove(const DeviceSnapshot& snapshot);

    PhysicalDevice m_device;
    DeviceSectionServices& m_services;
    Clock& m_clock;
    std::vector<DeviceApp> m_apps;
    std::optional<QString> m_appID;
    std::vector<DeviceSnapshot> m_snapshots;
    bool m_isLoading = true;
    std::optional<QString> m_working;
    std::set<QUuid> m_deleting;
    quint64 m_readNumber = 0;
    QVBoxLayout* m_layout;
    SettingsGroup* m_group = nullptr;
};

} // namespace quorvex
