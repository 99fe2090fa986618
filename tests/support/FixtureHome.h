#pragma once

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace quorvex::test {

class FakeXcrun;

/// One user app to place on a fixture simulator.
struct FixtureApp {
    std::string bundleID;
    std::string displayName;  // "CFBundleDisplayName"; left out when empty
    std::string bundleName;   // "CFBundleName"; left out when empty
    std::string shortVersion; // left out when empty
    std::string build;        // left out when empty
    std::string applicationType = "User";
    std::vector<std::string> iconFiles = {"AppIcon60x60"}; // written as <name>@2x.png
    std::vector<std::string> groups;                       // app-group identifiers
};

/// Where a fixture app was placed.
struct InstalledApp {
    std::filesystem::path bundle;
    std::filesystem::path dataContainer;
    std::map<std::string, std::filesystem::path> groupContainers;
};

/// Builds a simulator world in the test's HOME (a temporary folder the test main creates):
/// ~/Library/Developer/CoreSimulator/Devices/<udid>/... with app bundles and data containers, and
/// the matching `simctl list` and `simctl listapps` answers for the fake xcrun. Starts by
/// emptying HOME.
class FixtureHome final {
public:
    FixtureHome();
    /// For the demo: builds in `home` (which must exist and be empty) without the HOME check.
    explicit FixtureHome(const std::filesystem::path& home);

    static std::filesystem::path home();
    static std::filesystem::path deviceFolder(const std::string& udid);

    /// A booted simulator; its boot time is `bootedSecondsAgo` before now (syslog.pid's mtime).
    void addSimulator(const std::string& udid, const std::string& name, int bootedSecondsAgo = 60);
    InstalledApp installApp(const std::string& udid, const FixtureApp& app);

    /// The simulator's privacy database, data/Library/TCC/TCC.db, with an empty `access` table in
    /// the simulator's own layout, made with the real sqlite3. Returns its path.
    std::filesystem::path addPrivacyDatabase(const std::string& udid);
    /// Runs `sql` on a fixture database with the real sqlite3 and returns what it prints (rows
    /// one a line, columns joined by "|"). Throws when sqlite3 fails.
    static std::string sqlite(const std::filesystem::path& database, const std::string& sql);

    /// `simctl list devices booted -j` output for the simulators added.
    std::string listDevicesJson() const;
    /// `simctl listapps <udid>` output, an old-style property list.
    std::string listAppsText(const std::string& udid) const;
    /// Fake-xcrun rules that answer both commands, with answer files written into `folder`.
    nlohmann::json rules(const std::filesystem::path& folder) const;
    /// Adds fake-xcrun rules that answer both commands for every simulator added.
    void answer(FakeXcrun& fake) const;

private:
    struct Simulator {
        std::string udid;
        std::string name;
        std::vector<std::pair<FixtureApp, InstalledApp>> apps;
    };
    Simulator& simulator(const std::string& udid);
    std::vector<Simulator> m_simulators;
};

} // namespace quorvex::test
