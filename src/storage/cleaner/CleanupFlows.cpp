#include "storage/cleaner/CleanupFlows.h"

#include "platform/core/Clock.h"
#include "platform/data/SystemClock.h"
#include "platform/gui/Dialogs.h"
#include "simulator/SimulatorApps.h"
#include "storage/cleaner/BusyToast.h"
#include "storage/cleaner/CleanupHUD.h"
#include "storage/engine/CleanupItem.h"
#include "storage/engine/ProjectFolders.h"
#include "storage/engine/RunningApplications.h"
#include "storage/engine/SpaceSaved.h"
#include "storage/engine/StorageFormats.h"
#include "storage/files/Cleanup.h"
#include "storage/files/FileError.h"
#include "tools/Environment.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"

#include <QDateTime>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QThreadPool>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

using Target = CleanupFlowsService::Target;

QString titleOf(Target target) {
    switch (target) {
    case Target::derivedData:
        return QStringLiteral("Clean DerivedData");
    case Target::packages:
        return QStringLiteral("Clean Swift Package Manager");
    case Target::documentation:
        return QStringLiteral("Clean Documentation Cache");
    case Target::oldLogs:
        return QStringLiteral("Clean Old Logs");
    case Target::everything:
        return QStringLiteral("Close Xcode and Clean All");
    }
    return {};
}

QString doneTitleOf(Target target) {
    switch (target) {
    case Target::derivedData:
        return QStringLiteral("DerivedData cleaned");
    case Target::packages:
        return QStringLiteral("Swift Package Manager caches cleaned");
    case Target::documentation:
        return QStringLiteral("Documentation cache cleaned");
    case Target::oldLogs:
        return QStringLiteral("Old logs cleaned");
    case Target::everything:
        return QStringLiteral("All Xcode data cleaned");
    }
    return {};
}

AppCleaning::Target engineTarget(Target target) {
    return static_cast<AppCleaning::Target>(static_cast<int>(target));
}

std::vector<fs::path> entriesOf(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    return entries;
}

QString placeOf(const SimulatorApp& app) {
    return app.installs.size() == 1 ? app.installs.front().deviceName
                                    : QString::number(app.installs.size()) + QStringLiteral(" simulators");
}

// What a run's worker answers: the measured total, or the failure's text.
struct Outcome {
    std::int64_t total = 0;
    std::optional<QString> failure;
};

} // namespace

CleanupFlows::CleanupFlows(std::function<QString(const QString&)> bundleFolderOf,
                           RunningApplications& running, Clock& clock, LongTaskGate& gate, CleanupHUD& hud,
                           QObject* parent)
    : QObject(parent)
    , m_bundleFolderOf(std::move(bundleFolderOf))
    , m_running(running)
    , m_clock(clock)
    , m_gate(gate)
    , m_hud(hud) {}

CleanupFlows::CleanupFlows(const SimulatorApps& apps)
    : CleanupFlows(
          [&apps](const QString& bundleID) {
              for (const SimulatorApp& app : apps.apps())
                  if (app.id == bundleID)
                      return app.bundleFolder;
              return QString();
          },
          RunningApplications::fromProc(), systemClock(), Cleanup::shared(), CleanupHUD::shared()) {
    // The menu's first look at an app then finds its answer ready.
    connect(&apps, &SimulatorApps::appsChanged, this, [this, &apps] {
        for (const SimulatorApp& app : apps.apps())
            lookUpBuildData(app.id);
    });
}

CleanupFlows::~CleanupFlows() = default;

std::vector<QString> CleanupFlows::findProjectFolders(const QString& bundleID) const {
    std::vector<QString> folders;
    for (const fs::path& folder :
         ProjectFolders::find(bundleID, m_bundleFolderOf(bundleID), sharedDefaults()))
        folders.push_back(QFile::decodeName(folder.c_str()));
    return folders;
}

std::optional<bool> CleanupFlows::hasBuildData(const QString& bundleID) {
    lookUpBuildData(bundleID);
    const auto found = m_buildData.find(bundleID);
    return found != m_buildData.end() ? std::optional(found->second) : std::nullopt;
}

