#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvex {

/// The commands the program sends to one booted simulator, named by its UDID. Every function is
/// synchronous: it runs `xcrun simctl` (or sqlite3 for an app's keychain items) through runTool,
/// blocks until the tool exits and turns the outcome into a Bool, an optional or a parsed value.
/// Nothing here shows anything or keeps state; callers decide what to tell the user. Safe to call
/// from any thread; calls for one simulator are not serialised.
class DeviceTools final {
public:
    DeviceTools() = delete;

    /// A status-bar override. The record keeps any value; the clamps apply to the argument list.
    struct StatusBar {
        enum class Network { wifi, fiveG, fiveGPlus, lte, fourG, threeG, hide };
        enum class Battery { charged, charging, discharging };

        QString time = QStringLiteral("9:41");
        Network network = Network::wifi;
        std::int64_t wifiBars = 3;
        std::int64_t cellularBars = 4;
        QString operatorName;
        std::int64_t batteryLevel = 100;
        Battery battery = Battery::charged;

        bool operator==(const StatusBar&) const = default;

        /// Every case, in picker order.
        static const std::vector<Network>& allNetworks();
        static const std::vector<Battery>& allBatteries();
        static QString rawValue(Network network);
        static QString rawValue(Battery battery);
        /// Exact, case-sensitive match of a raw value.
        static std::optional<Network> networkFromRaw(const QString& rawValue);
        static std::optional<Battery> batteryFromRaw(const QString& rawValue);

        /// The time to send: "9:41" for blank text, the trimmed text for "H:MM"/"HH:MM" (00:00 to
        /// 23:59) or an internet date-time, nothing for anything else.
        std::optional<QString> normalizedTime() const;
        /// The 18 arguments behind `status_bar <udid> override`, values clamped.
        QStringList arguments() const;
    };

    struct LanguageAndRegion {
        std::optional<QString> language;
        std::optional<QString> region;
        bool operator==(const LanguageAndRegion&) const = default;
    };

    // Status bar.
    static bool overrideStatusBar(const StatusBar& statusBar, const QString& udid);
    static bool hasStatusBarOverrides(const QString& udid);
    /// True when the output of `status_bar <udid> list` names an override.
    static bool parseStatusBarOverrides(const QByteArray& output);
    static bool clearStatusBar(const QString& udid);

    // Gestures and events.
    static bool shake(const QString& udid);
    /// ~/Library/Developer/CoreSimulator/Devices/<udid>/data/var/run/memory_warning_simulation
    static std::filesystem::path memoryWarningFile(const QString& udid);
    /// Writes the current time into the simulator's memory-warning file. The file must already
    /// exist (the simulator creates it) and must not be a symbolic link.
    static bool simulateMemoryWarning(const QString& udid);
    static bool slowAnimations(const QString& udid);
    /// The same read, given up after `timeout`; a read that did not finish counts as off, so a
    /// hung simctl cannot hold up the caller (the menu reads this while it fills a submenu).
    static bool slowAnimations(const QString& udid, std::chrono::milliseconds timeout);
    static bool setSlowAnimations(bool on, const QString& udid);

    // Appearance: only "light" and "dark" are ever read or sent.
    static std::optional<QString> appearance(const QString& udid);
    static bool setAppearance(const QString& udid, const QString& value);
    /// Sets "light" when the current appearance is "dark", else "dark"; returns what was set.
    static std::optional<QString> toggleAppearance(const QString& udid);

    // Language and region.
    static LanguageAndRegion languageAndRegion(const QString& udid);
    /// Refuses (runs nothing) a language that is empty, does not start with a letter or holds
    /// anything but letters and "-", and a region that is not two letters.
    static bool setLanguageAndRegion(const QString& language, const QString& region, const QString& udid);
    /// Two-letter region codes sorted by their name in the current locale; built once.
    static const QStringList& regionCodes();

    // Apps and content.
    static bool terminateApp(const QString& bundleID, const QString& udid);
    static bool launchApp(const QString& bundleID, const QString& udid);
    static bool resetKeychain(const QString& udid);
    static bool addRootCertificate(const std::filesystem::path& certificate, const QString& udid);
    /// An empty list succeeds without running anything.
    static bool addMedia(const std::vector<std::filesystem::path>& files, const QString& udid);
    /// Only a bundle whose extension is "app" (any case) is installed.
    static bool installApp(const std::filesystem::path& bundle, const QString& udid);

    // One app's keychain items, read and deleted in the simulator's keychain database.
    /// ~/Library/Developer/CoreSimulator/Devices/<udid>/data/Library/Keychains/keychain-2-debug.db
    static std::filesystem::path keychainDatabaseURL(const QString& udid);
    /// Blank text, "com.apple." identifiers and a few system access groups.
    static bool isSystemKeychainIdentifier(const QString& identifier);
    /// The SQL condition on "agrp" that matches the app's own items: the bundle ID itself or a
    /// ten-character team prefix, ".", and the bundle ID.
    static QString keychainMatchCondition(const QString& bundleID);
    /// Items of the app in the four item tables; 0 for a system identifier or a missing database,
    /// nothing when sqlite3 fails.
    static std::optional<std::int64_t> keychainItemCount(const QString& bundleID, const QString& udid);
    /// Terminates the app, deletes its items in one transaction and restarts the security daemon.
    /// False for a system identifier or when sqlite3 fails (nothing is deleted then); true when
    /// there is no database.
    static bool resetAppKeychain(const QString& bundleID, const QString& udid);

    /// Runs "simctl <verb> <udid> <argument>".
    static bool runSimctl(const QString& verb, const QString& udid, const QString& argument);
    /// Runs "simctl <verb> <udid> <bundleID>".
    static bool runAppCommand(const QString& verb, const QString& bundleID, const QString& udid);
};

} // namespace quorvex
