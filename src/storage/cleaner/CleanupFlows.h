#pragma once

#include "storage/cleaner/CleanupFlowsService.h"
#include "storage/engine/AppCleaning.h"

#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace quorvex {

class CleanupHUD;
class Clock;
class ScheduledCall;
class LongTaskGate;
class RunningApplications;
class SimulatorApps;

/// The cleanup flows of the status menu: one kind of Xcode data for one app's project or for the
/// whole account, and the erase of one simulator app's data. Each run looks up what it would
/// delete on a worker thread, asks in an alert, then measures and deletes on a worker thread,
/// shown on the shared progress panel as a run of its own (so reports of a run that another
/// cleanup has since replaced are dropped); it holds the program's one busy flag from acceptance
/// to its end, so it never runs beside a storage clean, a snapshot or a download. Whether an app
/// has build data is looked up on a worker too, when the apps change and whenever the menu asks.
/// GUI thread.
class CleanupFlows final : public QObject, public CleanupFlowsService {
    Q_OBJECT
public:
    static inline const QString kXcodeID = QStringLiteral("com.apple.dt.Xcode");
    static constexpr int kQuitPolls = 120;
    static constexpr double kQuitPollInterval = 0.5;
    /// How long a finished run shows its full ring before the success mark.
    static constexpr double kFullRingPause = 0.3;

    /// `bundleFolderOf` names the ".app" folder of an app by its bundle identifier (empty when
    /// unknown), for the project-folder lookup the menu makes by identifier.
    CleanupFlows(std::function<QString(const QString&)> bundleFolderOf, RunningApplications& running,
                 Clock& clock, LongTaskGate& gate, CleanupHUD& hud, QObject* parent = nullptr);
    /// The program's flows: apps from `apps`, processes from /proc, the system clock, the shared
    /// busy flag and the shared progress panel.
    explicit CleanupFlows(const SimulatorApps& apps);
    ~CleanupFlows() override;

    /// The app's project folders, looked up now. Blocks on the disk: the menu asks hasBuildData.
    std::vector<QString> findProjectFolders(const QString& bundleID) const;
    std::optional<bool> hasBuildData(const QString& bundleID) override;
    QString describe(Target target, const std::optional<SimulatorApp>& app) const override;
    void clean(Target target, const std::optional<SimulatorApp>& app) override;
    void eraseAppData(const SimulatorApp& app) override;

    /// The confirmation's informative list: six "• " lines with the home folder shown as "~",
    /// then "• and n more" when there are more.
    static QString locationList(const std::vector<std::filesystem::path>& locations);
    /// What an erase deletes: it stops the app and clears its defaults on each install first.
    /// Worker thread.
    static std::vector<std::filesystem::path> appDataLocations(const SimulatorApp& app);

signals:
    /// A run has ended (done, failed or declined) and the busy flag is free again.
    void runEnded();
    /// A lookup of an app's build data has ended; hasBuildData answers it now.
    void buildDataFound(const QString& bundleID);

private:
    struct Run {
        QString title;
        QString doneTitle;
        std::function<std::vector<std::filesystem::path>()> work;
        std::function<QString(const QString&)> successText;
    };
    bool confirm(Target target, const std::optional<SimulatorApp>& app,
                 const std::vector<std::filesystem::path>& locations);
    void confirmAndRun(Target target, const std::optional<SimulatorApp>& app,
                       const std::vector<std::filesystem::path>& locations);
    void quitXcode(std::function<void(bool)> done);
    void pollXcode(std::set<std::string> listed, int pollsLeft, std::function<void(bool)> done);
    void start(Run run, std::uint64_t token);
    void finish();
    void lookUpBuildData(const QString& bundleID);

    std::function<QString(const QString&)> m_bundleFolderOf;
    RunningApplications& m_running;
    Clock& m_clock;
    LongTaskGate& m_gate;
    CleanupHUD& m_hud;
    std::unique_ptr<ScheduledCall> m_poll;
    std::unique_ptr<ScheduledCall> m_pause;
    std::map<QString, bool> m_buildData;
    std::set<QString> m_lookingUp;
};

} // namespace quorvex