namespace {

// User defaults for a worker: its own QSettings on the program's file, which Qt keeps in step with
// the GUI thread's object.
struct DefaultsFile {
    QString name = sharedDefaults().fileName();
    QSettings::Format format = sharedDefaults().format();
};

} // namespace

void CleanupFlows::lookUpBuildData(const QString& bundleID) {
    if (!m_lookingUp.insert(bundleID).second)
        return;
    QPointer<CleanupFlows> self(this);
    QThreadPool::globalInstance()->start(
        [self, bundleID, bundleFolder = m_bundleFolderOf(bundleID), file = DefaultsFile()] {
            QSettings defaults(file.name, file.format);
            const bool found = !ProjectFolders::find(bundleID, bundleFolder, defaults).empty();
            QMetaObject::invokeMethod(
                self.data(),
                [self, bundleID, found] {
                    if (!self)
                        return;
                    self->m_lookingUp.erase(bundleID);
                    self->m_buildData[bundleID] = found;
                    emit self->buildDataFound(bundleID);
                },
                Qt::QueuedConnection);
        });
}

QString CleanupFlows::describe(Target target, const std::optional<SimulatorApp>& app) const {
    switch (target) {
    case Target::derivedData:
        return app ? QStringLiteral("Build data of this app’s project")
                   : QStringLiteral("~/Library/Developer/Xcode/DerivedData");
    case Target::packages:
        return app ? QStringLiteral("This project’s package checkouts")
                   : QStringLiteral("SwiftPM cache and SourcePackages");
    case Target::documentation:
        return app ? QString() : QStringLiteral("Downloaded docs, Xcode gets them again");
    case Target::oldLogs:
        return app ? QString() : QStringLiteral("Older than 30 days, or of deleted simulators");
    case Target::everything:
        return app ? QStringLiteral("Quits Xcode, then both")
                   : QStringLiteral("Quits Xcode, then DerivedData and packages");
    }
    return {};
}

QString CleanupFlows::locationList(const std::vector<fs::path>& locations) {
    const QString home = QFile::decodeName(homeDirectoryURL().c_str());
    QStringList lines;
    for (std::size_t i = 0; i < locations.size() && i < 6; ++i) {
        QString path = QFile::decodeName(locations[i].c_str());
        if (path == home || path.startsWith(home + QLatin1Char('/')))
            path = QLatin1Char('~') + path.mid(home.size());
        lines << QStringLiteral("• ") + path;
    }
    if (locations.size() > 6)
        lines << QStringLiteral("• and %1 more").arg(locations.size() - 6);
    return lines.join(QLatin1Char('\n'));
}

bool CleanupFlows::confirm(Target target, const std::optional<SimulatorApp>& app,
                           const std::vector<fs::path>& locations) {
    Alert alert;
    alert.style = Alert::Style::Warning;
    if (locations.empty()) {
        alert.message = QStringLiteral("Nothing to clean");
        alert.informativeText = app ? app->name + QStringLiteral(" has no build data to clean right now.")
                                    : QStringLiteral("There’s nothing to clean here right now.");
        Dialogs::shared().runAlert(alert);
        return false;
    }
    const bool quitFirst = target == Target::everything && !m_running.bundlePaths(kXcodeID).empty();
    const QString suffix = app ? QStringLiteral(" for ") + app->name : QString();
    alert.message =
        (quitFirst ? QStringLiteral("Quit Xcode and clean") : titleOf(target)) + suffix + QLatin1Char('?');
    alert.informativeText =
        (quitFirst ? QStringLiteral("Xcode quits first. ") : QString()) +
        QStringLiteral("This permanently deletes:\n") + locationList(locations) +
        QStringLiteral("\n\nIt can’t be undone. Xcode recreates this data when it needs it.");
    alert.buttons = {{quitFirst ? QStringLiteral("Quit Xcode and Delete") : QStringLiteral("Delete"), true},
                     {QStringLiteral("Cancel"), false}};
    return Dialogs::shared().runAlert(alert) == Dialogs::kFirstButton;
}

