#include "windows/StatusBarView.h"

#include "ui/DefaultAction.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"
#include "windows/SignalBars.h"
#include "windows/StatusBarWindow.h"

#include <QComboBox>
#include <QFont>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quorvex {

namespace {

using StatusBar = DeviceTools::StatusBar;

QLabel* named(QLabel* label, const char* name) {
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

// The bundled icon set has no battery glyphs: the battery is drawn here, filled to its level.
QPixmap batteryPixmap(const QString& symbol, QColor colour) {
    const double fill = symbol.section(u'.', 1).toDouble() / 100.0;
    QPixmap pixmap(QSize(26, 14) * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 1));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 22, 13), 3, 3);
    painter.fillRect(QRectF(23.5, 4.5, 2, 5), colour);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(2, 2, 19 * fill, 10), 1.5, 1.5);
    return pixmap;
}

void showSymbol(QLabel* label, const QString& symbol, QColor colour, int size = 16) {
    if (symbol.startsWith(QStringLiteral("battery.")))
        label->setPixmap(batteryPixmap(symbol, colour));
    else if (!Symbols::contains(symbol))
        label->setText(symbol == QStringLiteral("bolt.fill") ? QStringLiteral("⚡") : QString());
    else
        label->setPixmap(Symbols::pixmap(symbol, {size, size}, colour));
}

} // namespace

QString StatusBarView::batterySymbol(std::int64_t level) {
    if (level <= 12)
        return QStringLiteral("battery.0");
    if (level <= 37)
        return QStringLiteral("battery.25");
    if (level <= 62)
        return QStringLiteral("battery.50");
    if (level <= 87)
        return QStringLiteral("battery.75");
    return QStringLiteral("battery.100");
}

QString StatusBarView::networkLabel(StatusBar::Network network) {
    switch (network) {
    case StatusBar::Network::wifi:
        return QStringLiteral("Wi-Fi");
    case StatusBar::Network::fiveG:
        return QStringLiteral("5G");
    case StatusBar::Network::fiveGPlus:
        return QStringLiteral("5G+");
    case StatusBar::Network::lte:
        return QStringLiteral("LTE");
    case StatusBar::Network::fourG:
        return QStringLiteral("4G");
    case StatusBar::Network::threeG:
        return QStringLiteral("3G");
    case StatusBar::Network::hide:
        break;
    }
    return QStringLiteral("None");
}

QString StatusBarView::previewDescription(const StatusBar& s) {
    QStringList parts{s.normalizedTime().value_or(s.time)};
    if (!s.operatorName.isEmpty())
        parts << s.operatorName;
    if (s.network != StatusBar::Network::wifi && s.network != StatusBar::Network::hide)
        parts << networkLabel(s.network);
    parts << QStringLiteral("cellular %1 of 4 bars").arg(s.cellularBars)
          << QStringLiteral("Wi-Fi %1 of 3 bars").arg(s.wifiBars)
          << QStringLiteral("battery %1%").arg(s.batteryLevel) << StatusBar::rawValue(s.battery);
    return parts.join(QStringLiteral(", "));
}

QString StatusBarView::batteryLabel(StatusBar::Battery battery) {
    QString raw = StatusBar::rawValue(battery);
    raw[0] = raw[0].toUpper();
    return raw;
}

