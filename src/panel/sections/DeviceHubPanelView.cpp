#include "panel/sections/DeviceHubPanelView.h"

#include "panel/controller/DeviceHubPanel.h"
#include "panel/controller/DeviceHubTracker.h"
#include "panel/sections/AppActionsSection.h"
#include "panel/sections/DropPayload.h"
#include "panel/sections/NetworkSection.h"
#include "panel/sections/PanelSections.h"
#include "panel/sections/PanelServices.h"
#include "panel/sections/PermissionsSection.h"
#include "panel/sections/PhysicalDeviceSection.h"
#include "panel/sections/SimulatorBar.h"
#include "panel/widgets/DropHighlight.h"
#include "panel/widgets/PanelFocus.h"
#include "platform/core/Clock.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDragEnterEvent>
#include <QEasingCurve>
#include <QGraphicsBlurEffect>
#include <QGraphicsOpacityEffect>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvex {

// Stands in for the content while a drag hovers: a still picture of it, taken when the drag
// came, drawn blurred and dimmed on the panel's card. A picture, not graphics effects on the
// live widgets: effects nest badly (a widget takes only one) and break up over scroll areas.
class ContentVeil final : public QWidget {
public:
    explicit ContentVeil(QWidget* parent)
        : QWidget(parent) {
        setObjectName(QStringLiteral("contentVeil"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

    void capture(QWidget* content) {
        const QPixmap picture = content->grab();
        m_sharp = picture.toImage();
        m_blurred = blurred(m_sharp, DeviceHubPanelView::kVeilBlurRadius * picture.devicePixelRatio());
        m_blurred.setDevicePixelRatio(picture.devicePixelRatio());
    }
    void release() {
        m_sharp = {};
        m_blurred = {};
    }
    /// 0: the picture as it is; 1: fully blurred and dimmed.
    void setAmount(double amount) {
        m_amount = amount;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath card;
        card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), DeviceHubPanelView::kCornerRadius,
                            DeviceHubPanelView::kCornerRadius);
        painter.fillPath(card, DeviceHubPanelView::panelColour(DeviceHubPanelView::isDark(palette())));
        painter.setClipPath(card);
        const double opacity = 1.0 - (1.0 - DeviceHubPanelView::kVeilOpacity) * m_amount;
        // Between the two pictures while the veil fades, so the blur seems to grow.
        painter.setOpacity(opacity * (1.0 - m_amount));
        painter.drawImage(QPoint(0, 0), m_sharp);
        painter.setOpacity(opacity * m_amount);
        painter.drawImage(QPoint(0, 0), m_blurred);
    }

private:
    static QImage blurred(const QImage& image, double radius) {
        // Qt's blur lives in the graphics-view effects; a scene of one picture renders it.
        QGraphicsScene scene;
        auto* item = new QGraphicsPixmapItem(QPixmap::fromImage(image));
        auto* blur = new QGraphicsBlurEffect;
        blur->setBlurRadius(radius);
        blur->setBlurHints(QGraphicsBlurEffect::QualityHint);
        item->setGraphicsEffect(blur);
        scene.addItem(item);
        QImage result(image.size(), QImage::Format_ARGB32_Premultiplied);
        result.fill(Qt::transparent);
        QPainter painter(&result);
        scene.render(&painter, QRectF(result.rect()), QRectF(image.rect()));
        return result;
    }

    QImage m_sharp;
    QImage m_blurred;
    double m_amount = 0;
};

namespace {

using Kind = PanelRootState::Kind;

QColor secondary(const QPalette& palette) {
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(0.55f);
    return colour;
}

// The whole width of the collapsed panel is one button that expands it again.
class CollapsedStrip final : public QAbstractButton {
public:
    explicit CollapsedStrip(QWidget* parent)
        : QAbstractButton(parent) {
        setObjectName(QStringLiteral("collapsedStrip"));
        setToolTip(QStringLiteral("Show Quorvex"));
        setAccessibleName(QStringLiteral("Show Quorvex"));
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFocusPolicy(Qt::TabFocus);
        PanelFocus::keys(this);
    }

