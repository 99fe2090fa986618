#include "panel/sections/DeviceAppDataCard.h"

#include "devices/core/DeviceFlowsService.h"
#include "panel/sections/DeviceSectionServices.h"
#include "panel/widgets/ActionRow.h"
#include "panel/widgets/HoverHint.h"
#include "panel/widgets/PanelButtonStyle.h"
#include "panel/widgets/PanelFocus.h"
#include "panel/widgets/SettingsGroup.h"
#include "panel/widgets/SettingsRow.h"
#include "panel/widgets/Spinner.h"
#include "panel/widgets/ValueMenu.h"
#include "ui/ByteCountFormatter.h"
#include "ui/Formatters.h"
#include "ui/Symbols.h"

#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace quorvex {

DeviceAppDataCard::DeviceAppDataCard(const PhysicalDevice& device, DeviceSectionServices& services,
                                     Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_device(device)
    , m_services(services)
    , m_clock(clock)
    , m_layout(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("deviceAppDataCard"));
    m_layout->setContentsMargins(0, 0, 0, 0);
    load();
}

DeviceAppDataCard::~DeviceAppDataCard() = default;

std::optional<DeviceApp> DeviceAppDataCard::currentApp(const std::vector<DeviceApp>& apps,
                                                       const std::optional<QString>& appID) {
    if (appID)
        for (const DeviceApp& app : apps)
            if (app.id == *appID)
                return app;
    if (apps.empty())
        return std::nullopt;
    return apps.front();
}

QString DeviceAppDataCard::placeholderSubtitle(bool isLoading) {
    return isLoading ? QStringLiteral("Loading apps…")
                     : QStringLiteral("Apps you run from Xcode show up here.");
}

DeviceAppDataCard::Spinners DeviceAppDataCard::spinners(const std::optional<QString>& working) {
    if (!working)
        return {};
    if (*working == kDownloading)
        return {false, true};
    return {true, false};
}

QString DeviceAppDataCard::snapshotSubtitle(const DeviceSnapshot& snapshot) {
    return Formatters::abbreviatedDateTime(snapshot.date) + QStringLiteral(" · ") +
           ByteCountFormatter::file(snapshot.size);
}

void DeviceAppDataCard::setDevice(const PhysicalDevice& device) {
    const bool changed = device.id != m_device.id;
    m_device = device;
    if (changed)
        load();
}

void DeviceAppDataCard::load() {
    m_isLoading = true;
    rebuild();
    const quint64 number = ++m_readNumber;
    const QString asked = m_device.id;
    auto* watcher = new QFutureWatcher<std::vector<DeviceApp>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, number, asked] {
        watcher->deleteLater();
        // Only the newest read lands: an older one belongs to a device shown before.
        if (number != m_readNumber || asked != m_device.id)
            return;
        m_apps = watcher->result();
        m_isLoading = false;
        reloadSnapshots();
        rebuild();
        emit appsLoaded();
    });
    watcher->setFuture(QtConcurrent::run([list = m_services.appLister(), asked] { return list(asked); }));
}

void DeviceAppDataCard::reloadSnapshots() {
    const auto app = currentApp();
    m_snapshots = app ? m_services.snapshots(app->id) : std::vector<DeviceSnapshot>{};
}

void DeviceAppDataCard::setAppID(const QString& bundleID) {
    m_appID = bundleID;
    reloadSnapshots();
    rebuild();
}

void DeviceAppDataCard::runFlow(const QString& label, QFuture<void> flow) {
    m_working = label;
    rebuild();
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_working.reset();
        reloadSnapshots();
        rebuild();
        emit flowEnded();
    });
    watcher->setFuture(flow);
}

void DeviceAppDataCard::saveSnapshot() {
    const auto app = currentApp();
    if (!app || m_working)
        return;
    const PhysicalDevice device = m_device;
    const std::optional<QString> name = m_services.flows().promptSnapshotName(*app, device);
    if (!name)
        return;
    runFlow(kSaving, m_services.flows().saveSnapshotFlow(device, *app, *name));
}

void DeviceAppDataCard::download() {
    const auto app = currentApp();
    if (!app || m_working)
        return;
    runFlow(kDownloading, m_services.flows().downloadAppDataFlow(m_device, *app));
}

void DeviceAppDataCard::restore(const DeviceSnapshot& snapshot) {
    const auto app = currentApp();
    if (!app || m_working)
        return;
    const PhysicalDevice device = m_device;
    if (!m_services.flows().confirmRestoreSnapshot(snapshot, *app, device))
        return;
    runFlow(kRestoring, m_services.flows().restoreSnapshotFlow(snapshot, *app, device));
}

void DeviceAppDataCard::remove(const DeviceSnapshot& snapshot) {
    const auto app = currentApp();
    if (!app || m_deleting.count(snapshot.id))
        return;
    const QFuture<void> deleted = m_services.flows().deleteSnapshotFlow(snapshot, *app, m_device);
    const auto listAgain = [this, id = snapshot.id] {
        m_deleting.erase(id);
        reloadSnapshots();
        rebuild();
    };
    if (deleted.isFinished()) {
        listAgain();
        return;
    }
    m_deleting.insert(snapshot.id);
    rebuild();
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [watcher, listAgain] {
        watcher->deleteLater();
        listAgain();
    });
    watcher->setFuture(deleted);
}

