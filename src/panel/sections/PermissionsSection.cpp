#include "panel/sections/PermissionsSection.h"

#include "actions/PermissionLook.h"
#include "actions/Permissions.h"
#include "panel/widgets/HoverHint.h"
#include "panel/widgets/PanelFocus.h"
#include "panel/widgets/SettingsGroup.h"
#include "panel/widgets/SettingsRow.h"
#include "panel/widgets/ValueMenu.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPropertyAnimation>
#include <QToolButton>
#include <QVBoxLayout>

namespace quorvex {
namespace {

constexpr std::array kActions = {PermissionAction::grant, PermissionAction::revoke, PermissionAction::reset};
constexpr int kIconSize = 15;
constexpr int kFoldMilliseconds = 500;

} // namespace

PermissionsSection::PermissionsSection(const SimulatorApp& app, Permissions& permissions, Clock& clock,
                                       QWidget* parent)
    : QWidget(parent)
    , m_app(app)
    , m_permissions(permissions)
    , m_clock(clock) {
    setObjectName(QStringLiteral("permissionsSection"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* card = new SettingsGroup(this);
    layout->addWidget(card);

    auto* header = new SettingsRow(QStringLiteral("hand.raised"), QStringLiteral("Permissions"),
                                   QStringLiteral("On every simulator with this app"), false, card);
    m_allMenu = new ValueMenu(QStringLiteral("All"), header);
    m_allMenu->setObjectName(QStringLiteral("permissionsAllMenu"));
    for (const PermissionAction action : kActions) {
        QAction* item = m_allMenu->items()->addAction(title(action) + QStringLiteral(" All"));
        connect(item, &QAction::triggered, this,
                [this, action] { m_permissions.apply(action, std::nullopt, m_app); });
    }
    header->addTrailing(m_allMenu);
    card->addRow(header);

    // The service rows and the toggle under them are rebuilt together when the list changes.
    m_list = new QWidget(card);
    m_listLayout = new QVBoxLayout(m_list);
    m_listLayout->setContentsMargins(0, 0, 0, 0);
    m_listLayout->setSpacing(0);
    card->addRow(m_list);

    connect(&m_permissions, &Permissions::lastActionsChanged, this, &PermissionsSection::refreshIcons);
    connect(&m_permissions, &Permissions::isWorkingChanged, this,
            [this](bool working) { PanelFocus::setEnabled(this, !working); });
    setEnabled(!m_permissions.isWorking());
    rebuildRows();
}

void PermissionsSection::setApp(const SimulatorApp& app) {
    m_app = app;
    refreshIcons();
}

void PermissionsSection::setShowsAll(bool showsAll) {
    if (m_showsAll == showsAll)
        return;
    m_showsAll = showsAll;
    rebuildRows();
}

PermissionsSection::ActionIcon PermissionsSection::actionIcon(PermissionAction action,
                                                              std::optional<PermissionAction> last) {
    if (last == action)
        return {PermissionLook::symbol(action, true), PermissionLook::color(action)};
    return {PermissionLook::symbol(action, false), std::nullopt};
}

std::vector<PermissionService> PermissionsSection::shownServices(bool showsAll) {
    if (showsAll)
        return {allPermissionServices().begin(), allPermissionServices().end()};
    return {PermissionService::camera, PermissionService::photos, PermissionService::location,
            PermissionService::contacts, PermissionService::microphone};
}

QString PermissionsSection::hint(PermissionAction action, PermissionService service) {
    return title(action) + QLatin1Char(' ') + title(service);
}

QToolButton* PermissionsSection::actionButton(PermissionService service, PermissionAction action) const {
    const auto found = m_buttons.find({service, action});
    return found == m_buttons.end() ? nullptr : found->second;
}

QStringList PermissionsSection::serviceTitles() const {
    QStringList titles;
    for (const SettingsRow* row : m_rows)
        titles << row->title();
    return titles;
}

void PermissionsSection::rebuildRows() {
    // The toggle's own click leads here: the old rows leave the layout now and are deleted later.
    for (QWidget* old : m_list->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        m_listLayout->removeWidget(old);
        old->hide();
        old->deleteLater();
    }
    m_rows.clear();
    m_buttons.clear();

    for (const PermissionService service : shownServices(m_showsAll)) {
        auto* row = new SettingsRow(symbol(service), title(service), std::nullopt, false, m_list);
        auto* buttons = new QWidget(row);
        auto* buttonsLayout = new QHBoxLayout(buttons);
        buttonsLayout->setContentsMargins(0, 0, 0, 0);
        buttonsLayout->setSpacing(2);
        for (const PermissionAction action : kActions) {
            auto* button = new QToolButton(buttons);
            button->setObjectName(rawValue(action) + QLatin1Char('.') + rawValue(service));
            button->setAutoRaise(true);
            button->setFixedSize(22, 22);
            button->setIconSize(QSize(kIconSize, kIconSize));
            button->setCursor(Qt::PointingHandCursor);
            button->setAccessibleName(hint(action, service));
            PanelFocus::keys(button);
            PanelFocus::ring(button, 6);
            new HoverHint(button, hint(action, service), Qt::AlignCenter, HoverHint::Placement::leading,
                          m_clock);
            connect(button, &QToolButton::clicked, this,
                    [this, action, service] { m_permissions.apply(action, service, m_app); });
            buttonsLayout->addWidget(button);
            m_buttons[{service, action}] = button;
        }
        row->addTrailing(buttons);
        m_listLayout->addWidget(row);
        m_rows.push_back(row);
    }

    const QString toggleTitle = m_showsAll
                                    ? QStringLiteral("Show Fewer")
                                    : QStringLiteral("Show All %1").arg(allPermissionServices().size());
    m_toggle = new SettingsRow(std::nullopt, toggleTitle, std::nullopt, true, m_list);
    m_toggle->setObjectName(QStringLiteral("permissionsToggle"));
    m_toggle->setActivatable(true);
    QPalette accent = m_toggle->palette();
    accent.setColor(QPalette::WindowText, accent.color(QPalette::Highlight));
    m_toggle->setPalette(accent);
    connect(m_toggle, &SettingsRow::clicked, this, [this] { toggleShowsAll(); });
    m_listLayout->addWidget(m_toggle);
    PanelFocus::orderTabs(this);

    refreshIcons();
}

void PermissionsSection::toggleShowsAll() {
    // The rows change at once; only the card's height follows, with an ease-out close to a
    // well-damped spring, so the list unfolds instead of jumping.
    const int from = m_list->height();
    if (m_fold)
        m_fold->stop(); // a second click turns the fold around from where it is
    {
        PanelFocus::Keeper keeper(m_list);
        setShowsAll(!m_showsAll);
    }
    const int to = m_list->sizeHint().height();
    auto* unfold = new QPropertyAnimation(m_list, "maximumHeight", m_list);
    unfold->setDuration(kFoldMilliseconds);
    unfold->setEasingCurve(QEasingCurve::OutCubic);
    unfold->setStartValue(from);
    unfold->setEndValue(to);
    connect(unfold, &QPropertyAnimation::finished, m_list,
            [list = m_list] { list->setMaximumHeight(QWIDGETSIZE_MAX); });
    m_fold = unfold;
    unfold->start(QAbstractAnimation::DeleteWhenStopped);
}

void PermissionsSection::refreshIcons() {
    QColor secondary = palette().color(QPalette::PlaceholderText);
    secondary.setAlphaF(secondary.alphaF() * 0.7f);
    for (const auto& [key, button] : m_buttons) {
        const auto [service, action] = key;
        const std::optional<PermissionAction> last = m_permissions.lastAction(service, m_app);
        const ActionIcon icon = actionIcon(action, last);
        // The filled symbol, for a screen reader; the status menu's rows say it the same way.
        button->setAccessibleDescription(last == action ? QStringLiteral("Applied last") : QString());
        button->setIcon(QIcon(
            Symbols::pixmap(icon.symbol, QSize(kIconSize, kIconSize), icon.colour.value_or(secondary))));
        button->setProperty("symbol", icon.symbol);
    }
}

} // namespace quorvex
