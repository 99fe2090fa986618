#include "windows/ActionScaffold.h"

#include "platform/gui/HotKey.h"
#include "simulator/SimulatorApp.h"
#include "simulator/SimulatorApps.h"
#include "ui/FocusRing.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"
#include "windows/RelativeDateFormatter.h"

#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvex {

namespace {

bool matchesKind(const SimulatorActions::Kind& kind, ActionWindowKind window) {
    return window == ActionWindowKind::push ? kind.asPush() != nullptr : kind.asDeepLink() != nullptr;
}

QString symbolOf(const SimulatorActions::Kind& kind) {
    return kind.asPush() ? QStringLiteral("bell.badge") : QStringLiteral("link");
}

// One line of a list: symbol, title over a middle-truncated subtitle, buttons on the right.
QWidget* makeRow(const QString& symbol, const QString& title, const QString& subtitle,
                 const std::vector<QPushButton*>& buttons) {
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("listRow"));
    row->setAttribute(Qt::WA_StyledBackground);
    row->setStyleSheet(
        QStringLiteral("#listRow { background: rgba(128, 128, 128, 0.08); border-radius: 9px; }"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(10, 7, 10, 7);
    layout->setSpacing(10);
    auto* icon = new QLabel;
    icon->setPixmap(Symbols::pixmap(symbol, {16, 16}, Palette::blue()));
    icon->setFixedWidth(18);
    layout->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto* titleLabel = new QLabel(title);
    titleLabel->setObjectName(QStringLiteral("rowTitle"));
    auto* subtitleLabel = new QLabel;
    subtitleLabel->setObjectName(QStringLiteral("rowSubtitle"));
    subtitleLabel->setProperty("fullText", subtitle);
    QFont caption = subtitleLabel->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    subtitleLabel->setFont(caption);
    subtitleLabel->setStyleSheet(QStringLiteral("color: gray;"));
    subtitleLabel->setText(QFontMetrics(caption).elidedText(subtitle, Qt::ElideMiddle, 300));
    texts->addWidget(titleLabel);
    texts->addWidget(subtitleLabel);
    layout->addLayout(texts, 1);
    for (QPushButton* button : buttons)
        layout->addWidget(button);
    return row;
}

QWidget* makeSection(const QString& title, const QString& name) {
    auto* section = new QWidget;
    section->setObjectName(name);
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* heading = new QLabel(title);
    heading->setObjectName(QStringLiteral("sectionTitle"));
    QFont font = heading->font();
    font.setBold(true);
    heading->setFont(font);
    heading->setStyleSheet(QStringLiteral("color: gray;"));
    layout->addWidget(heading);
    return section;
}

// A replaced section may hold the button whose click led here: it goes on the next turn.
void retire(QWidget* section) {
    section->hide();
    section->setObjectName(QString());
    section->deleteLater();
}

QPushButton* flatButton(const QString& title, const QString& name) {
    auto* button = new QPushButton(title);
    button->setObjectName(name);
    button->setFlat(true);
    // A flat button draws no frame, and so no focus either: it gets the ring, in a border kept
    // transparent until then so focus moves nothing.
    button->setStyleSheet(
        QStringLiteral("QPushButton { border: %1px solid transparent; border-radius: 6px; padding: 2px 6px; "
                       "background: transparent; } "
                       "QPushButton:pressed { background: rgba(128, 128, 128, 0.2); } ")
            .arg(FocusRing::width) +
        FocusRing::styleSheetRule(QStringLiteral("QPushButton"), 6));
    return button;
}

} // namespace

ActionScaffold::ActionScaffold(ActionWindowState& state, ActionWindowKind kind, SimulatorApps& apps,
                               SimulatorActions& actions, Now now, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_kind(kind)
    , m_apps(apps)
    , m_actions(actions)
    , m_now(std::move(now))
    , m_icon(new QLabel(this))
    , m_appPicker(new QComboBox(this))
    , m_devicePicker(new QComboBox(this))
    , m_layout(new QVBoxLayout(this))
    , m_presets(new QWidget(this))
    , m_recents(new QWidget(this)) {
    setFixedWidth(540);
    m_layout->setContentsMargins(20, 20, 20, 20);
    m_layout->setSpacing(18);

    auto* appRow = new QHBoxLayout;
    appRow->setSpacing(10);
    m_icon->setObjectName(QStringLiteral("appIcon"));
    m_icon->setFixedSize(28, 28);
    m_icon->setScaledContents(true);
    m_appPicker->setObjectName(QStringLiteral("appPicker"));
    m_devicePicker->setObjectName(QStringLiteral("devicePicker"));
    // The labels name the pickers for a screen reader too.
    auto* appLabel = new QLabel(QStringLiteral("App"));
    appLabel->setBuddy(m_appPicker);
    m_appPicker->setAccessibleName(QStringLiteral("App"));
    auto* deviceLabel = new QLabel(QStringLiteral("On"));
    deviceLabel->setBuddy(m_devicePicker);
    m_devicePicker->setAccessibleName(QStringLiteral("Simulator"));
    appRow->addWidget(m_icon);
    appRow->addWidget(appLabel);
    appRow->addWidget(m_appPicker, 1);
    appRow->addWidget(deviceLabel);
    appRow->addWidget(m_devicePicker, 1);
    m_layout->addLayout(appRow);
    m_layout->addWidget(m_presets);
    m_layout->addWidget(m_recents);

    // Only the user's pick moves the simulator: the controller sets both fields itself.
    connect(m_appPicker, &QComboBox::activated, this, [this](int index) {
        const QString id = m_appPicker->itemData(index).toString();
        m_state.setAppID(id);
        const SimulatorApp* app = selectedApp();
        m_state.setUdid(app && !app->installs.empty() ? std::optional(app->installs.front().udid)
                                                      : std::nullopt);
    });
    connect(m_devicePicker, &QComboBox::activated, this,
            [this](int index) { m_state.setUdid(m_devicePicker->itemData(index).toString()); });

    connect(&m_state, &ActionWindowState::appIDChanged, this, &ActionScaffold::refresh);
    connect(&m_state, &ActionWindowState::udidChanged, this, &ActionScaffold::refresh);
    connect(&m_apps, &SimulatorApps::appsChanged, this, &ActionScaffold::refresh);
    connect(&m_actions, &SimulatorActions::presetsChanged, this, &ActionScaffold::refresh);
    connect(&m_actions, &SimulatorActions::historyChanged, this, &ActionScaffold::refresh);
    refresh();
}

void ActionScaffold::setComposer(QWidget* composer, Load load) {
    m_load = std::move(load);
    m_layout->insertWidget(1, composer);
    // Tab follows the order widgets joined the window: the lists are made again after the
    // composer, so Tab reaches them below it and not before it.
    refreshPresets();
    refreshRecents();
}

const SimulatorApp* ActionScaffold::selectedApp() const {
    if (!m_state.appID())
        return nullptr;
    for (const SimulatorApp& app : m_apps.apps())
        if (app.id == *m_state.appID())
            return &app;
    return nullptr;
}

const SimulatorInstall* ActionScaffold::selectedInstall() const {
    const SimulatorApp* app = selectedApp();
    if (!app || app->installs.empty())
        return nullptr;
    if (m_state.udid())
        for (const SimulatorInstall& install : app->installs)
            if (install.udid == *m_state.udid())
                return &install;
    return &app->installs.front();
}

QString ActionScaffold::oneLinePayload(const QString& payload) {
    QString line = payload;
    line.replace(u'\n', u' ');
    return line.replace(QStringLiteral("  "), QString());
}

void ActionScaffold::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_appeared)
        return;
    m_appeared = true;
    if (!m_state.udid())
        if (const SimulatorApp* app = selectedApp(); app && !app->installs.empty())
            m_state.setUdid(app->installs.front().udid);
}

