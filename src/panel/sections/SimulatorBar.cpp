#include "panel/sections/SimulatorBar.h"

#include "devices/core/PhysicalDeviceTools.h"
#include "panel/controller/DeviceHubPanel.h"
#include "panel/controller/DeviceHubShortcuts.h"
#include "panel/controller/DeviceHubTracker.h"
#include "panel/sections/LanguageSection.h"
#include "panel/sections/MenuFlows.h"
#include "panel/sections/PanelSections.h"
#include "panel/sections/PanelServices.h"
#include "panel/sections/ScreenshotOptions.h"
#include "panel/widgets/GlassGroup.h"
#include "panel/widgets/GlassSeparator.h"
#include "panel/widgets/PanelFocus.h"
#include "panel/widgets/ToolButton.h"
#include "panel/widgets/ToolMenuButton.h"
#include "simulator/Toast.h"
#include "tools/ToolCancellation.h"
#include "ui/AnimatedValue.h"
#include "ui/Animator.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "windows/ActionWindowsService.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace quorvex {

// The device's name, with a chevron when it opens the device menu. Drawn by hand: a tool
// button would add its own menu arrow.
class DevicePicker final : public QToolButton {
public:
    explicit DevicePicker(QWidget* parent)
        : QToolButton(parent) {
        setObjectName(QStringLiteral("devicePicker"));
        setPopupMode(QToolButton::InstantPopup);
        setAutoRaise(true);
        setFont(Fonts::system(13, QFont::DemiBold));
        setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        PanelFocus::keys(this);
    }

    bool showsChevron() const { return menu() != nullptr; }

    /// With one device there is nothing to pick: the name is a label, not a stop for Tab.
    void offerMenu(QMenu* devices) {
        setMenu(devices);
        setFocusPolicy(devices ? Qt::TabFocus : Qt::NoFocus);
    }

    QSize sizeHint() const override {
        const QFontMetrics metrics(font());
        // One point more than the advance: the elision below measures with fractional widths.
        int width = metrics.horizontalAdvance(text()) + 1;
        if (showsChevron())
            width += kSpacing + kChevron;
        return {width, metrics.height()};
    }
    QSize minimumSizeHint() const override { return {0, QFontMetrics(font()).height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setFont(font());
        const int chevronWidth = showsChevron() ? kSpacing + kChevron : 0;
        const QRect textBox(0, 0, std::max(0, width() - chevronWidth), height());
        const QString shown = QFontMetrics(font()).elidedText(text(), Qt::ElideRight, textBox.width());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter, shown);
        if (!showsChevron())
            return;
        QColor secondary = palette().color(QPalette::WindowText);
        secondary.setAlphaF(0.55f);
        const int textWidth = QFontMetrics(font()).horizontalAdvance(shown);
        painter.drawPixmap(
            QPoint(textWidth + kSpacing, (height() - kChevron) / 2),
            Symbols::pixmap(QStringLiteral("chevron.down"), QSize(kChevron, kChevron), secondary));
        FocusRing::paint(painter, *this, QRectF(rect()), 4);
    }

private:
    static constexpr int kSpacing = 4;
    static constexpr int kChevron = 9;
};

namespace {

using Command = DeviceHubShortcuts::Command;

QString keysFor(Command command) {
    for (const DeviceHubShortcuts::Shortcut& row : DeviceHubShortcuts::table())
        if (row.command == command)
            return row.keys;
    return {};
}

QString presetTitle(PhysicalDeviceTools::StatusBarPreset preset) {
    switch (preset) {
    case PhysicalDeviceTools::StatusBarPreset::screenshot:
        return QStringLiteral("Clean (9:41, Full Battery)");
    case PhysicalDeviceTools::StatusBarPreset::lowBattery:
        return QStringLiteral("Low Battery");
    case PhysicalDeviceTools::StatusBarPreset::noService:
        return QStringLiteral("No Service");
    case PhysicalDeviceTools::StatusBarPreset::charging:
        return QStringLiteral("Charging");
    }
    return {};
}

void clear(QVBoxLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater(); // the change may come from one of its own buttons
        }
        delete item;
    }
}