    QSize sizeHint() const override { return {36, kPadding + chevronHeight() + kSpacing + kIcon + kPadding}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const int chevron = chevronHeight();
        painter.drawPixmap(
            QPoint((width() - chevron) / 2, kPadding),
            Symbols::pixmap(QStringLiteral("chevron.left"), QSize(chevron, chevron), secondary(palette())));
        QPixmap icon = QApplication::windowIcon().pixmap(QSize(kIcon, kIcon), devicePixelRatioF());
        if (icon.isNull())
            icon = Symbols::pixmap(QStringLiteral("app"), QSize(kIcon, kIcon),
                                   palette().color(QPalette::WindowText));
        painter.drawPixmap(QRect((width() - kIcon) / 2, kPadding + chevron + kSpacing, kIcon, kIcon), icon);
        FocusRing::paint(painter, *this, QRectF(rect()).adjusted(3, 3, -3, -3), 8);
    }

private:
    static constexpr int kPadding = 12;
    static constexpr int kSpacing = 10;
    static constexpr int kIcon = 18;
    int chevronHeight() const { return QFontMetrics(Fonts::caption(QFont::Bold)).height(); }
};

// Removes and deletes every widget of a layout. Deletion is deferred: the change may come from
// a signal of one of those widgets.
void clear(QVBoxLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
}

QScrollArea* scrollArea(QWidget* content) {
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    // The indicators are hidden; the wheel and the trackpad still scroll.
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Not a stop of its own: Tab goes to the controls inside, and the panel scrolls to them.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    scroll->setWidget(content);
    return scroll;
}

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("panelDivider"));
    line->setFixedHeight(1);
    QPalette palette = line->palette();
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(0.5f * 0.2f);
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    return line;
}

bool acceptsDrag(const QMimeData* data) {
    return data && (data->hasUrls() || data->hasText());
}

} // namespace

