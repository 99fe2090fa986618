#include "panel/sections/PanelRootState.h"

namespace quorvex {

PanelRootState::Kind PanelRootState::of(bool collapsed, bool hasConnectedDevice, bool hasApp,
                                        bool hasSimulator) {
    if (collapsed)
        return Kind::Collapsed;
    if (hasConnectedDevice)
        return Kind::ConnectedDevice;
    if (hasApp)
        return Kind::App;
    return hasSimulator ? Kind::NoApps : Kind::NoSimulator;
}

std::optional<PanelRootState::EmptyState>
PanelRootState::emptyState(Kind kind, const QString& hostName, const std::optional<QString>& simulatorName) {
    switch (kind) {
    case Kind::NoSimulator:
        return EmptyState{QStringLiteral("No Simulator Running"), QStringLiteral("iphone.slash"),
                          QStringLiteral("Start a simulator in %1.").arg(hostName)};
    case Kind::NoApps:
        return EmptyState{QStringLiteral("No Apps Installed"), QStringLiteral("square.dashed"),
                          QStringLiteral("Install an app on %1 to control it here.")
                              .arg(simulatorName.value_or(QStringLiteral("the simulator")))};
    case Kind::Collapsed:
    case Kind::ConnectedDevice:
    case Kind::App:
        break;
    }
    return std::nullopt;
}

} // namespace quorvex
