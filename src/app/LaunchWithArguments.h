#pragma once

#include "devices/core/PhysicalDevice.h"

#include <QFuture>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace quorvex {

/// Launching one of the developer's apps on a connected device with arguments and environment
/// variables. The dialog remembers the last app and, per app, the texts as typed and the restart
/// choice ("launch.lastApp", "launch.<bundle id>.arguments|environment|restart").
class LaunchWithArguments final {
public:
    LaunchWithArguments() = delete;

    /// What the user typed for one app.
    struct Settings {
        QString arguments;
        QString environment;
        bool restart = true;
        bool operator==(const Settings&) const = default;
    };

    static Settings load(const QString& bundleID);
    /// Stores the texts as typed and makes the app the one preselected next time.
    static void save(const QString& bundleID, const Settings& settings);
    static std::optional<QString> lastApp();

    /// Words at spaces; double quotes group a value with spaces.
    static QStringList parseArguments(const QString& text);
    /// KEY=value words (line breaks count as spaces); a later key wins; words without "=" or
    /// starting with it are dropped.
    static std::map<QString, QString> parseEnvironment(const QString& text);
    /// "2 arguments, 1 variable", or nothing when there are neither.
    static std::optional<QString> launchDetail(qsizetype arguments, qsizetype variables);

    /// Fills the three controls from the saved values of the app selected in `popup`.
    static void loadLaunchSettings(QComboBox* popup, QLineEdit* arguments, QLineEdit* environment,
                                   QCheckBox* restart);

    /// Lists the device's apps, asks which to launch and how, and launches it; the future ends
    /// after the last toast.
    static QFuture<void> launchWithArguments(const PhysicalDevice& device);
};

} // namespace quorvex
