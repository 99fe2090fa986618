#pragma once

#include "network/model/ProxyControl.h"
#include "network/plan/NetworkProfile.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace quorvex {

class Clock;
class ScheduledCall;
class SetupGuideWindow;

/// The setup guide's state machine: which page shows, what the footer buttons say and do, the
/// network change waiting for the setup, and the once-a-second status poll while the window is
/// visible. A live run is begun by the network model when a change needs a proxy that was never
/// set up; the tour is opened from the menu and runs nothing. GUI thread.
class SetupGuide final : public QObject {
    Q_OBJECT
public:
    enum class Phase { Intro = 0, ApproveExtension = 1, AllowProxy = 2, Done = 3 };
    enum class Mode { Live, Tour };

    /// Commits the waiting network change; answers its error text on failure.
    using PendingChange = std::function<void(ProxyControl::Completion done)>;
    /// Makes the window on first show.
    using WindowFactory = std::function<std::unique_ptr<SetupGuideWindow>(SetupGuide& guide)>;

    static constexpr double kPollInterval = 1.0;

    SetupGuide(ProxyControl& proxy, Clock& clock, WindowFactory makeWindow, QObject* parent = nullptr);
    ~SetupGuide() override;

    /// The profile the guide talks about when it has not been given one: the built-in "edge".
    static NetworkProfile defaultProfile();

    Phase phase() const { return m_phase; }
    Mode mode() const { return m_mode; }
    const SetupStatus& status() const { return m_status; }
    bool isWorking() const { return m_isWorking; }
    const std::optional<QString>& error() const { return m_error; }
    const NetworkProfile& profile() const { return m_profile; }
    bool started() const { return m_started; }
    bool hasPendingChange() const { return static_cast<bool>(m_pendingChange); }

    /// Starts a live run about `profile` with `change` waiting (replacing any earlier one) and
    /// shows the window on its first page.
    void begin(const NetworkProfile& profile, PendingChange change);
    /// Opens the tour about `profile` on its first page; the waiting change is kept, not run.
    void showTour(const NetworkProfile& profile);
    /// Back to the first page, no error, not started.
    void reset();
    /// Shows the window (making it on first use) and restarts the status poll.
    void showWindow();
    void closeWindow();
    bool isWindowVisible() const;

    bool isComplete(Phase step) const;
    bool canReach(Phase phase) const;
    Phase firstIncompletePhase() const;
    QString primaryButtonTitle() const;
    bool canContinue() const;
    void primaryAction();
    /// Moves to `target` when it differs from the current page and may be reached.
    void go(Phase target);
    /// Reads the setup status and advances from the page of a step that just got confirmed.
    /// `done`, when given, runs after the status has been taken in.
    void refresh(std::function<void()> done = {});
    /// Runs the waiting change (again, after a failure).
    void runPendingChange();

    static std::optional<Phase> previous(Phase phase);
    static std::optional<Phase> next(Phase phase);

signals:
    /// Any shown value changed.
    void changed();

private:
    template <typename T> void assign(T& field, const T& value);
    void setProfile(const NetworkProfile& profile);
    void poll(unsigned generation);

    ProxyControl& m_proxy;
    Clock& m_clock;
    WindowFactory m_makeWindow;

    Phase m_phase = Phase::Intro;
    Mode m_mode = Mode::Tour;
    SetupStatus m_status;
    bool m_isWorking = false;
    std::optional<QString> m_error;
    NetworkProfile m_profile;
    bool m_started = false;
    PendingChange m_pendingChange;

    std::unique_ptr<SetupGuideWindow> m_window;
    std::unique_ptr<ScheduledCall> m_nextPoll;
    unsigned m_pollGeneration = 0;
    // A run reports back only while it is the latest one, so a run begun meanwhile never takes
    // over an old run's error or working flag.
    unsigned m_runGeneration = 0;
};

} // namespace quorvex