// The language tool opens and closes its section with this spring, unfolding its height.
const Motion kLanguageSpring = Motion::spring(0.5, 0.85);

} // namespace

SimulatorBar::SimulatorBar(PanelServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_animator(std::make_unique<Animator>(services.clock))
    , m_languageHeight(std::make_unique<AnimatedValue>(*m_animator)) {
    setObjectName(QStringLiteral("simulatorBar"));
    connect(m_languageHeight.get(), &AnimatedValue::changed, this, &SimulatorBar::foldLanguageSection);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 8, 14, 12);
    column->setSpacing(12);

    // Top row: the device and its subtitle, then the shortcuts and the collapse button.
    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    auto* names = new QVBoxLayout;
    names->setSpacing(1);
    m_picker = new DevicePicker(this);
    m_deviceMenu = new QMenu(m_picker);
    m_deviceMenu->setObjectName(QStringLiteral("deviceMenu"));
    connect(m_deviceMenu, &QMenu::aboutToShow, this, &SimulatorBar::fillDeviceMenu);
    names->addWidget(m_picker);
    m_subtitle = new QLabel(this);
    m_subtitle->setObjectName(QStringLiteral("deviceSubtitle"));
    m_subtitle->setFont(Fonts::system(11));
    m_subtitle->setForegroundRole(QPalette::PlaceholderText);
    names->addWidget(m_subtitle);
    top->addLayout(names);
    top->addStretch();
    auto* controls = new GlassGroup(this);
    auto* shortcuts = new ToolMenuButton(
        QStringLiteral("keyboard"),
        QStringLiteral("Shortcuts while %1 is in front").arg(m_services.tracker.hostName()), Qt::AlignRight,
        m_services.clock, QToolButton::InstantPopup, controls);
    shortcuts->setObjectName(QStringLiteral("shortcutsMenu"));
    auto* shortcutRows = new QMenu(shortcuts);
    for (const DeviceHubShortcuts::Shortcut& row : DeviceHubShortcuts::table()) {
        const Command command = row.command;
        shortcutRows->addAction(row.keys + QStringLiteral("  ") + row.title, this,
                                [this, command] { m_services.shortcuts.run(command); });
    }
    shortcuts->setMenu(shortcutRows);
    m_shortcuts = shortcuts;
    controls->add(shortcuts);
    controls->add(new GlassSeparator(controls));
    auto* collapse = new ToolButton(
        QStringLiteral("sidebar.right"), QStringLiteral("Collapse the panel"), false, Qt::AlignRight,
        m_services.clock, [this] { m_services.panel.setCollapsed(true); }, controls);
    collapse->setObjectName(QStringLiteral("collapseButton"));
    controls->add(collapse);
    top->addWidget(controls);
    column->addLayout(top);

    m_toolSlot = new QVBoxLayout;
    m_toolSlot->setContentsMargins(0, 0, 0, 0);
    column->addLayout(m_toolSlot);
    m_languageSlot = new QVBoxLayout;
    m_languageSlot->setContentsMargins(0, 0, 0, 0);
    column->addLayout(m_languageSlot);

    m_accessibility = new QToolButton(this);
    m_accessibility->setObjectName(QStringLiteral("accessibilityLink"));
    m_accessibility->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_accessibility->setAutoRaise(true);
    m_accessibility->setCursor(Qt::PointingHandCursor);
    m_accessibility->setFont(Fonts::caption());
    m_accessibility->setIconSize(QSize(12, 12));
    m_accessibility->setIcon(
        Symbols::pixmap(QStringLiteral("scope"), QSize(12, 12), palette().color(QPalette::Highlight)));
    QPalette link = m_accessibility->palette();
    link.setColor(QPalette::ButtonText, link.color(QPalette::Highlight));
    m_accessibility->setPalette(link);
    connect(m_accessibility, &QToolButton::clicked, this,
            [this] { m_services.tracker.requestAccessibility(); });
    PanelFocus::keys(m_accessibility);
    PanelFocus::ring(m_accessibility, 4);
    column->addWidget(m_accessibility, 0, Qt::AlignLeft);

    refresh();
}

