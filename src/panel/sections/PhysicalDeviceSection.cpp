#include "panel/sections/PhysicalDeviceSection.h"

#include "devices/core/DeviceFlowsService.h"
#include "panel/sections/DeviceAppDataCard.h"
#include "panel/sections/DeviceSectionServices.h"
#include "panel/sections/RecentURLs.h"
#include "panel/widgets/ActionRow.h"
#include "panel/widgets/PanelButtonStyle.h"
#include "panel/widgets/PanelDivider.h"
#include "panel/widgets/PanelFocus.h"
#include "panel/widgets/SettingsGroup.h"
#include "panel/widgets/SettingsRow.h"
#include "tools/Environment.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QtConcurrent/QtConcurrentRun>

namespace quorvex {

PhysicalDeviceSection::PhysicalDeviceSection(const PhysicalDevice& device, DeviceSectionServices& services,
                                             QSettings& defaults, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_device(device)
    , m_services(services)
    , m_defaults(defaults)
    , m_recent(storedRecent(defaults.value(kRecentKey))) {
    setObjectName(QStringLiteral("physicalDeviceSection"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto* urlCard = new SettingsGroup(this);
    urlCard->setObjectName(QStringLiteral("urlCard"));
    auto* header =
        new SettingsRow(QStringLiteral("link"), QStringLiteral("Open URL"), std::nullopt, false, urlCard);
    m_clear = new QPushButton(QStringLiteral("Clear"), header);
    m_clear->setObjectName(QStringLiteral("clearRecent"));
    m_clear->setFlat(true);
    m_clear->setCursor(Qt::PointingHandCursor);
    m_clear->setFont(Fonts::system(12));
    // The transparent border keeps the place of the focus ring, so focusing moves nothing.
    m_clear->setStyleSheet(QStringLiteral("QPushButton { border: 2px solid transparent; border-radius: 4px; "
                                          "padding: 0 2px; color: palette(link); }") +
                           FocusRing::styleSheetRule(QStringLiteral("QPushButton"), 4));
    m_clear->setFocusPolicy(Qt::TabFocus);
    PanelFocus::keys(m_clear);
    connect(m_clear, &QPushButton::clicked, this, [this] {
        m_recent.clear();
        m_defaults.remove(kRecentKey);
        rebuildRecent();
    });
    header->addTrailing(m_clear);
    urlCard->addRow(header);

    auto* fieldRow = new QWidget(urlCard);
    auto* fieldLayout = new QHBoxLayout(fieldRow);
    fieldLayout->setContentsMargins(0, 8, 0, 8);
    fieldLayout->setSpacing(6);
    m_field = new QLineEdit(fieldRow);
    m_field->setObjectName(QStringLiteral("urlField"));
    m_field->setAccessibleName(QStringLiteral("URL"));
    m_field->setPlaceholderText(QStringLiteral("myapp://… or https://…"));
    QFont mono = Fonts::system(12);
    mono.setFamilies(QFontDatabase::systemFont(QFontDatabase::FixedFont).families());
    mono.setStyleHint(QFont::Monospace);
    m_field->setFont(mono);
    connect(m_field, &QLineEdit::textChanged, this, &PhysicalDeviceSection::updateOpenButton);
    connect(m_field, &QLineEdit::returnPressed, this, &PhysicalDeviceSection::submit);
    fieldLayout->addWidget(m_field, 1);
    m_open = new PanelButtonStyle(QStringLiteral("Open"), false, fieldRow);
    m_open->setObjectName(QStringLiteral("openButton"));
    connect(m_open, &QAbstractButton::clicked, this, &PhysicalDeviceSection::submit);
    fieldLayout->addWidget(m_open);
    urlCard->addRow(fieldRow);

    m_recentRows = new QWidget(urlCard);
    m_recentRows->setObjectName(QStringLiteral("recentRows"));
    m_recentLayout = new QVBoxLayout(m_recentRows);
    m_recentLayout->setContentsMargins(0, 0, 0, 0);
    m_recentLayout->setSpacing(0);
    urlCard->addRow(m_recentRows);
    layout->addWidget(urlCard);

    m_card = new DeviceAppDataCard(device, services, clock, this);
    layout->addWidget(m_card);

    auto* pushCard = new SettingsGroup(this);
    auto* push = new ActionRow(
        QStringLiteral("bell.badge"), QStringLiteral("Send Push Notification…"), true,
        [this] { m_services.flows().showPushWindow(m_device); }, pushCard);
    push->setObjectName(QStringLiteral("pushRow"));
    pushCard->addRow(push);
    layout->addWidget(pushCard);

    auto* note = new QLabel(QStringLiteral("Network throttling, permissions, gestures, and media need a "
                                           "simulator: Apple doesn’t offer them for real devices."),
                            this);
    note->setObjectName(QStringLiteral("simulatorNote"));
    note->setWordWrap(true);
    note->setFont(Fonts::system(11));
    note->setForegroundRole(QPalette::PlaceholderText);
    note->setContentsMargins(4, 0, 4, 0);
    layout->addWidget(note);

    updateOpenButton();
    rebuildRecent();
}

QStringList PhysicalDeviceSection::storedRecent(const QVariant& stored) {
    if (stored.typeId() != QMetaType::QVariantList && stored.typeId() != QMetaType::QStringList)
        return {};
    QStringList result;
    for (const QVariant& entry : stored.toList()) {
        if (entry.typeId() != QMetaType::QString)
            return {};
        result.append(entry.toString());
    }
    return result;
}

QStringList PhysicalDeviceSection::shownRecent(const QStringList& recent, bool showsAll) {
    return showsAll ? recent : recent.mid(0, kFoldedCount);
}

std::optional<QString> PhysicalDeviceSection::foldTitle(qsizetype count, bool showsAll) {
    if (count <= kFoldedCount)
        return std::nullopt;
    return showsAll ? QStringLiteral("Show Less") : QStringLiteral("Show More…");
}

ToastMessage PhysicalDeviceSection::openedToast(const QString& deviceName, bool opened) {
    if (opened)
        return {QStringLiteral("Opened on ") + deviceName, std::nullopt, QStringLiteral("link"), false};
    return {QStringLiteral("Didn’t work on ") + deviceName, QStringLiteral("Is it unlocked and connected?"),
            QStringLiteral("link"), true};
}

void PhysicalDeviceSection::setDevice(const PhysicalDevice& device) {
    m_device = device;
    m_card->setDevice(device);
}

void PhysicalDeviceSection::submit() {
    if (const auto text = RecentURLs::openableText(m_field->text()))
        open(*text);
}

void PhysicalDeviceSection::open(const QString& url) {
    // Taken now: by the time the tool answers, the panel may show another device.
    const QString deviceID = m_device.id;
    const QString deviceName = m_device.name;
    QtConcurrent::run([open = m_services.urlOpener(), url, deviceID] {
        return open(url, deviceID);
    }).then(QCoreApplication::instance(), [deviceName](bool opened) {
        const ToastMessage message = openedToast(deviceName, opened);
        Toast::show(message.title, message.detail, message.symbol, message.failed);
    });
    setRecent(RecentURLs::afterOpening(m_recent, url));
}

void PhysicalDeviceSection::setRecent(const QStringList& recent) {
    m_recent = recent;
    m_defaults.setValue(kRecentKey, m_recent);
    rebuildRecent();
}

void PhysicalDeviceSection::updateOpenButton() {
    const bool openable = RecentURLs::openableText(m_field->text()).has_value();
    m_open->setEnabled(openable);
    m_open->setProminent(openable);
}

void PhysicalDeviceSection::toggleFold() {
    const int from = m_recentRows->height();
    m_showsAllRecent = !m_showsAllRecent;
    rebuildRecent();
    for (auto* running : m_recentRows->findChildren<QVariantAnimation*>(QStringLiteral("foldAnimation")))
        running->stop();
    m_recentRows->setMinimumHeight(0);
    m_recentRows->setMaximumHeight(QWIDGETSIZE_MAX);
    if (!isVisible() || isRunningTests())
        return;
    // The list grows or shrinks over half a second, settling softly at its new height.
    auto* animation = new QVariantAnimation(m_recentRows);
    animation->setObjectName(QStringLiteral("foldAnimation"));
    animation->setDuration(500);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    animation->setStartValue(from);
    animation->setEndValue(m_recentRows->sizeHint().height());
    connect(animation, &QVariantAnimation::valueChanged, m_recentRows,
            [rows = m_recentRows](const QVariant& value) { rows->setFixedHeight(value.toInt()); });
    connect(animation, &QVariantAnimation::finished, m_recentRows, [rows = m_recentRows] {
        rows->setMinimumHeight(0);
        rows->setMaximumHeight(QWIDGETSIZE_MAX);
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void PhysicalDeviceSection::rebuildRecent() {
    // "Show More…" pressed from the keyboard stays focused as "Show Less", and so on.
    PanelFocus::Keeper keeper(this);
    m_clear->setVisible(!m_recent.isEmpty());
    // The old rows go later: this may run from a click on one of them.
    while (QLayoutItem* item = m_recentLayout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    QColor tertiary = palette().color(QPalette::WindowText);
    tertiary.setAlphaF(0.3f);
    for (const QString& url : shownRecent(m_recent, m_showsAllRecent)) {
        auto* entry = new QWidget(m_recentRows);
        auto* stack = new QVBoxLayout(entry);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(0);
        stack->addWidget(new PanelDivider(0.6, entry));
        auto* row = new SettingsRow(QStringLiteral("clock.arrow.circlepath"), url, std::nullopt, true, entry);
        row->setObjectName(QStringLiteral("recentRow"));
        row->setActivatable(true);
        auto* arrow = new QLabel(row);
        arrow->setPixmap(Symbols::pixmap(QStringLiteral("arrow.up.forward"), QSize(11, 11), tertiary));
        row->addTrailing(arrow);
        // Opened as stored: the history holds trimmed text already.
        connect(row, &SettingsRow::clicked, this, [this, url] { open(url); });
        stack->addWidget(row);
        m_recentLayout->addWidget(entry);
    }
    if (const auto title = foldTitle(m_recent.size(), m_showsAllRecent)) {
        auto* entry = new QWidget(m_recentRows);
        auto* stack = new QVBoxLayout(entry);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(0);
        stack->addWidget(new PanelDivider(0.6, entry));
        auto* row = new SettingsRow(std::nullopt, *title, std::nullopt, true, entry);
        row->setObjectName(QStringLiteral("foldRow"));
        row->setActivatable(true);
        QPalette accent = row->palette();
        accent.setColor(QPalette::WindowText, palette().color(QPalette::Highlight));
        row->setPalette(accent);
        connect(row, &SettingsRow::clicked, this, [this] { toggleFold(); });
        stack->addWidget(row);
        m_recentLayout->addWidget(entry);
    }
    PanelFocus::orderTabs(this);
}

} // namespace quorvex
