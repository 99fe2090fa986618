#include "panel/AppHeader.h"

#include "panel/DeviceHubPanel.h"
#include "simulator/SimulatorApps.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

namespace quorvex {
namespace {

constexpr int kIconSize = 30;
constexpr double kIconRadius = 7;

QPixmap roundedIcon(const QPixmap& source, qreal ratio) {
    QPixmap result(QSize(kIconSize, kIconSize) * ratio);
    result.setDevicePixelRatio(ratio);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF frame(0, 0, kIconSize, kIconSize);
    QPainterPath clip;
    clip.addRoundedRect(frame, kIconRadius, kIconRadius);
    painter.setClipPath(clip);
    painter.drawPixmap(frame, source, QRectF(source.rect()));
    return result;
}

} // namespace

AppHeader::AppHeader(DeviceHubPanel& panel, SimulatorApps& simulators, QWidget* parent)
    : QWidget(parent)
    , m_panel(panel)
    , m_simulators(simulators)
    , m_icon(new QLabel(this))
    , m_title(new QLabel(this))
    , m_titleMenu(new QToolButton(this))
    , m_status(new QLabel(this)) {
    setObjectName(QStringLiteral("appHeader"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 12, 16, 10);
    row->setSpacing(10);
    m_icon->setObjectName(QStringLiteral("appIcon"));
    m_icon->setFixedSize(kIconSize, kIconSize);
    row->addWidget(m_icon);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    const QFont titleFont = Fonts::system(13, QFont::DemiBold);
    m_title->setObjectName(QStringLiteral("appTitle"));
    m_title->setFont(titleFont);
    texts->addWidget(m_title);
    m_titleMenu->setObjectName(QStringLiteral("appMenu"));
    m_titleMenu->setFont(titleFont);
    m_titleMenu->setAutoRaise(true);
    m_titleMenu->setPopupMode(QToolButton::InstantPopup);
    m_titleMenu->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_titleMenu->setLayoutDirection(Qt::RightToLeft); // the chevron after the name
    m_titleMenu->setIcon(QIcon(Symbols::pixmap(QStringLiteral("chevron.down"), QSize(9, 9),
                                               palette().color(QPalette::PlaceholderText))));
    m_titleMenu->setIconSize(QSize(9, 9));
    m_titleMenu->setStyleSheet(QStringLiteral(
        "QToolButton { padding: 0; border: none; } QToolButton::menu-indicator { image: none; width: 0; }"));
    m_titleMenu->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_titleMenu->setMenu(new QMenu(m_titleMenu));
    texts->addWidget(m_titleMenu, 0, Qt::AlignLeft);
    m_status->setObjectName(QStringLiteral("appStatus"));
    m_status->setFont(Fonts::system(11));
    m_status->setForegroundRole(QPalette::PlaceholderText);
    texts->addWidget(m_status);
    row->addLayout(texts);
    row->addStretch(1);

    connect(&m_panel, &DeviceHubPanel::stateChanged, this, &AppHeader::refresh);
    connect(&m_simulators, &SimulatorApps::appsChanged, this, &AppHeader::refresh);
    refresh();
}

QString AppHeader::titleText(const std::optional<SimulatorApp>& app) {
    return app ? app->name : QStringLiteral("No App");
}

QStringList AppHeader::menuTitles(const std::vector<SimulatorApp>& apps, const std::set<QString>& running) {
    QStringList titles;
    for (const SimulatorApp& app : apps)
        titles << (running.contains(app.id) ? app.name + QStringLiteral(" (running)") : app.name);
    return titles;
}

QString AppHeader::statusLine(const SimulatorApp& app, const std::set<QString>& running) {
    if (running.contains(app.id))
        return QStringLiteral("Running");
    if (app.version)
        return QStringLiteral("Version ") + *app.version;
    return app.id;
}

void AppHeader::refresh() {
    const std::optional<SimulatorApp> app = m_panel.app();
    const std::vector<SimulatorApp> apps = m_panel.apps();
    const std::set<QString>& running = m_panel.runningAppIDs();

    m_icon->setVisible(app.has_value());
    if (app)
        m_icon->setPixmap(roundedIcon(m_simulators.icon(*app), devicePixelRatioF()));

    const QString title = titleText(app);
    const bool menu = offersMenu(apps.size());
    m_title->setText(title);
    m_title->setVisible(!menu);
    m_titleMenu->setText(title);
    m_titleMenu->setVisible(menu);
    QMenu* items = m_titleMenu->menu();
    items->clear();
    if (menu) {
        const QStringList titles = menuTitles(apps, running);
        for (size_t i = 0; i < apps.size(); ++i) {
            const SimulatorApp choice = apps[i];
            connect(items->addAction(titles[qsizetype(i)]), &QAction::triggered, this,
                    [this, choice] { m_panel.setApp(choice); });
        }
    }

    m_status->setVisible(app.has_value());
    m_status->setText(app ? statusLine(*app, running) : QString());
}

} // namespace quorvex