SimulatorBar::~SimulatorBar() {
    // The bar goes at quit: its commands' tools are ended rather than waited for.
    m_tools.cancelForGood();
}

bool SimulatorBar::isPhysical() const {
    return m_services.panel.physicalDevice().has_value();
}

int SimulatorBar::deviceCount() const {
    return static_cast<int>(m_services.tracker.bootedSimulators().size() +
                            m_services.tracker.connectedDevices().size());
}

QString SimulatorBar::deviceName() const {
    if (const auto simulator = m_services.panel.simulator())
        return simulator->name;
    if (const auto device = m_services.panel.physicalDevice())
        return device->name;
    return QStringLiteral("No Device");
}

QString SimulatorBar::deviceSubtitle() const {
    if (const auto device = m_services.panel.physicalDevice())
        return device->model.value_or(QStringLiteral("Connected Device"));
    if (m_services.panel.simulator())
        return QStringLiteral("Simulator");
    return QStringLiteral("Start a simulator in ") + m_services.tracker.hostName();
}

QString SimulatorBar::simulatorOnlyHelp(const QString& text, bool isPhysical) {
    return isPhysical ? text + QStringLiteral(" · simulators only") : text;
}

void SimulatorBar::setShowsLanguage(bool shows) {
    m_showsLanguage = shows;
    // Only the tool's own change unfolds or folds the section; a new target shows it at once.
    m_languageMotion = isVisible() ? kLanguageSpring : Motion::none();
    refresh();
    m_languageMotion = Motion::none();
}

void SimulatorBar::refresh() {
    m_picker->setText(deviceName());
    m_picker->offerMenu(deviceCount() >= 2 ? m_deviceMenu : nullptr);
    m_picker->updateGeometry();
    m_picker->update();
    m_subtitle->setText(deviceSubtitle());
    m_accessibility->setText(QStringLiteral("Follow the device shown in ") + m_services.tracker.hostName());
    m_accessibility->setToolTip(
        QStringLiteral("Needs Accessibility access to read %1’s window title. Without "
                       "it, the panel uses the most recently started simulator.")
            .arg(m_services.tracker.hostName()));
    m_accessibility->setVisible(!m_services.tracker.canReadTitles());

    {
        // The tools are made anew when one of them switches; the one pressed keeps the focus.
        PanelFocus::Keeper keeper(this);
        const ToolLook look = toolLook();
        if (m_look != look)
            buildTools(look);
        showLanguageSection();
    }

    const std::optional<QString> target = m_services.panel.targetUDID();
    if (!m_readStarted || target != m_readTarget) {
        m_readStarted = true;
        m_readTarget = target;
        readSlowAnimations();
    }
}

SimulatorBar::ToolLook SimulatorBar::toolLook() const {
    ToolLook look;
    const std::optional<PhysicalDevice> device = m_services.panel.physicalDevice();
    look.hasTarget = device || m_services.panel.simulator();
    look.physical = device.has_value();
    if (device) {
        look.statusBar = device->capabilities.contains(kStatusBarCapability) ? 1 : 2;
        look.deviceName = device->name;
    }
    look.slowAnimations = m_slowAnimations;
    look.showsLanguage = m_showsLanguage;
    return look;
}