void DeviceAppDataCard::rebuild() {
    // A row pressed from the keyboard keeps the focus in its new copy, or, while it is off, the
    // card's first control (the copy's Cancel) takes it.
    PanelFocus::Keeper keeper(this);
    // The old rows go later: this may run from a click on one of them.
    if (m_group) {
        m_layout->removeWidget(m_group);
        m_group->hide();
        m_group->deleteLater();
    }
    m_group = new SettingsGroup(this);
    m_layout->addWidget(m_group);

    const QString folder = QStringLiteral("folder");
    const QString title = QStringLiteral("App Data");
    if (m_apps.empty()) {
        auto* row = new SettingsRow(folder, title, placeholderSubtitle(m_isLoading), true, m_group);
        row->setObjectName(QStringLiteral("appDataRow"));
        if (m_isLoading)
            row->addTrailing(progress(row, placeholderSubtitle(true)));
        m_group->addRow(row);
        PanelFocus::orderTabs(this);
        return;
    }

    const auto app = currentApp();
    const Spinners spin = spinners(m_working);
    const bool idle = !m_working;

    auto* header = new SettingsRow(folder, title, std::nullopt, false, m_group);
    header->setObjectName(QStringLiteral("appDataRow"));
    if (spin.appDataRow)
        header->addTrailing(progress(header, *m_working));
    if (m_working) {
        // The copy that runs stops from here; the header is never disabled.
        auto* cancel = new PanelButtonStyle(QStringLiteral("Cancel"), false, header);
        cancel->setObjectName(QStringLiteral("cancelCopyButton"));
        connect(cancel, &QAbstractButton::clicked, this, [this] { m_services.flows().cancelCopy(); });
        header->addTrailing(cancel);
    }
    auto* menu = new ValueMenu(app ? app->name : QStringLiteral("Choose"), header);
    menu->setObjectName(QStringLiteral("appMenu"));
    for (const DeviceApp& each : m_apps) {
        const QString id = each.id;
        connect(menu->items()->addAction(each.name), &QAction::triggered, this, [this, id] { setAppID(id); });
    }
    header->addTrailing(menu);
    m_group->addRow(header);

    auto* save = new ActionRow(
        QStringLiteral("clock.arrow.circlepath"), QStringLiteral("Save Snapshot"), false,
        [this] { saveSnapshot(); }, m_group);
    save->setObjectName(QStringLiteral("saveSnapshotRow"));
    save->setEnabled(idle);
    m_group->addRow(save);

    auto* downloadRow = new SettingsRow(QStringLiteral("arrow.down.circle"), QStringLiteral("Download"),
                                        std::nullopt, m_snapshots.empty(), m_group);
    downloadRow->setObjectName(QStringLiteral("downloadRow"));
    downloadRow->setActivatable(true);
    downloadRow->setEnabled(idle);
    if (spin.downloadRow)
        downloadRow->addTrailing(progress(downloadRow, *m_working));
    connect(downloadRow, &SettingsRow::clicked, this, [this] { download(); });
    m_group->addRow(downloadRow);

    for (size_t i = 0; i < m_snapshots.size(); ++i) {
        const DeviceSnapshot snapshot = m_snapshots[i];
        auto* row = new SettingsRow(QStringLiteral("doc.on.doc"), snapshot.name, snapshotSubtitle(snapshot),
                                    i + 1 == m_snapshots.size(), m_group);
        row->setObjectName(QStringLiteral("snapshotRow"));
        const bool deleting = m_deleting.count(snapshot.id) != 0;
        row->setEnabled(idle && !deleting);
        if (deleting)
            row->addTrailing(progress(row, QStringLiteral("Deleting snapshot")));
        auto* restoreButton = new PanelButtonStyle(QStringLiteral("Restore"), false, row);
        restoreButton->setObjectName(QStringLiteral("restoreButton"));
        connect(restoreButton, &QAbstractButton::clicked, this, [this, snapshot] { restore(snapshot); });
        row->addTrailing(restoreButton);
        auto* trash = new QToolButton(row);
        trash->setObjectName(QStringLiteral("deleteSnapshotButton"));
        trash->setAutoRaise(true);
        trash->setCursor(Qt::PointingHandCursor);
        trash->setIcon(QIcon(Symbols::pixmap(QStringLiteral("trash"), QSize(14, 14),
                                             palette().color(QPalette::PlaceholderText))));
        trash->setIconSize(QSize(14, 14));
        trash->setAccessibleName(QStringLiteral("Delete snapshot"));
        trash->setFocusPolicy(Qt::TabFocus);
        PanelFocus::keys(trash);
        PanelFocus::ring(trash, 6);
        new HoverHint(trash, QStringLiteral("Delete snapshot"), Qt::AlignRight, HoverHint::Placement::below,
                      m_clock);
        connect(trash, &QAbstractButton::clicked, this, [this, snapshot] { remove(snapshot); });
        row->addTrailing(trash);
        m_group->addRow(row);
    }
    PanelFocus::orderTabs(this);
}

Spinner* DeviceAppDataCard::progress(QWidget* row, const QString& what) {
    auto* spinner = new Spinner(row);
    spinner->setObjectName(QStringLiteral("progress"));
    spinner->setAccessibleName(what);
    return spinner;
}

} // namespace quorvex
