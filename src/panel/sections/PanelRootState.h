#pragma once

#include <QString>

#include <optional>

namespace quorvex {

/// Which of its five contents the side panel shows, and the texts of its two empty states.
class PanelRootState final {
public:
    PanelRootState() = delete;

    enum class Kind { Collapsed, ConnectedDevice, App, NoSimulator, NoApps };

    /// Decided in this order: collapsed, a connected device (it wins over apps still listed from
    /// an earlier simulator), an app, no simulator, a simulator without apps.
    static Kind of(bool collapsed, bool hasConnectedDevice, bool hasApp, bool hasSimulator);

    struct EmptyState {
        QString title;
        QString symbol;
        QString description;
        bool operator==(const EmptyState&) const = default;
    };
    /// The message of the NoSimulator and NoApps states; none for the others. `hostName` is
    /// "Simulator" or "Device Hub".
    static std::optional<EmptyState> emptyState(Kind kind, const QString& hostName,
                                                const std::optional<QString>& simulatorName);
};

} // namespace quorvex