void SimulatorBar::buildTools(const ToolLook& look) {
    m_look = look;
    clear(m_toolSlot);
    Clock& clock = m_services.clock;
    const bool physical = look.physical;

    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("toolRow"));
    row->setEnabled(look.hasTarget);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    auto* first = new GlassGroup(row);
    auto* screenshot = new ToolMenuButton(
        QStringLiteral("camera"),
        QStringLiteral("Screenshot (%1) · hold for options").arg(keysFor(Command::takeScreenshot)),
        Qt::AlignLeft, clock, QToolButton::DelayedPopup, first);
    screenshot->setObjectName(QStringLiteral("screenshotTool"));
    screenshot->setMenu(new ScreenshotOptions(m_services, screenshot));
    connect(screenshot, &QToolButton::clicked, this, [this] {
        if (m_services.takeScreenshot)
            m_services.takeScreenshot(false);
    });
    first->add(screenshot);
    first->add(statusBarTool(look));

    auto* media =
        new ToolMenuButton(QStringLiteral("photo.stack"),
                           simulatorOnlyHelp(QStringLiteral("Add photos, videos, or contacts"), physical),
                           Qt::AlignLeft, clock, QToolButton::InstantPopup, first);
    media->setObjectName(QStringLiteral("mediaTool"));
    media->setEnabled(!physical);
    auto* mediaMenu = new QMenu(media);
    mediaMenu->addAction(QStringLiteral("Sample Media"), this, [this] {
        const auto simulator = m_services.panel.simulator();
        if (simulator && m_services.menuFlows)
            m_services.menuFlows->addSampleMedia(*simulator);
    });
    mediaMenu->addAction(QStringLiteral("Photos, Videos, or Contacts…"), this, [this] {
        const auto simulator = m_services.panel.simulator();
        if (simulator && m_services.menuFlows)
            m_services.menuFlows->chooseMediaToAdd(*simulator);
    });
    media->setMenu(mediaMenu);
    first->add(media);

    auto* language = new ToolButton(
        QStringLiteral("globe"), simulatorOnlyHelp(QStringLiteral("Language and region"), physical),
        look.showsLanguage && !physical, Qt::AlignLeft, clock, [this] { setShowsLanguage(!m_showsLanguage); },
        first);
    language->setObjectName(QStringLiteral("languageTool"));
    language->setCheckable(true);
    language->setOn(look.showsLanguage && !physical);
    language->setEnabled(!physical);
    first->add(language);
    layout->addWidget(first);

    auto* second = new GlassGroup(row);
    auto* shake = new ToolButton(
        QStringLiteral("iphone.radiowaves.left.and.right"),
        simulatorOnlyHelp(QStringLiteral("Shake gesture (%1)").arg(keysFor(Command::shake)), physical), false,
        Qt::AlignRight, clock, [this] { m_services.shortcuts.run(Command::shake); }, second);
    shake->setObjectName(QStringLiteral("shakeTool"));
    auto* slow = new ToolButton(
        QStringLiteral("tortoise"),
        simulatorOnlyHelp(look.slowAnimations ? QStringLiteral("Slow animations are on")
                                              : QStringLiteral("Slow animations"),
                          physical),
        look.slowAnimations && !physical, Qt::AlignRight, clock, [this] { toggleSlowAnimations(); }, second);
    slow->setObjectName(QStringLiteral("slowAnimationsTool"));
    slow->setCheckable(true);
    slow->setOn(look.slowAnimations && !physical);
    auto* memory = new ToolButton(
        QStringLiteral("memorychip"),
        simulatorOnlyHelp(QStringLiteral("Simulate memory warning (%1)").arg(keysFor(Command::memoryWarning)),
                          physical),
        false, Qt::AlignRight, clock, [this] { m_services.shortcuts.run(Command::memoryWarning); }, second);
    memory->setObjectName(QStringLiteral("memoryWarningTool"));
    for (ToolButton* tool : {shake, slow, memory}) {
        tool->setEnabled(!physical);
        second->add(tool);
    }
    layout->addWidget(second);
    layout->addStretch();
    m_toolSlot->addWidget(row);
    PanelFocus::orderTabs(this);
}

