#include "panel/controller/DeviceHubShortcuts.h"

#include "network/model/NetworkService.h"
#include "network/plan/NetworkProfile.h"
#include "panel/controller/DeviceHubPanel.h"
#include "panel/controller/DeviceHubTracker.h"
#include "platform/gui/HotKey.h"
#include "simulator/DeviceTools.h"
#include "simulator/Toast.h"
#include "tools/ToolCancellation.h"

#include <QKeySequence>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

namespace quorvex {
namespace {

using Command = DeviceHubShortcuts::Command;
constexpr quint32 kControlOption = HotKeyModifier::control | HotKeyModifier::option;
constexpr quint32 kControlCommand = HotKeyModifier::control | HotKeyModifier::command;

// Qt's own text for the key, after the modifiers spelt as this desktop names them.
QString keysText(quint32 modifiers, Qt::Key key) {
    QString text;
    if (modifiers & HotKeyModifier::control)
        text += QStringLiteral("Ctrl+");
    if (modifiers & HotKeyModifier::option)
        text += QStringLiteral("Alt+");
    if (modifiers & HotKeyModifier::command)
        text += QStringLiteral("Super+");
    if (modifiers & HotKeyModifier::shift)
        text += QStringLiteral("Shift+");
    return text + QKeySequence(key).toString(QKeySequence::NativeText);
}

} // namespace

DeviceHubShortcuts::DeviceHubShortcuts(Dependencies dependencies, QObject* parent)
    : QObject(parent)
    , m_deps(std::move(dependencies)) {}

DeviceHubShortcuts::~DeviceHubShortcuts() {
    // At quit the simulator commands still running are ended, not waited for.
    m_tools.cancelForGood();
    m_pool.waitForDone();
}

const std::vector<DeviceHubShortcuts::Shortcut>& DeviceHubShortcuts::table() {
    static const std::vector<Shortcut> rows = {
        {keysText(kControlOption, Qt::Key_N), QStringLiteral("Cycle Network Speed"), VirtualKey::N,
         kControlOption, Command::cycleNetworkSpeed},
        {keysText(kControlOption, Qt::Key_S), QStringLiteral("Take Screenshot"), VirtualKey::S,
         kControlOption, Command::takeScreenshot},
        {keysText(kControlOption, Qt::Key_C), QStringLiteral("Copy Screenshot"), VirtualKey::C,
         kControlOption, Command::copyScreenshot},
        {keysText(kControlOption, Qt::Key_R), QStringLiteral("Repeat Last Deep Link or Push"), VirtualKey::R,
         kControlOption, Command::repeatLast},
        {keysText(kControlOption, Qt::Key_P), QStringLiteral("Show or Hide Side Panel"), VirtualKey::P,
         kControlOption, Command::toggleSidePanel},
        {keysText(kControlCommand, Qt::Key_Z), QStringLiteral("Shake Gesture"), VirtualKey::Z,
         kControlCommand, Command::shake},
        {keysText(kControlCommand, Qt::Key_A), QStringLiteral("Switch Light and Dark Appearance"),
         VirtualKey::A, kControlCommand, Command::toggleAppearance},
        {keysText(kControlCommand, Qt::Key_M), QStringLiteral("Simulate Memory Warning"), VirtualKey::M,
         kControlCommand, Command::memoryWarning},
    };
    return rows;
}

DeviceHubShortcuts::SimulatorCommand DeviceHubShortcuts::shakeCommand() {
    return [](const QString& udid) -> std::optional<QString> {
        if (DeviceTools::shake(udid))
            return QStringLiteral("Shake sent");
        return std::nullopt;
    };
}

DeviceHubShortcuts::SimulatorCommand DeviceHubShortcuts::toggleAppearanceCommand() {
    return [](const QString& udid) -> std::optional<QString> {
        const std::optional<QString> appearance = DeviceTools::toggleAppearance(udid);
        if (!appearance)
            return std::nullopt;
        return *appearance == QLatin1String("dark") ? QStringLiteral("Dark appearance")
                                                    : QStringLiteral("Light appearance");
    };
}

DeviceHubShortcuts::SimulatorCommand DeviceHubShortcuts::memoryWarningCommand() {
    return [](const QString& udid) -> std::optional<QString> {
        if (DeviceTools::simulateMemoryWarning(udid))
            return QStringLiteral("Memory warning sent");
        return std::nullopt;
    };
}

NetworkProfile DeviceHubShortcuts::nextNetworkProfile(const NetworkProfile& current) {
    const std::vector<NetworkProfile>& steady = NetworkProfile::basic();
    const std::optional<std::size_t> index = indexOf(steady, current);
    const std::size_t next = index ? *index + 1 : 1;
    return steady[next % steady.size()];
}

void DeviceHubShortcuts::install() {
    if (!m_hotKeys.empty())
        return;
    for (const Shortcut& row : table()) {
        const Command command = row.command;
        QPointer<DeviceHubShortcuts> self(this);
        m_hotKeys.push_back(&HotKey::create(
            row.keyCode, row.modifiers,
            [self, command] {
                if (self)
                    self->run(command);
            },
            m_deps.hotKeys));
    }
    connect(&m_deps.tracker, &DeviceHubTracker::stateChanged, this, &DeviceHubShortcuts::updateActivation);
    m_deps.tracker.start();
    updateActivation();
}

void DeviceHubShortcuts::updateActivation() {
    const bool frontmost = m_deps.tracker.isFrontmost();
    for (HotKey* key : m_hotKeys)
        key->setActive(frontmost);
}

void DeviceHubShortcuts::run(Command command) {
    switch (command) {
    case Command::cycleNetworkSpeed:
        cycleNetworkSpeed();
        break;
    case Command::takeScreenshot:
    case Command::copyScreenshot:
        if (m_deps.takeScreenshot)
            m_deps.takeScreenshot(command == Command::copyScreenshot);
        break;
    case Command::repeatLast:
        if (m_deps.repeatLast)
            m_deps.repeatLast();
        break;
    case Command::toggleSidePanel:
        toggleSidePanel();
        break;
    case Command::shake:
        runOnSimulator(QStringLiteral("iphone.radiowaves.left.and.right"), m_deps.shake);
        break;
    case Command::toggleAppearance:
        runOnSimulator(QStringLiteral("circle.lefthalf.filled"), m_deps.toggleAppearance);
        break;
    case Command::memoryWarning:
        runOnSimulator(QStringLiteral("memorychip"), m_deps.memoryWarning);
        break;
    }
}

void DeviceHubShortcuts::cycleNetworkSpeed() {
    const QString symbol = QStringLiteral("network");
    if (const std::optional<PhysicalDevice> device = m_deps.panel.physicalDevice()) {
        Toast::show(QStringLiteral("Only available on simulators"),
                    device->name + QStringLiteral("’s traffic doesn’t go through this computer."), symbol,
                    true);
        return;
    }
    const std::optional<SimulatorApp> app = m_deps.panel.app();
    if (!app) {
        Toast::show(QStringLiteral("No app to throttle"),
                    QStringLiteral("Install an app on the simulator first."), symbol, true);
        return;
    }
    // A change still being applied would drop this one: say so rather than claim the new profile.
    if (m_deps.network.isBusy()) {
        Toast::show(QStringLiteral("Network speed not changed"),
                    QStringLiteral("Another network change is still being applied. Try again in a moment."),
                    symbol, true);
        return;
    }
    const NetworkProfile next = nextNetworkProfile(m_deps.network.profile(*app));
    m_deps.network.setProfile(next, *app);
    Toast::show(app->name + QStringLiteral(": ") + QString::fromStdString(next.name), std::nullopt,
                next.id == "unlimited" ? symbol : QString::fromStdString(next.symbol), false);
}

void DeviceHubShortcuts::toggleSidePanel() {
    m_deps.panel.setEnabled(!m_deps.panel.isEnabled());
    Toast::show(m_deps.panel.isEnabled() ? QStringLiteral("Side panel shown")
                                         : QStringLiteral("Side panel hidden"),
                std::nullopt, QStringLiteral("sidebar.right"), false);
}

QFuture<void> DeviceHubShortcuts::runOnSimulator(const QString& symbol, const SimulatorCommand& command) {
    if (const std::optional<PhysicalDevice> device = m_deps.panel.physicalDevice()) {
        Toast::show(QStringLiteral("Only available on simulators"),
                    device->name + QStringLiteral(" is a physical device."), symbol, true);
        return QtFuture::makeReadyFuture();
    }
    const std::optional<SimulatorDevice> simulator = m_deps.panel.simulator();
    if (!simulator) {
        Toast::show(QStringLiteral("No simulator running"), std::nullopt, symbol, true);
        return QtFuture::makeReadyFuture();
    }
    const QString udid = simulator->udid;
    const QString name = simulator->name;
    return QtConcurrent::run(&m_pool,
                             [command, udid, &tools = m_tools] {
                                 ToolCancellation::Scope scope(&tools);
                                 return command ? command(udid) : std::optional<QString>();
                             })
        .then(this, [symbol, name](const std::optional<QString>& result) {
            if (result)
                Toast::show(*result, std::nullopt, symbol, false);
            else
                Toast::show(QStringLiteral("Didn’t work on ") + name, std::nullopt, symbol, true);
        });
}

} // namespace quorvex