void CleanupFlows::clean(Target target, const std::optional<SimulatorApp>& app) {
    if (!m_gate.beginLongTask()) {
        showBusyToast();
        return;
    }
    const auto now = [] { return QDateTime::currentDateTimeUtc(); };
    std::optional<AppCleaning::App> engineApp;
    if (app)
        engineApp = AppCleaning::App{app->id, app->bundleFolder};
    // The lookup lists DerivedData, reads the products' property lists or scans the logs.
    QPointer<CleanupFlows> self(this);
    QThreadPool::globalInstance()->start(
        [self, target, app, engineApp, now, file = DefaultsFile()]() mutable {
            QSettings defaults(file.name, file.format);
            if (engineApp)
                engineApp->defaults = &defaults;
            std::vector<fs::path> locations =
                AppCleaning::insideLibrary(AppCleaning::candidates(engineTarget(target), engineApp, now));
            QMetaObject::invokeMethod(
                self.data(),
                [self, target, app, locations = std::move(locations)] {
                    if (self)
                        self->confirmAndRun(target, app, locations);
                },
                Qt::QueuedConnection);
        });
}

void CleanupFlows::confirmAndRun(Target target, const std::optional<SimulatorApp>& app,
                                 const std::vector<fs::path>& locations) {
    if (!confirm(target, app, locations)) {
        finish();
        return;
    }
    const QString suffix = app ? QStringLiteral(" for ") + app->name : QString();
    Run run{titleOf(target) + suffix, doneTitleOf(target) + suffix, [locations] { return locations; },
            [](const QString& size) { return QStringLiteral("Freed ") + size + QLatin1Char('.'); }};
    const CleanupHUD::RunToken token = m_hud.show(run.title);
    if (target != Target::everything) {
        start(std::move(run), token);
        return;
    }
    m_hud.update(token, QStringLiteral("Quitting Xcode…"), CleanupProgress::Phase::measuring());
    QPointer<CleanupFlows> self(this);
    quitXcode([self, token, run = std::move(run)](bool quit) mutable {
        if (!self)
            return;
        if (!quit) {
            self->m_hud.update(token, QStringLiteral("Xcode didn’t quit"),
                               CleanupProgress::Phase::failure(QStringLiteral(
                                   "Nothing was deleted. Save or close your work in Xcode and try again.")));
            self->finish();
            return;
        }
        // The title named the quit while it ran; the run's own title comes back for the delete.
        self->m_hud.update(token, run.title, CleanupProgress::Phase::measuring());
        self->start(std::move(run), token);
    });
}

void CleanupFlows::eraseAppData(const SimulatorApp& app) {
    if (m_gate.isLongTaskRunning() || app.installs.empty())
        return;
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.message =
        QStringLiteral("Erase ") + app.name + QStringLiteral("’s data on ") + placeOf(app) + QLatin1Char('?');
    alert.informativeText =
        QStringLiteral("The app is stopped, then its documents, settings, caches, and app group "
                       "data are deleted. The app stays installed. Keychain items aren’t removed.");
    alert.buttons = {{QStringLiteral("Erase Data"), true}, {QStringLiteral("Cancel"), false}};
    if (Dialogs::shared().runAlert(alert) != Dialogs::kFirstButton)
        return;
    if (!m_gate.beginLongTask()) {
        showBusyToast();
        return;
    }
    const QString place = placeOf(app);
    const CleanupHUD::RunToken token = m_hud.show(QStringLiteral("Erasing ") + app.name);
    start(Run{QStringLiteral("Erasing ") + app.name,
              QStringLiteral("Erased ") + app.name + QStringLiteral("’s data"),
              [app] { return appDataLocations(app); },
              [place](const QString& size) {
                  return QStringLiteral("Freed ") + size + QStringLiteral(" on ") + place +
                         QStringLiteral(". The app starts fresh on next launch.");
              }},
          token);
}

