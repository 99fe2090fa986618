#include "panel/sections/NetworkSection.h"

#include "network/model/NetworkService.h"
#include "panel/sections/NetworkChoices.h"
#include "panel/widgets/PanelFocus.h"
#include "panel/widgets/Segments.h"
#include "panel/widgets/SettingsGroup.h"
#include "panel/widgets/SettingsRow.h"
#include "panel/widgets/Spinner.h"
#include "panel/widgets/ValueMenu.h"
#include "ui/Symbols.h"

#include <QMenu>
#include <QVBoxLayout>

namespace quorvex {
namespace {

std::vector<Segments::Option> quickOptions() {
    std::vector<Segments::Option> options;
    for (const NetworkProfile& profile : NetworkChoices::quickProfiles())
        options.emplace_back(QString::fromStdString(profile.name), QString::fromStdString(profile.id));
    return options;
}

} // namespace

NetworkSection::NetworkSection(const SimulatorApp& app, NetworkService& network, QWidget* parent)
    : QWidget(parent)
    , m_app(app)
    , m_network(network) {
    setObjectName(QStringLiteral("networkSection"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* card = new SettingsGroup(this);
    layout->addWidget(card);

    auto* networkRow =
        new SettingsRow(QStringLiteral("network"), QStringLiteral("Network"), std::nullopt, false, card);
    m_spinner = new Spinner(networkRow);
    m_spinner->setObjectName(QStringLiteral("networkSpinner"));
    networkRow->addTrailing(m_spinner);
    m_segments = new Segments(
        quickOptions(), std::nullopt, [this](const QVariant& value) { chooseSegment(value.toString()); },
        networkRow);
    m_segments->setObjectName(QStringLiteral("networkSegments"));
    networkRow->addTrailing(m_segments);
    card->addRow(networkRow);

    auto* speedsRow = new SettingsRow(QStringLiteral("speedometer"), QStringLiteral("Other Speeds"),
                                      std::nullopt, true, card);
    m_otherSpeeds = new ValueMenu(QString(), speedsRow);
    m_otherSpeeds->setObjectName(QStringLiteral("otherSpeedsMenu"));
    speedsRow->addTrailing(m_otherSpeeds);
    card->addRow(speedsRow);

    connect(&m_network, &NetworkService::stateChanged, this, &NetworkSection::refresh);
    refresh();
}

void NetworkSection::setApp(const SimulatorApp& app) {
    m_app = app;
    refresh();
}

void NetworkSection::refresh() {
    const NetworkProfile current = m_network.profile(m_app);
    const bool busy = m_network.isBusy();
    m_spinner->setVisible(busy);
    const std::optional<QString> segment = NetworkChoices::selectedSegment(current);
    m_segments->setSelection(segment ? std::optional<QVariant>(*segment) : std::nullopt);
    m_otherSpeeds->setValue(NetworkChoices::valueText(current));
    fillMenu(current);
    // Disabling the card blocks the segments and the menu together until the model is done.
    PanelFocus::setEnabled(this, !busy);
}

void NetworkSection::fillMenu(const NetworkProfile& current) {
    QMenu* menu = m_otherSpeeds->items();
    // The model may report its change from inside an item's own triggered signal: the old items
    // go later, not under the running signal.
    for (QAction* old : menu->actions()) {
        menu->removeAction(old);
        old->deleteLater();
    }
    for (const NetworkProfile& profile : NetworkChoices::otherSpeedProfiles())
        addProfileItem(menu, profile, current);
    menu->addSection(QStringLiteral("Flaky Network"));
    for (const NetworkProfile& profile : NetworkProfile::scenarios())
        addProfileItem(menu, profile, current);
}

void NetworkSection::addProfileItem(QMenu* menu, const NetworkProfile& profile,
                                    const NetworkProfile& current) {
    const QString symbol = NetworkChoices::menuSymbol(profile, current);
    QAction* item =
        menu->addAction(QIcon(Symbols::pixmap(symbol, QSize(14, 14), palette().color(QPalette::WindowText))),
                        NetworkChoices::menuTitle(profile));
    item->setData(symbol);
    // The item carries its own profile value: the model gets exactly what was listed, even if the
    // built-in table were to change meanwhile.
    connect(item, &QAction::triggered, this, [this, profile] { m_network.setProfile(profile, m_app); });
}

void NetworkSection::chooseSegment(const QString& id) {
    if (const std::optional<NetworkProfile> profile = NetworkProfile::builtIn(id.toStdString()))
        m_network.setProfile(*profile, m_app);
}

} // namespace quorvex
