#include "panel/sections/AppHeader.h"

#include "panel/controller/DeviceHubPanel.h"
#include "panel/widgets/PanelFocus.h"
#include "simulator/SimulatorApps.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
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

// The app's name and a small chevron drawn tight, so the name lines up with the status line under
// it (a tool button keeps room for its menu arrow); a click opens the menu below.
class TitleMenuButton final : public QAbstractButton {
public:
    TitleMenuButton(QMenu* menu, QWidget* parent)
        : QAbstractButton(parent) {
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setFocusPolicy(Qt::TabFocus);
        connect(this, &QAbstractButton::clicked, this,
                [this, menu] { menu->popup(mapToGlobal(QPoint(0, height()))); });
        PanelFocus::keys(this, [this] { click(); });
    }

    QSize sizeHint() const override {
        const QFontMetrics metrics(font());
        return {metrics.horizontalAdvance(text()) + kGap + kChevron, std::max(metrics.height(), kChevron)};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setOpacity(isDown() ? 0.75 : 1.0);
        painter.setPen(palette().color(QPalette::WindowText));
        const int textWidth = QFontMetrics(font()).horizontalAdvance(text());
        painter.drawText(QRect(0, 0, textWidth, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
        const QPixmap chevron = Symbols::pixmap(QStringLiteral("chevron.down"), QSize(kChevron, kChevron),
                                                palette().color(QPalette::PlaceholderText));
        painter.drawPixmap(QPoint(textWidth + kGap, (height() - kChevron) / 2), chevron);
        painter.setOpacity(1.0);
        FocusRing::paint(painter, *this, QRectF(rect()), 4);
    }

private:
    static constexpr int kGap = 4;
    static constexpr int kChevron = 9;
};

} // namespace

AppHeader::AppHeader(DeviceHubPanel& panel, SimulatorApps& simulators, QWidget* parent)
    : QWidget(parent)
    , m_panel(panel)
    , m_simulators(simulators)
    , m_icon(new QLabel(this))
    , m_title(new QLabel(this))
    , m_titleMenu(nullptr)
    , m_menu(new QMenu(this))
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
    m_titleMenu = new TitleMenuButton(m_menu, this);
    m_titleMenu->setObjectName(QStringLiteral("appMenu"));
    m_titleMenu->setFont(titleFont);
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
    QMenu* items = m_menu;
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