DeviceHubPanelView::DeviceHubPanelView(PanelServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services) {
    setObjectName(QStringLiteral("deviceHubPanelView"));
    setAcceptDrops(true);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_content = new QWidget(this);
    outer->addWidget(m_content);
    m_contentVeil = new ContentVeil(this);

    auto* column = new QVBoxLayout(m_content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_full = new QWidget(m_content);
    auto* fullTop = new QVBoxLayout(m_full);
    fullTop->setContentsMargins(0, 0, 0, 0);
    fullTop->setSpacing(0);
    m_bar = new SimulatorBar(services, m_full);
    fullTop->addWidget(m_bar);
    fullTop->addWidget(divider(m_full));
    column->addWidget(m_full);

    m_stack = new QStackedWidget(m_content);
    m_stack->setObjectName(QStringLiteral("panelStates"));
    column->addWidget(m_stack, 1);

    // One page per state, in the order of PanelRootState::Kind.
    auto* strip = new QWidget;
    auto* stripLayout = new QVBoxLayout(strip);
    stripLayout->setContentsMargins(0, 0, 0, 0);
    auto* stripButton = new CollapsedStrip(strip);
    connect(stripButton, &QAbstractButton::clicked, this, [this] { m_services.panel.setCollapsed(false); });
    stripLayout->addWidget(stripButton);
    stripLayout->addStretch();
    m_stack->addWidget(strip);

    auto* devicePage = new QWidget;
    devicePage->setObjectName(QStringLiteral("connectedDevicePage"));
    auto* deviceContent = new QWidget;
    m_deviceColumn = new QVBoxLayout(deviceContent);
    m_deviceColumn->setContentsMargins(12, 12, 12, 12);
    auto* devicePageLayout = new QVBoxLayout(devicePage);
    devicePageLayout->setContentsMargins(0, 0, 0, 0);
    devicePageLayout->addWidget(scrollArea(deviceContent));
    m_stack->addWidget(devicePage);

    auto* appPage = new QWidget;
    appPage->setObjectName(QStringLiteral("appPage"));
    auto* appPageLayout = new QVBoxLayout(appPage);
    appPageLayout->setContentsMargins(0, 0, 0, 0);
    appPageLayout->setSpacing(0);
    m_appHeaderSlot = new QVBoxLayout;
    m_appHeaderSlot->setContentsMargins(0, 0, 0, 0);
    appPageLayout->addLayout(m_appHeaderSlot);
    auto* appContent = new QWidget;
    m_appColumn = new QVBoxLayout(appContent);
    m_appColumn->setContentsMargins(12, 0, 12, 12);
    m_appColumn->setSpacing(10);
    appPageLayout->addWidget(scrollArea(appContent), 1);
    m_stack->addWidget(appPage);

    // Both empty states share one message view; only its texts differ.
    auto* empty = new QWidget;
    empty->setObjectName(QStringLiteral("emptyState"));
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->setContentsMargins(24, 24, 24, 24);
    emptyLayout->setSpacing(6);
    emptyLayout->addStretch();
    m_emptySymbol = new QLabel(empty);
    m_emptySymbol->setObjectName(QStringLiteral("emptySymbol"));
    m_emptySymbol->setAlignment(Qt::AlignHCenter);
    emptyLayout->addWidget(m_emptySymbol);
    emptyLayout->addSpacing(4);
    m_emptyTitle = new QLabel(empty);
    m_emptyTitle->setObjectName(QStringLiteral("emptyTitle"));
    m_emptyTitle->setAlignment(Qt::AlignHCenter);
    m_emptyTitle->setFont(Fonts::system(15, QFont::Bold));
    emptyLayout->addWidget(m_emptyTitle);
    m_emptyDescription = new QLabel(empty);
    m_emptyDescription->setObjectName(QStringLiteral("emptyDescription"));
    m_emptyDescription->setAlignment(Qt::AlignHCenter);
    m_emptyDescription->setWordWrap(true);
    m_emptyDescription->setFont(Fonts::callout());
    m_emptyDescription->setForegroundRole(QPalette::PlaceholderText);
    emptyLayout->addWidget(m_emptyDescription);
    emptyLayout->addStretch();
    m_stack->addWidget(empty);
    m_stack->addWidget(new QWidget); // NoApps shows the same message page

    m_footerSlot = new QVBoxLayout;
    m_footerSlot->setContentsMargins(0, 0, 0, 0);
    column->addLayout(m_footerSlot);

    connect(&m_services.panel, &DeviceHubPanel::stateChanged, this, &DeviceHubPanelView::refresh);
    // The scroll indicators are hidden, so a control the keyboard reaches is brought into view.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (!now || !isAncestorOf(now))
            return;
        for (QWidget* up = now->parentWidget(); up && up != this; up = up->parentWidget())
            if (auto* scroll = qobject_cast<QScrollArea*>(up)) {
                scroll->ensureWidgetVisible(now, 0, 8);
                return;
            }
    });
    refresh();
}

DeviceHubPanelView::~DeviceHubPanelView() = default;

double DeviceHubPanelView::blurRadius() const {
    return kVeilBlurRadius * m_veil;
}

double DeviceHubPanelView::contentOpacity() const {
    return 1.0 - (1.0 - kVeilOpacity) * m_veil;
}

DropHighlight* DeviceHubPanelView::dropHighlight() const {
    return m_dropTargeted ? m_highlight : nullptr;
}

QColor DeviceHubPanelView::panelColour(bool dark) {
    const double level = dark ? 0.13 : 0.925;
    return QColor::fromRgbF(level, level, level, 1.0);
}

bool DeviceHubPanelView::isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

