#include "panel/sections/AppActionsSection.h"

#include "panel/controller/DeviceHubPanel.h"
#include "panel/sections/MenuFlows.h"
#include "panel/widgets/ActionRow.h"
#include "panel/widgets/SettingsGroup.h"
#include "panel/widgets/SettingsRow.h"
#include "panel/widgets/ValueMenu.h"
#include "windows/ActionWindowsService.h"

#include <QMenu>
#include <QVBoxLayout>

namespace quorvex {

AppActionsSection::AppActionsSection(DeviceHubPanel& panel, const SimulatorApp& app,
                                     ActionWindowsService& windows, MenuFlows* menuFlows,
                                     Workspace& workspace, QWidget* parent)
    : QWidget(parent)
    , m_panel(panel)
    , m_app(app)
    , m_windows(windows)
    , m_menuFlows(menuFlows)
    , m_workspace(workspace) {
    setObjectName(QStringLiteral("appActionsSection"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* group = new SettingsGroup(this);
    layout->addWidget(group);

    auto* link = new ActionRow(
        QStringLiteral("link"), QStringLiteral("Open URL…"), false,
        [this] { m_windows.openDeepLinkWindow(m_app); }, group);
    link->setObjectName(QStringLiteral("openURLRow"));
    group->addRow(link);
    auto* push = new ActionRow(
        QStringLiteral("bell.badge"), QStringLiteral("Send Push Notification…"), false,
        [this] { m_windows.openPushWindow(m_app); }, group);
    push->setObjectName(QStringLiteral("pushRow"));
    group->addRow(push);
    auto* snapshot = new ActionRow(
        QStringLiteral("clock.arrow.circlepath"), QStringLiteral("Save App Data Snapshot"), false,
        [this] { saveSnapshot(); }, group);
    snapshot->setObjectName(QStringLiteral("snapshotRow"));
    group->addRow(snapshot);

    auto* data =
        new SettingsRow(QStringLiteral("folder"), QStringLiteral("App Data"), std::nullopt, true, group);
    data->setObjectName(QStringLiteral("appDataRow"));
    auto* open = new ValueMenu(QStringLiteral("Open"), data);
    open->setObjectName(QStringLiteral("appDataMenu"));
    m_dataMenu = open->items();
    // Filled as it opens, so a folder the app created meanwhile is offered.
    connect(m_dataMenu, &QMenu::aboutToShow, this, &AppActionsSection::fillDataMenu);
    data->addTrailing(open);
    group->addRow(data);
}

std::vector<AppActionsSection::DataEntry>
AppActionsSection::dataEntries(const std::vector<AppDataLocation>& locations,
                               const std::function<bool(const std::filesystem::path&)>& exists) {
    std::vector<DataEntry> entries;
    for (const AppDataLocation& location : locations) {
        const QString title = location.indented ? QStringLiteral("\u2003") + location.title : location.title;
        entries.push_back({title, location.url && exists(*location.url)});
    }
    return entries;
}

std::optional<SimulatorInstall> AppActionsSection::install() const {
    // The install of this card's own app, so its folders and snapshot never mix two apps.
    const std::optional<QString> udid = m_panel.targetUDID();
    if (!udid)
        return std::nullopt;
    const SimulatorInstall* found = m_app.install(*udid);
    return found ? std::optional(*found) : std::nullopt;
}

void AppActionsSection::saveSnapshot() {
    const auto target = install();
    if (!target || !m_menuFlows)
        return;
    m_menuFlows->confirmSaveSnapshot(m_app, *target);
}

void AppActionsSection::fillDataMenu() {
    m_dataMenu->clear();
    const auto target = install();
    if (!target)
        return;
    const std::vector<AppDataLocation> locations = AppDataLocation::locations(*target, m_app.id);
    const auto entries = dataEntries(locations, [](const std::filesystem::path& path) {
        std::error_code ignored;
        return std::filesystem::exists(path, ignored);
    });
    for (size_t i = 0; i < locations.size(); ++i) {
        QAction* action = m_dataMenu->addAction(entries[i].title);
        action->setEnabled(entries[i].enabled);
        const AppDataLocation location = locations[i];
        connect(action, &QAction::triggered, this, [this, location] { location.open(m_workspace); });
    }
}

} // namespace quorvex