StatusBarView::StatusBarView(StatusBarWindow& window, QWidget* parent)
    : QWidget(parent)
    , m_window(window)
    , m_previewTime(named(new QLabel, "previewTime"))
    , m_previewCarrier(named(new QLabel, "previewCarrier"))
    , m_previewNetwork(named(new QLabel, "previewNetwork"))
    , m_previewCellular(new SignalBars(SignalBars::Kind::cellular, window.clock()))
    , m_previewWifi(new SignalBars(SignalBars::Kind::wifi, window.clock()))
    , m_previewBattery(named(new QLabel, "previewBattery"))
    , m_previewBolt(named(new QLabel, "previewBolt"))
    , m_simulator(new QComboBox)
    , m_time(new QLineEdit)
    , m_timeHint(named(new QLabel(QStringLiteral("Use a time like 9:41 or 14:30, or an ISO date such as "
                                                 "2026-10-09T09:41:00Z.")),
                       "timeHint"))
    , m_network(new QComboBox)
    , m_wifiBars(new QSpinBox)
    , m_cellularBars(new QSpinBox)
    , m_carrier(new QLineEdit)
    , m_battery(new QComboBox)
    , m_batteryLevel(new QSlider(Qt::Horizontal))
    , m_batteryText(named(new QLabel, "batteryText"))
    , m_apply(new QPushButton(QStringLiteral("Apply"))) {
    setFixedWidth(460);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);

    // The preview strip.
    m_previewCellular->setObjectName(QStringLiteral("previewCellular"));
    m_previewWifi->setObjectName(QStringLiteral("previewWifi"));
    auto* preview = new QWidget;
    preview->setObjectName(QStringLiteral("preview"));
    preview->setAccessibleName(QStringLiteral("Preview"));
    m_preview = preview;
    preview->setAttribute(Qt::WA_StyledBackground);
    preview->setStyleSheet(
        QStringLiteral("#preview { background: rgba(128, 128, 128, 0.12); border-radius: 10px; }"));
    auto* strip = new QHBoxLayout(preview);
    strip->setContentsMargins(18, 10, 18, 10);
    strip->setSpacing(6);
    QFont timeFont = m_previewTime->font();
    timeFont.setPointSizeF(15 * 0.75 * 1.33);
    timeFont.setWeight(QFont::DemiBold);
    m_previewTime->setFont(timeFont);
    QFont small = m_previewCarrier->font();
    small.setPointSizeF(12 * 0.75);
    m_previewCarrier->setFont(small);
    QFont smallBold = small;
    smallBold.setWeight(QFont::DemiBold);
    m_previewNetwork->setFont(smallBold);
    strip->addWidget(m_previewTime);
    strip->addStretch(1);
    strip->addWidget(m_previewCarrier);
    strip->addWidget(m_previewNetwork);
    strip->addWidget(m_previewCellular);
    strip->addWidget(m_previewWifi);
    strip->addWidget(m_previewBattery);
    strip->addWidget(m_previewBolt);
    layout->addWidget(preview);

    // The form.
    auto* form = new QFormLayout;
    // Each control is named as its row's label reads, for a screen reader; the rows without a
    // label of their own (the steppers, the time and the level) need it most.
    m_simulator->setObjectName(QStringLiteral("simulatorPicker"));
    m_simulator->setAccessibleName(QStringLiteral("Simulator"));
    form->addRow(QStringLiteral("Simulator"), m_simulator);
    m_time->setObjectName(QStringLiteral("timeField"));
    m_time->setPlaceholderText(QStringLiteral("9:41"));
    m_time->setAccessibleName(QStringLiteral("Time"));
    auto* timeBox = new QVBoxLayout;
    timeBox->setSpacing(2);
    timeBox->addWidget(m_time);
    QFont caption = m_timeHint->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_timeHint->setFont(caption);
    m_timeHint->setWordWrap(true);
    m_timeHint->setStyleSheet(QStringLiteral("color: %1;").arg(Palette::red().name()));
    timeBox->addWidget(m_timeHint);
    form->addRow(QStringLiteral("Time"), timeBox);
    m_network->setObjectName(QStringLiteral("networkPicker"));
    m_network->setAccessibleName(QStringLiteral("Network"));
    for (const StatusBar::Network network : StatusBar::allNetworks())
        m_network->addItem(networkLabel(network), int(network));
    form->addRow(QStringLiteral("Network"), m_network);
    m_wifiBars->setObjectName(QStringLiteral("wifiBars"));
    m_wifiBars->setRange(0, 3);
    m_wifiBars->setPrefix(QStringLiteral("Wi-Fi bars: "));
    m_wifiBars->setAccessibleName(QStringLiteral("Wi-Fi bars"));
    form->addRow(QString(), m_wifiBars);
    m_cellularBars->setObjectName(QStringLiteral("cellularBars"));
    m_cellularBars->setRange(0, 4);
    m_cellularBars->setPrefix(QStringLiteral("Cellular bars: "));
    m_cellularBars->setAccessibleName(QStringLiteral("Cellular bars"));
    form->addRow(QString(), m_cellularBars);
    m_carrier->setObjectName(QStringLiteral("carrierField"));
    m_carrier->setPlaceholderText(QStringLiteral("None"));
    m_carrier->setAccessibleName(QStringLiteral("Carrier"));
    m_carrier->setToolTip(QStringLiteral("iPhones with a Dynamic Island don’t show the carrier name."));
    form->addRow(QStringLiteral("Carrier"), m_carrier);
    m_battery->setObjectName(QStringLiteral("batteryPicker"));
    m_battery->setAccessibleName(QStringLiteral("Battery"));
    for (const StatusBar::Battery battery : StatusBar::allBatteries())
        m_battery->addItem(batteryLabel(battery), int(battery));
    form->addRow(QStringLiteral("Battery"), m_battery);
    m_batteryLevel->setObjectName(QStringLiteral("batterySlider"));
    m_batteryLevel->setAccessibleName(QStringLiteral("Battery level"));
    m_batteryLevel->setRange(0, 100);
    m_batteryLevel->setSingleStep(5);
    m_batteryLevel->setPageStep(5);
    m_batteryLevel->setTickInterval(5);
    m_batteryText->setFixedWidth(44);
    m_batteryText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_batteryText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* levelRow = new QHBoxLayout;
    levelRow->addWidget(m_batteryLevel, 1);
    levelRow->addWidget(m_batteryText);
    form->addRow(QStringLiteral("Battery level"), levelRow);
    layout->addLayout(form);

    // The buttons.
    auto* buttons = new QHBoxLayout;
    auto* clean = new QPushButton(QStringLiteral("Clean Status Bar"));
    clean->setObjectName(QStringLiteral("cleanButton"));
    clean->setToolTip(QStringLiteral("Fill in 9:41, full signal, and a full battery"));
    auto* reset = new QPushButton(QStringLiteral("Reset Status Bar"));
    reset->setObjectName(QStringLiteral("resetButton"));
    reset->setToolTip(QStringLiteral("Remove all overrides and show the simulator’s real status bar"));
    m_apply->setObjectName(QStringLiteral("applyButton"));
    m_apply->setDefault(true);
    m_apply->setAutoDefault(true);
    buttons->addWidget(clean);
    buttons->addWidget(reset);
    buttons->addStretch(1);
    buttons->addWidget(m_apply);
    layout->addLayout(buttons);

    StatusBarState& state = m_window.state();
    connect(clean, &QPushButton::clicked, &m_window, &StatusBarWindow::cleanPreset);
    connect(reset, &QPushButton::clicked, &m_window, &StatusBarWindow::reset);
    connect(m_apply, &QPushButton::clicked, this, [this] {
        if (m_window.canApply())
            m_window.apply();
    });
    connect(m_simulator, &QComboBox::activated, this, [this, &state](int index) {
        const QVariant udid = m_simulator->itemData(index);
        state.setTarget(udid.isNull() ? std::nullopt : std::optional(udid.toString()));
    });
    connect(m_time, &QLineEdit::textEdited, this,
            [this](const QString& text) { edit([&](StatusBar& s) { s.time = text; }); });
    connect(m_network, &QComboBox::activated, this, [this](int index) {
        const auto network = StatusBar::Network(m_network->itemData(index).toInt());
        edit([&](StatusBar& s) { s.network = network; });
    });
    connect(m_wifiBars, &QSpinBox::valueChanged, this,
            [this](int value) { edit([&](StatusBar& s) { s.wifiBars = value; }); });
    connect(m_cellularBars, &QSpinBox::valueChanged, this,
            [this](int value) { edit([&](StatusBar& s) { s.cellularBars = value; }); });
    connect(m_carrier, &QLineEdit::textEdited, this,
            [this](const QString& text) { edit([&](StatusBar& s) { s.operatorName = text; }); });
    connect(m_battery, &QComboBox::activated, this, [this](int index) {
        const auto battery = StatusBar::Battery(m_battery->itemData(index).toInt());
        edit([&](StatusBar& s) { s.battery = battery; });
    });
    connect(m_batteryLevel, &QSlider::valueChanged, this, [this](int value) {
        // The slider moves in steps of 5.
        const int stepped = (value / 5) * 5;
        edit([&](StatusBar& s) { s.batteryLevel = stepped; });
    });
    DefaultAction::install(this, m_apply);
    connect(&state, &StatusBarState::settingsChanged, this, &StatusBarView::refreshForm);
    connect(&state, &StatusBarState::devicesChanged, this, &StatusBarView::refreshDevices);
    connect(&state, &StatusBarState::targetChanged, this, &StatusBarView::refreshDevices);
    refreshDevices();
    refreshForm();
}