void DeviceHubPanelView::refresh() {
    DeviceHubPanel& panel = m_services.panel;
    const std::optional<PhysicalDevice> device = panel.physicalDevice();
    const std::optional<SimulatorApp> app = panel.app();
    const std::optional<SimulatorDevice> simulator = panel.simulator();
    m_state =
        PanelRootState::of(panel.isCollapsed(), device.has_value(), app.has_value(), simulator.has_value());

    const bool collapsed = m_state == Kind::Collapsed;
    m_full->setVisible(!collapsed);
    if (m_state == Kind::ConnectedDevice) {
        showDevice();
    } else if (m_deviceSection) {
        clear(m_deviceColumn);
        m_deviceSection = nullptr;
    }
    if (m_state == Kind::App) {
        showApp();
    } else if (m_appShown) {
        clear(m_appHeaderSlot);
        clear(m_appColumn);
        m_appShown.reset();
    }
    if (m_state == Kind::NoSimulator || m_state == Kind::NoApps)
        showEmptyState();
    const int page =
        m_state == Kind::NoApps ? static_cast<int>(Kind::NoSimulator) : static_cast<int>(m_state);
    m_stack->setCurrentIndex(page);
    // A stack is as large as its largest page; the pages not shown must not keep the collapsed
    // window from shrinking to the strip.
    for (int i = 0; i < m_stack->count(); ++i) {
        const auto policy = i == page ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        m_stack->widget(i)->setSizePolicy(policy, policy);
    }
    if (collapsed) {
        clear(m_footerSlot);
        m_footerPhysical.reset();
    } else {
        showFooter(device.has_value());
        m_bar->refresh();
    }
    // The target may change under a hovering drag; the highlight names the current one, and the
    // veil shows the new content.
    if (m_highlight && m_dropTargeted)
        showHighlight();
    if (!m_contentVeil->isHidden())
        m_contentVeil->capture(m_content);
    PanelFocus::orderTabs(this);
}

void DeviceHubPanelView::showDevice() {
    const PhysicalDevice device = *m_services.panel.physicalDevice();
    // One set of device tools for every device: what the user typed or unfolded stays, and the
    // tools act on the record as it is now (a renamed device, another device).
    if (auto* section = qobject_cast<PhysicalDeviceSection*>(m_deviceSection.data())) {
        section->setDevice(device);
        return;
    }
    // A stand-in made before the device services arrived gives way once they are there.
    if (m_deviceSection && !m_services.deviceSections)
        return;
    clear(m_deviceColumn);
    m_deviceSection = PanelSections::physicalDeviceSection(m_services, device);
    m_deviceColumn->addWidget(m_deviceSection);
    m_deviceColumn->addStretch();
}

void DeviceHubPanelView::showApp() {
    const SimulatorApp app = *m_services.panel.app();
    const QString identity = m_services.panel.targetUDID().value_or(QString()) + u'/' + app.id;
    if (m_appShown == identity) {
        // The same app, but its record may have changed (installed on another simulator, or
        // one of them shut down): the cards act on it as the inventory has it now.
        if (auto* card = qobject_cast<NetworkSection*>(m_networkCard.data()))
            card->setApp(app);
        if (auto* card = qobject_cast<AppActionsSection*>(m_actionsCard.data()))
            card->setApp(app);
        if (auto* card = qobject_cast<PermissionsSection*>(m_permissionsCard.data()))
            card->setApp(app);
        return;
    }
    // The header follows the panel's app by itself; the cards are made for one app.
    if (m_appHeaderSlot->isEmpty())
        m_appHeaderSlot->addWidget(PanelSections::appHeader(m_services));
    clear(m_appColumn);
    m_networkCard = PanelSections::networkSection(m_services, app);
    m_actionsCard = PanelSections::appActionsSection(m_services, app);
    m_permissionsCard = PanelSections::permissionsSection(m_services, app);
    for (QWidget* card : {m_networkCard.data(), m_actionsCard.data(), m_permissionsCard.data()})
        m_appColumn->addWidget(card);
    m_appColumn->addStretch();
    m_appShown = identity;
}

void DeviceHubPanelView::showEmptyState() {
    std::optional<QString> simulatorName;
    if (const auto simulator = m_services.panel.simulator())
        simulatorName = simulator->name;
    const auto message = PanelRootState::emptyState(m_state, m_services.tracker.hostName(), simulatorName);
    if (!message)
        return;
    m_emptySymbol->setProperty("symbol", message->symbol);
    m_emptySymbol->setPixmap(Symbols::pixmap(message->symbol, QSize(40, 40), secondary(palette())));
    m_emptyTitle->setText(message->title);
    m_emptyDescription->setText(message->description);
}

void DeviceHubPanelView::showFooter(bool physical) {
    if (m_footerPhysical == physical)
        return;
    clear(m_footerSlot);
    m_footerSlot->addWidget(PanelSections::panelFooter(m_services, physical));
    m_footerPhysical = physical;
}

void DeviceHubPanelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Resolved at every drawing, so the card follows a change of the desktop's appearance.
    const QRectF card = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(card, kCornerRadius, kCornerRadius);
    painter.fillPath(shape, panelColour(isDark(palette())));
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.1f);
    painter.setPen(QPen(border, 1));
    painter.drawPath(shape);
}

void DeviceHubPanelView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_contentVeil->setGeometry(rect());
    if (m_highlight)
        m_highlight->setGeometry(rect());
}

void DeviceHubPanelView::dragEnterEvent(QDragEnterEvent* event) {
    if (!acceptsDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setDropTargeted(true);
}

void DeviceHubPanelView::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptsDrag(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DeviceHubPanelView::dragLeaveEvent(QDragLeaveEvent* event) {
    event->accept();
    setDropTargeted(false);
}

void DeviceHubPanelView::dropEvent(QDropEvent* event) {
    setDropTargeted(false);
    if (!acceptsDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    // Accepted at once whatever it holds; the items are read now, while the drag's data still
    // exists, and handed on after the drag source has been answered.
    event->acceptProposedAction();
    const QStringList urls = DropPayload::urls(DropPayload::items(*event->mimeData()));
    if (urls.isEmpty())
        return;
    QMetaObject::invokeMethod(
        this,
        [this, uriList = DropPayload::uriList(urls)] {
            if (m_services.drop)
                m_services.drop(uriList);
        },
        Qt::QueuedConnection);
}

void DeviceHubPanelView::setDropTargeted(bool targeted) {
    if (m_dropTargeted == targeted)
        return;
    m_dropTargeted = targeted;
    if (targeted)
        showHighlight();
    m_veilFrom = m_veil;
    m_veilStart = m_services.clock.now();
    m_veilTick.reset();
    stepVeil();
}

void DeviceHubPanelView::showHighlight() {
    std::optional<QString> name;
    const std::optional<PhysicalDevice> device = m_services.panel.physicalDevice();
    if (const auto simulator = m_services.panel.simulator())
        name = simulator->name;
    else if (device)
        name = device->name;
    const QString headline = DropHighlight::headline(name, device.has_value());
    if (m_highlight && m_highlight->headline() == headline)
        return;
    if (m_highlight)
        m_highlight->deleteLater();
    m_highlight = new DropHighlight(name, device.has_value(), this);
    m_highlight->setObjectName(QStringLiteral("dropHighlight"));
    m_highlightFade = new QGraphicsOpacityEffect(m_highlight);
    m_highlightFade->setOpacity(m_veil);
    m_highlight->setGraphicsEffect(m_highlightFade);
    m_highlight->setGeometry(rect());
    m_highlight->show();
    m_highlight->raise();
}

void DeviceHubPanelView::stepVeil() {
    const double progress = std::clamp((m_services.clock.now() - m_veilStart) / kVeilDuration, 0.0, 1.0);
    const double target = m_dropTargeted ? 1.0 : 0.0;
    m_veil =
        m_veilFrom + (target - m_veilFrom) * QEasingCurve(QEasingCurve::OutQuad).valueForProgress(progress);
    applyVeil();
    // This may run inside the pending call itself, which must not be destroyed while it runs.
    m_retiredTick = std::move(m_veilTick);
    if (progress < 1.0) {
        m_veilTick = m_services.clock.schedule(1.0 / 60.0, [this] { stepVeil(); });
        return;
    }
    if (!m_dropTargeted && m_highlight) {
        m_highlight->deleteLater();
        m_highlight = nullptr;
        m_highlightFade = nullptr;
    }
}

void DeviceHubPanelView::applyVeil() {
    if (m_veil > 0.0 && m_contentVeil->isHidden()) {
        m_contentVeil->capture(m_content);
        m_contentVeil->setGeometry(rect());
        m_contentVeil->show();
        m_contentVeil->raise();
        if (m_highlight)
            m_highlight->raise();
    } else if (m_veil <= 0.0 && !m_contentVeil->isHidden()) {
        m_contentVeil->hide();
        m_contentVeil->release();
    }
    m_contentVeil->setAmount(m_veil);
    if (m_highlightFade)
        m_highlightFade->setOpacity(m_veil);
}

} // namespace quorvex