QWidget* SimulatorBar::statusBarTool(const ToolLook& look) {
    const QString symbol = QStringLiteral("menubar.rectangle");
    if (look.statusBar == 2) {
        auto* tool =
            new ToolButton(symbol, QStringLiteral("Status bar · not supported by ") + look.deviceName, false,
                           Qt::AlignLeft, m_services.clock, {});
        tool->setObjectName(QStringLiteral("statusBarTool"));
        tool->setEnabled(false);
        return tool;
    }
    if (look.statusBar == 1) {
        auto* tool = new ToolMenuButton(symbol, QStringLiteral("Status bar presets"), Qt::AlignLeft,
                                        m_services.clock, QToolButton::InstantPopup);
        tool->setObjectName(QStringLiteral("statusBarTool"));
        auto* menu = new QMenu(tool);
        PanelCommands* commands = &m_services.commands;
        for (const auto preset : PhysicalDeviceTools::kAllPresets) {
            menu->addAction(presetTitle(preset), this, [this, commands, preset] {
                const auto device = m_services.panel.physicalDevice();
                if (!device || !commands->setStatusBar)
                    return;
                runStatusBarJob(presetTitle(preset), [commands, preset, id = device->id] {
                    return commands->setStatusBar(preset, id);
                });
            });
        }
        menu->addSeparator();
        menu->addAction(QStringLiteral("Reset Status Bar"), this, [this, commands] {
            const auto device = m_services.panel.physicalDevice();
            if (!device || !commands->clearStatusBar)
                return;
            runStatusBarJob(QStringLiteral("Status bar reset"),
                            [commands, id = device->id] { return commands->clearStatusBar(id); });
        });
        tool->setMenu(menu);
        return tool;
    }
    auto* tool = new ToolButton(symbol, QStringLiteral("Customize status bar"), false, Qt::AlignLeft,
                                m_services.clock, [this] {
                                    const auto simulator = m_services.panel.simulator();
                                    if (simulator && m_services.actionWindows)
                                        m_services.actionWindows->showStatusBarWindow(
                                            m_services.tracker.bootedSimulators(), *simulator);
                                });
    tool->setObjectName(QStringLiteral("statusBarTool"));
    return tool;
}

void SimulatorBar::showLanguageSection() {
    const std::optional<SimulatorApp> app = m_services.panel.app();
    std::optional<QString> identity;
    // Only another app makes the section anew; a new simulator is handed to the one shown.
    if (m_showsLanguage && !isPhysical() && app)
        identity = app->id;
    if (identity == m_languageShown) {
        if (auto* section = qobject_cast<LanguageSection*>(m_languageSection.data())) {
            const std::optional<SimulatorDevice> simulator = m_services.panel.simulator();
            section->setTargetUDID(simulator ? std::optional(simulator->udid) : std::nullopt);
            section->setApp(*app);
        }
        return;
    }
    m_languageShown = identity;
    if (!identity && m_languageSection && m_languageMotion.kind() != Motion::Kind::None) {
        // It folds away first, and goes once folded (foldLanguageSection).
        m_languageHeight->setValue(m_languageSection->height());
        m_languageHeight->animateTo(0, m_languageMotion);
        foldLanguageSection();
        return;
    }
    clear(m_languageSlot);
    m_languageSection = nullptr;
    if (identity) {
        m_languageSection = PanelSections::languageSection(m_services, *app);
        m_languageSlot->addWidget(m_languageSection);
        PanelFocus::orderTabs(this);
        m_languageHeight->setValue(0);
        m_languageHeight->animateTo(m_languageSection->sizeHint().height(), m_languageMotion);
        foldLanguageSection();
    }
}

// The section is as tall as the spring has unfolded it; at rest open it takes the height it
// asks for, and folded shut it goes.
void SimulatorBar::foldLanguageSection() {
    if (!m_languageSection)
        return;
    const bool moving = m_languageHeight->isAnimating();
    if (!moving && !m_languageShown && m_languageHeight->value() <= 0) {
        clear(m_languageSlot);
        m_languageSection = nullptr;
        return;
    }
    m_languageSection->setMaximumHeight(
        !moving && m_languageShown ? QWIDGETSIZE_MAX : std::max(0, qRound(m_languageHeight->value())));
}