void StatusBarView::edit(const std::function<void(StatusBar&)>& change) {
    StatusBar settings = m_window.state().settings();
    change(settings);
    m_window.state().setSettings(settings);
}

void StatusBarView::refreshDevices() {
    const StatusBarState& state = m_window.state();
    const QSignalBlocker blocker(m_simulator);
    m_simulator->clear();
    m_simulator->addItem(QStringLiteral("All Running Simulators"), QVariant());
    for (const SimulatorDevice& device : state.devices())
        m_simulator->addItem(device.name, device.udid);
    m_simulator->setCurrentIndex(state.target() ? std::max(0, m_simulator->findData(*state.target())) : 0);
    m_apply->setEnabled(m_window.canApply());
}

void StatusBarView::refreshForm() {
    const StatusBar& s = m_window.state().settings();
    const QSignalBlocker b1(m_time), b2(m_network), b3(m_wifiBars), b4(m_cellularBars), b5(m_carrier),
        b6(m_battery), b7(m_batteryLevel);
    if (m_time->text() != s.time)
        m_time->setText(s.time);
    m_network->setCurrentIndex(m_network->findData(int(s.network)));
    m_wifiBars->setValue(int(s.wifiBars));
    m_cellularBars->setValue(int(s.cellularBars));
    if (m_carrier->text() != s.operatorName)
        m_carrier->setText(s.operatorName);
    m_battery->setCurrentIndex(m_battery->findData(int(s.battery)));
    m_batteryLevel->setValue(int(s.batteryLevel));
    m_batteryText->setText(QString::number(s.batteryLevel) + u'%');
    m_timeHint->setVisible(!s.normalizedTime());
    m_apply->setEnabled(m_window.canApply());
    refreshPreview();
}

