#pragma once

#include "app/Services.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

namespace quorvex {

class Clock;
class ScheduledCall;
class StatusMenuController;

/// The application delegate: the launch sequence of a normal run and the one way the program
/// ends. Every request to quit (the menu's Quit, SIGTERM, the session manager) goes through
/// `requestTermination`: while the network extension shapes or blocks traffic, or a network
/// change is still being committed, the answer is "later" and the delegate first waits for the
/// change to settle, then has the network model stop the proxy, then quits; otherwise it quits
/// at once. The wait is bounded by kQuitTimeout on the Clock, after which it quits anyway: a
/// hung extension must not keep the program alive. GUI thread.
class AppDelegate final : public QObject {
    Q_OBJECT
public:
    enum class TerminateReply { now = 1, later = 2 };
    static constexpr double kQuitTimeout = 4.0;

    /// `quit` ends the event loop (QCoreApplication::quit in the program).
    AppDelegate(NetworkService& network, Clock& clock, std::function<void()> quit);
    ~AppDelegate() override;

    /// The launch of a normal run: nothing under a test host; otherwise the status menu, the
    /// repeat hot key, the window shortcuts, the side panel and the updater, in that order.
    void applicationDidFinishLaunching(const Services& services);
    StatusMenuController* statusMenu() const { return m_statusMenu.get(); }

    /// Decides how a quit request is answered and, for "later", starts the bounded wait.
    TerminateReply applicationShouldTerminate();
    /// The one quit path: quits now, or once the proxy has been stopped (or the bound passed).
    void requestTermination();
    /// For aboutToQuit: when the program is ending by a way that did not ask first, runs the
    /// same wait in a local event loop, so the proxy is still stopped before the process ends.
    void finishBeforeExit();

    bool isTerminating() const { return m_terminating; }
    bool hasFinished() const { return m_finished; }

    /// "--reset-setup" (the whole argument) is among `arguments`.
    static bool isResetSetupRun(const QStringList& arguments);
    /// The reset run: resets the network setup, prints the outcome to `out` and hands the exit
    /// status (0 or 1) to `exit`.
    static void runResetSetup(NetworkService& network, FILE* out, std::function<void(int)> exit);

private:
    void continueTermination();
    void finishTermination();

    NetworkService& m_network;
    Clock& m_clock;
    std::function<void()> m_quit;
    std::unique_ptr<StatusMenuController> m_statusMenu;
    std::unique_ptr<ScheduledCall> m_deadline;
    QMetaObject::Connection m_networkWatch;
    bool m_terminating = false;
    bool m_stopRequested = false;
    bool m_finished = false;
};

} // namespace quorvex
