#pragma once

#include "devices/core/PhysicalDevice.h"
#include "simulator/SimulatorApp.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QUrl>

#include <functional>
#include <list>
#include <memory>
#include <optional>

namespace quorvex {

class Clock;
class PanelTarget;
class ScheduledCall;
class SimulatorActions;
class SimulatorApps;

/// Acts on files and links dropped on the side panel. On a simulator a push payload file is
/// delivered as a push, a certificate is trusted as a root certificate (after a confirmation),
/// photos, videos and contact cards are added to the simulator's libraries, an app bundle is
/// installed and launched and a link is opened; a connected device takes links only. Every
/// outcome is told in a toast. Nothing is kept from one drop to the next.
///
/// Threads: handle() runs on the GUI thread and returns at once. The tool runs it starts (install,
/// launch, add media, add certificate, open a URL) and its reads of dropped files run on this
/// object's thread pool; each result comes back to the GUI thread by a queued call, which shows
/// the toast. Pushes and deep links into an installed app go through SimulatorActions, so they
/// land in the action history. The certificate confirmation is a modal alert, so it runs from a
/// queued call after handle() has returned and the drag source is never held up. The groups of
/// one drop run independently; their toasts follow in the order their work ends. Delayed notices
/// wait on the Clock. Destroying the object waits for the tools still running and drops their
/// results and the notices not yet shown.
class PanelDrop final : public QObject {
    Q_OBJECT
public:
    /// What a dropped item is; the simulator groups run in this order, unsupported items first.
    enum class Kind { push, certificate, media, app, link, unsupported };

    /// How long a notice about the items that were left out waits, so the toasts of the items
    /// that were used are seen first.
    static constexpr double kNoticeDelay = 2.5;

    PanelDrop(PanelTarget& target, Clock& clock, SimulatorApps& apps, SimulatorActions& actions,
              QObject* parent = nullptr);
    ~PanelDrop() override;

    /// Acts on the dropped URLs (files and links, in drop order) for the panel's current target.
    /// A link is passed on as QUrl encodes it, with its scheme and host in lower case.
    void handle(const QList<QUrl>& urls);
    /// The same for a drop's "text/uri-list" data. A link reaches the simulator, the history and
    /// the toast exactly as it was dropped: an app's own links may tell "Orders" from "orders"
    /// in what QUrl counts as the host.
    void handleUriList(const QByteArray& uriList);

    /// Work started by handle() and not yet reported (tool runs, the confirmation, refreshes).
    int pendingTasks() const { return m_pending; }

    /// Sorts one item by its scheme, or a file by its name's extension alone (any letter case;
    /// contents are never looked at, and a folder counts like a file). Pure.
    static Kind classify(const QUrl& url);
    /// The top-level "Simulator Target Bundle" string of a payload file's bytes, if there is one.
    static std::optional<QString> targetBundle(const QByteArray& payload);
    /// `simctl openurl <udid> <link>`; true on exit status 0. Blocks; any thread.
    static bool openURLOnSimulator(const QString& udid, const QString& link);
    /// Asks whether the simulator may trust the certificates (modal); true for "Trust".
    static bool confirmCertificates(const QList<QUrl>& urls, const SimulatorDevice& simulator);
    /// The URL as text in its encoded form, as it is shown and passed on.
    static QString absoluteString(const QUrl& url);

signals:
    /// pendingTasks() has dropped to zero.
    void tasksFinished();

private:
    // `texts` holds each item's text as dropped, one per URL.
    void handleItems(const QList<QUrl>& urls, const QStringList& texts);
    void handleOnDevice(const QList<QUrl>& urls, const QStringList& texts, const PhysicalDevice& device);
    void handleOnSimulator(const QList<QUrl>& urls, const QStringList& texts,
                           const SimulatorDevice& simulator);

    void sendPushFiles(const QList<QUrl>& urls, const SimulatorDevice& simulator,
                       const std::optional<SimulatorApp>& panelApp);
    void sendPushFile(const QUrl& url, const std::optional<QByteArray>& contents,
                      const SimulatorDevice& simulator, const std::optional<SimulatorApp>& panelApp);
    void openLink(const QString& text, const SimulatorDevice& simulator,
                  const std::optional<SimulatorApp>& panelApp);
    void trustCertificates(const QList<QUrl>& urls, const SimulatorDevice& simulator);
    void installApp(const QUrl& url, const SimulatorDevice& simulator);
    void runOnSimulator(const QString& title, std::function<bool()> work, const QString& symbol);
    void showLater(const QString& title, const QString& detail);

    /// Runs `work` on the pool and hands its result to `done` on the GUI thread.
    template <typename Work, typename Done> void runTask(Work work, Done done);
    void beginTask();
    void endTask();

    PanelTarget& m_target;
    Clock& m_clock;
    SimulatorApps& m_apps;
    SimulatorActions& m_actions;
    int m_pending = 0;
    std::list<std::unique_ptr<ScheduledCall>> m_notices;
    QThreadPool m_pool; // last: destroyed first, so no tool run outlives the object
};

} // namespace quorvex