void SimulatorBar::fillDeviceMenu() {
    m_deviceMenu->clear();
    m_deviceMenu->addSection(QStringLiteral("Simulators"));
    for (const SimulatorDevice& simulator : m_services.tracker.bootedSimulators())
        m_deviceMenu->addAction(simulator.name, this,
                                [this, udid = simulator.udid] { m_services.panel.setDeviceOverride(udid); });
    const std::vector<PhysicalDevice> devices = m_services.tracker.connectedDevices();
    if (devices.empty())
        return;
    m_deviceMenu->addSection(QStringLiteral("Connected Devices"));
    for (const PhysicalDevice& device : devices)
        m_deviceMenu->addAction(device.name, this,
                                [this, id = device.id] { m_services.panel.setDeviceOverride(id); });
}

QFuture<void> SimulatorBar::readSlowAnimations() {
    const std::optional<QString> udid = m_services.panel.targetUDID();
    if (!udid || isPhysical() || !m_services.commands.slowAnimations)
        return QtFuture::makeReadyFuture();
    auto read = m_services.commands.slowAnimations;
    return QtConcurrent::run(&m_pool,
                             [read, udid = *udid, &tools = m_tools] {
                                 ToolCancellation::Scope scope(&tools);
                                 return read(udid);
                             })
        .then(this, [this, udid = *udid, generation = m_slowGeneration](bool on) {
            // A read for a target the panel has left would show another device's state, and one
            // asked before a toggle the state the toggle has just replaced.
            if (m_services.panel.targetUDID() != udid || generation != m_slowGeneration)
                return;
            m_slowAnimations = on;
            refresh();
        });
}

QFuture<void> SimulatorBar::toggleSlowAnimations() {
    const std::optional<QString> udid = m_services.panel.targetUDID();
    if (!udid || !m_services.commands.slowAnimations || !m_services.commands.setSlowAnimations)
        return QtFuture::makeReadyFuture();
    auto read = m_services.commands.slowAnimations;
    auto write = m_services.commands.setSlowAnimations;
    ++m_slowGeneration; // reads already asked answer for the state before this toggle
    // The real state is read first, so a stale flag here (changed outside the program) is
    // corrected instead of being flipped.
    return QtConcurrent::run(&m_pool,
                             [read, write, udid = *udid, &tools = m_tools]() -> std::optional<bool> {
                                 ToolCancellation::Scope scope(&tools);
                                 const bool on = !read(udid);
                                 if (!write(on, udid))
                                     return std::nullopt;
                                 return on;
                             })
        .then(this, [this, udid = *udid](std::optional<bool> on) {
            ++m_slowGeneration; // and so do reads asked while it ran
            if (!on)
                return;
            if (m_services.panel.targetUDID() == udid) {
                m_slowAnimations = *on;
                refresh();
            }
            Toast::show(*on ? QStringLiteral("Slow animations on") : QStringLiteral("Slow animations off"),
                        std::nullopt, QStringLiteral("tortoise"), false);
        });
}

QFuture<void> SimulatorBar::runStatusBarJob(const QString& successTitle, std::function<bool()> job) {
    return QtConcurrent::run(&m_pool,
                             [job = std::move(job), &tools = m_tools] {
                                 ToolCancellation::Scope scope(&tools);
                                 return job();
                             })
        .then(this, [this, successTitle](bool succeeded) {
            const QString symbol = QStringLiteral("menubar.rectangle");
            if (succeeded) {
                Toast::show(successTitle, std::nullopt, symbol, false);
                return;
            }
            // Named after the target at the time the command ended.
            QString name = QStringLiteral("the device");
            if (const auto simulator = m_services.panel.simulator())
                name = simulator->name;
            else if (const auto device = m_services.panel.physicalDevice())
                name = device->name;
            Toast::show(QStringLiteral("Didn’t work on ") + name, std::nullopt, symbol, true);
        });
}

} // namespace quorvex