void ActionScaffold::refresh() {
    refreshPickers();
    refreshPresets();
    refreshRecents();
    emit selectionChanged();
}

void ActionScaffold::refreshPickers() {
    const QSignalBlocker appBlocker(m_appPicker);
    const QSignalBlocker deviceBlocker(m_devicePicker);
    m_appPicker->clear();
    for (const SimulatorApp& app : m_apps.apps())
        m_appPicker->addItem(app.name, app.id);
    const SimulatorApp* app = selectedApp();
    m_appPicker->setCurrentIndex(app ? m_appPicker->findData(app->id) : -1);
    m_icon->setVisible(app != nullptr);
    if (app)
        m_icon->setPixmap(m_apps.icon(*app));

    m_devicePicker->clear();
    if (app)
        for (const SimulatorInstall& install : app->installs)
            m_devicePicker->addItem(install.deviceName, install.udid);
    const SimulatorInstall* install = selectedInstall();
    m_devicePicker->setCurrentIndex(install ? m_devicePicker->findData(install->udid) : -1);
    m_devicePicker->setEnabled(app && app->installs.size() >= 2);
}

void ActionScaffold::performOnSelection(const SimulatorActions::Kind& kind) {
    const SimulatorApp* app = selectedApp();
    const SimulatorInstall* install = selectedInstall();
    if (!app || !install)
        return;
    // Copies: the call may publish new lists that the pointers point into.
    const SimulatorApp appCopy = *app;
    const SimulatorInstall installCopy = *install;
    m_actions.perform(kind, appCopy, installCopy);
}