void StatusBarView::refreshPreview() {
    const StatusBar& s = m_window.state().settings();
    const QColor text = palette().color(QPalette::WindowText);
    m_previewTime->setText(s.normalizedTime().value_or(s.time));
    m_previewCarrier->setText(s.operatorName);
    m_previewCarrier->setVisible(!s.operatorName.isEmpty());
    const bool cellular = s.network != StatusBar::Network::wifi && s.network != StatusBar::Network::hide;
    m_previewNetwork->setText(cellular ? networkLabel(s.network) : QString());
    m_previewNetwork->setVisible(cellular);
    m_previewCellular->setColor(text);
    m_previewCellular->setFill(double(s.cellularBars) * 0.25);
    m_previewWifi->setColor(text);
    m_previewWifi->setFill(double(s.wifiBars) / 3.0);
    m_previewWifi->setOpacity(s.network == StatusBar::Network::wifi ? 1.0 : 0.35);
    showSymbol(m_previewBattery, batterySymbol(s.batteryLevel), text, 20);
    m_preview->setAccessibleDescription(previewDescription(s));
    showSymbol(m_previewBolt, QStringLiteral("bolt.fill"), text, 9);
    m_previewBolt->setVisible(s.battery == StatusBar::Battery::charging);
}

} // namespace quorvex