std::vector<fs::path> CleanupFlows::appDataLocations(const SimulatorApp& app) {
    std::vector<fs::path> locations;
    for (const SimulatorInstall& install : app.installs) {
        // An app that isn't running, or has no defaults, is no error.
        runTool(ToolPaths::xcrun(),
                QStringList{QStringLiteral("simctl"), QStringLiteral("terminate"), install.udid, app.id});
        runTool(ToolPaths::xcrun(),
                QStringList{QStringLiteral("simctl"), QStringLiteral("spawn"), install.udid,
                            QStringLiteral("defaults"), QStringLiteral("delete"), app.id});
        if (install.dataContainer)
            for (const char* sub : {"Documents", "Library", "tmp"})
                for (const fs::path& entry : entriesOf(*install.dataContainer / sub))
                    locations.push_back(entry);
        for (const auto& [group, container] : install.groupContainers) {
            for (const fs::path& entry : entriesOf(container)) {
                const std::string name = entry.filename().string();
                if (name.rfind(".com.apple.mobile_container_manager", 0) == 0)
                    continue;
                if (name == "Library") {
                    for (const fs::path& inner : entriesOf(entry))
                        locations.push_back(inner);
                    continue;
                }
                locations.push_back(entry);
            }
        }
    }
    return locations;
}

void CleanupFlows::quitXcode(std::function<void(bool)> done) {
    std::set<std::string> listed = m_running.bundlePaths(kXcodeID);
    if (listed.empty()) {
        done(true);
        return;
    }
    m_running.requestQuit(kXcodeID);
    pollXcode(std::move(listed), kQuitPolls, std::move(done));
}

// Terminated means none of the bundles listed before the request runs any more; an Xcode started
// since does not hold the run up.
void CleanupFlows::pollXcode(std::set<std::string> listed, int pollsLeft, std::function<void(bool)> done) {
    const std::set<std::string> now = m_running.bundlePaths(kXcodeID);
    bool ended = true;
    for (const std::string& bundle : listed)
        ended = ended && !now.count(bundle);
    if (ended || pollsLeft == 0) {
        m_poll.reset();
        done(ended);
        return;
    }
    m_poll =
        m_clock.schedule(kQuitPollInterval, [this, listed = std::move(listed), pollsLeft, done]() mutable {
            pollXcode(std::move(listed), pollsLeft - 1, std::move(done));
        });
}

// The worker measures, then deletes; each report hops to the GUI thread and reaches the panel
// only while this run is still the panel's latest.
void CleanupFlows::start(Run run, CleanupHUD::RunToken token) {
    QPointer<CleanupFlows> self(this);
    const auto report = [self, token](std::int64_t done, std::int64_t total) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, token, done, total] {
                if (self)
                    self->m_hud.update(token, std::nullopt, CleanupProgress::Phase::deleting(done, total));
            },
            Qt::QueuedConnection);
    };
    QThreadPool::globalInstance()->start([self, run, token, report] {
        Outcome outcome;
        try {
            const std::vector<fs::path> roots = AppCleaning::insideLibrary(run.work());
            const std::vector<AppCleaning::Entry> entries = AppCleaning::measureEntries(roots);
            for (const AppCleaning::Entry& entry : entries)
                outcome.total = saturatingSum(outcome.total, entry.size);
            report(0, outcome.total);
            AppCleaning::deleteEntries(entries, roots, outcome.total, report);
        } catch (const FileError& error) {
            outcome.failure = error.description();
        } catch (const std::exception& error) {
            outcome.failure = QString::fromLocal8Bit(error.what());
        }
        QMetaObject::invokeMethod(
            self.data(),
            [self, run, token, outcome] {
                if (!self)
                    return;
                if (outcome.failure) {
                    self->m_hud.update(token, QStringLiteral("Couldn’t finish cleaning"),
                                       CleanupProgress::Phase::failure(*outcome.failure));
                } else {
                    SpaceSaved::shared().add(outcome.total);
                    self->m_hud.update(token, std::nullopt,
                                       CleanupProgress::Phase::deleting(outcome.total, outcome.total));
                    const QString message = outcome.total < 1
                                                ? QStringLiteral("There was nothing to delete.")
                                                : run.successText(StorageFormats::fileSize(outcome.total));
                    // The full ring stays a moment before the success mark. The busy flag is free
                    // already, so the next cleanup may start meanwhile; its run then owns the
                    // panel and this late report is dropped.
                    self->m_pause = self->m_clock.schedule(kFullRingPause, [self, token, run, message] {
                        if (self)
                            self->m_hud.update(token, run.doneTitle,
                                               CleanupProgress::Phase::success(message));
                    });
                }
                self->finish();
            },
            Qt::QueuedConnection);
    });
}

void CleanupFlows::finish() {
    m_gate.endLongTask();
    emit runEnded();
}

} // namespace quorvex