void ActionScaffold::savePresetForSelection(const QString& name, const SimulatorActions::Kind& kind) {
    const SimulatorApp* app = selectedApp();
    if (!app)
        return;
    SimulatorActions::Preset preset;
    preset.name = name;
    preset.kind = kind;
    m_actions.savePreset(preset, QString(app->id));
}

void ActionScaffold::refreshPresets() {
    std::vector<SimulatorActions::Preset> shown;
    if (m_state.appID())
        if (const auto found = m_actions.presets().find(*m_state.appID()); found != m_actions.presets().end())
            for (const SimulatorActions::Preset& preset : found->second)
                if (matchesKind(preset.kind, m_kind) && int(shown.size()) < kMaxPresets)
                    shown.push_back(preset);

    auto* section = makeSection(QStringLiteral("Presets"), QStringLiteral("presetsSection"));
    for (const SimulatorActions::Preset& preset : shown) {
        const QString subtitle = preset.kind.asDeepLink() ? preset.kind.asDeepLink()->url
                                                          : oneLinePayload(preset.kind.asPush()->payload);
        auto* edit = flatButton(QStringLiteral("Edit"), QStringLiteral("editPreset"));
        auto* run = new QPushButton(QStringLiteral("Run"));
        run->setObjectName(QStringLiteral("runPreset"));
        run->setEnabled(selectedInstall() != nullptr);
        auto* trash = flatButton(QString(), QStringLiteral("deletePreset"));
        trash->setIcon(QIcon(Symbols::pixmap(QStringLiteral("trash"), {14, 14}, Palette::gray())));
        trash->setToolTip(QStringLiteral("Delete preset"));
        trash->setAccessibleName(QStringLiteral("Delete preset"));
        // Every row has the same buttons: the preset's name tells them apart when read out.
        for (QPushButton* button : {edit, run, trash})
            button->setAccessibleDescription(preset.name);
        const SimulatorActions::Preset copy = preset;
        connect(edit, &QPushButton::clicked, this, [this, copy] {
            if (m_load)
                m_load(copy.kind, copy.name);
        });
        connect(run, &QPushButton::clicked, this, [this, copy] { performOnSelection(copy.kind); });
        connect(trash, &QPushButton::clicked, this, [this, copy] {
            if (const SimulatorApp* app = selectedApp())
                m_actions.deletePreset(copy.id, QString(app->id));
        });
        section->layout()->addWidget(
            makeRow(symbolOf(preset.kind), preset.name, subtitle, {edit, run, trash}));
    }
    m_layout->replaceWidget(m_presets, section);
    retire(m_presets);
    m_presets = section;
    section->setVisible(!shown.empty());
}

void ActionScaffold::refreshRecents() {
    auto* section =
        makeSection(QStringLiteral("Recent · %1 repeats the latest").arg(HotKey::repeatHotKeyText()),
                    QStringLiteral("recentSection"));
    int shown = 0;
    const QDateTime now = m_now ? m_now() : QDateTime::currentDateTime();
    for (const SimulatorActions::Recent& recent : m_actions.history()) {
        if (!matchesKind(recent.kind, m_kind) || shown >= kMaxRecents)
            continue;
        ++shown;
        const QString subtitle = recent.appName + QStringLiteral(" on ") + recent.deviceName +
                                 QStringLiteral(" · ") + RelativeDateFormatter::format(recent.date, now);
        auto* repeat = new QPushButton(QStringLiteral("Repeat"));
        repeat->setObjectName(QStringLiteral("repeatRecent"));
        repeat->setAccessibleDescription(subtitle);
        const SimulatorActions::Recent copy = recent;
        connect(repeat, &QPushButton::clicked, this, [this, copy] { m_actions.repeat(copy); });
        section->layout()->addWidget(makeRow(symbolOf(recent.kind), recent.kind.title(), subtitle, {repeat}));
    }
    m_layout->replaceWidget(m_recents, section);
    retire(m_recents);
    m_recents = section;
    section->setVisible(shown > 0);
}

} // namespace quorvex
