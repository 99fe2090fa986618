#pragma once

#include "devices/core/PhysicalDevice.h"
#include "panel/sections/RecentURLs.h"
#include "simulator/Toast.h"

#include <QStringList>
#include <QWidget>

#include <optional>

class QLineEdit;
class QPushButton;
class QSettings;
class QVBoxLayout;

namespace quorvex {

class Clock;
class DeviceAppDataCard;
class DeviceSectionServices;
class PanelButtonStyle;

/// What the side panel shows while its target is a connected iPhone or iPad: a URL field that
/// opens deep links and universal links on the device, with the recent URLs under it; the
/// device's app-data card; the device push window; and a note on what needs a simulator.
/// GUI thread.
///
/// An open runs the device tool on the global thread pool and reports in a toast once it ends,
/// even when the section is gone by then. The toast names the device the URL was sent to, taken
/// when the open started, not whatever device the panel shows when the tool returns.
class PhysicalDeviceSection final : public QWidget {
    Q_OBJECT
public:
    /// The history, newest first; the status menu reads the same key.
    static inline const QString kRecentKey = RecentURLs::kSettingsKey;
    /// Recent URLs shown while the list is folded.
    static constexpr qsizetype kFoldedCount = 2;

    PhysicalDeviceSection(const PhysicalDevice& device, DeviceSectionServices& services, QSettings& defaults,
                          Clock& clock, QWidget* parent = nullptr);

    const PhysicalDevice& device() const { return m_device; }
    void setDevice(const PhysicalDevice& device);
    const QStringList& recent() const { return m_recent; }
    bool showsAllRecent() const { return m_showsAllRecent; }
    DeviceAppDataCard* appDataCard() const { return m_card; }

    /// The stored history: a list of strings only; anything else reads as no history.
    static QStringList storedRecent(const QVariant& stored);
    /// The entries listed under the field: the first two, or all while unfolded.
    static QStringList shownRecent(const QStringList& recent, bool showsAll);
    /// The title of the row that folds and unfolds the list; none while nothing is hidden.
    static std::optional<QString> foldTitle(qsizetype count, bool showsAll);
    /// What the user is told when an open on the device named `deviceName` has ended.
    static ToastMessage openedToast(const QString& deviceName, bool opened);

private:
    void open(const QString& url);
    void submit();
    void setRecent(const QStringList& recent);
    void toggleFold();
    void rebuildRecent();
    void updateOpenButton();

    PhysicalDevice m_device;
    DeviceSectionServices& m_services;
    QSettings& m_defaults;
    QStringList m_recent;
    bool m_showsAllRecent = false;
    QPushButton* m_clear;
    QLineEdit* m_field;
    PanelButtonStyle* m_open;
    QWidget* m_recentRows;
    QVBoxLayout* m_recentLayout;
    DeviceAppDataCard* m_card;
};

} // namespace quorvex
