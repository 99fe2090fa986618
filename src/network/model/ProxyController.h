#pragma once

#include "network/control/ExtensionControl.h"
#include "network/model/ProxyControl.h"

#include <QObject>

#include <deque>
#include <filesystem>
#include <memory>

namespace quorvex {

class Clock;
class ControlExecutor;
class ScheduledCall;

/// ProxyControl over the network extension daemon: activates the extension once per process
/// (waiting while the administrator has not approved it), keeps the one proxy configuration with
/// the current plan, starts its tunnel and waits for it to connect, sends plan changes to a
/// running tunnel, reads the setup status and resets everything. Operations that change
/// something run one after another; reads may run beside them. All waits are on the Clock.
class ProxyController final : public QObject, public ProxyControl {
    Q_OBJECT
public:
    struct Options {
        /// The running program; the extension is activated only when it lies under `installPrefix`.
        std::filesystem::path executablePath;
        std::filesystem::path installPrefix;
    };

    static constexpr double kProbeTimeout = 3.0;
    static constexpr double kApprovalPollInterval = 0.5;
    static constexpr int kStartAttempts = 8;
    static constexpr double kConnectTimeout = 5.0;
    static constexpr double kConnectPollInterval = 0.2;
    static constexpr double kGiveUpWhenDisconnectedAfter = 0.8;
    static constexpr double kPauseBetweenAttempts = 1.0;

    ProxyController(ExtensionControl& control, ControlExecutor& executor, Clock& clock, Options options,
                    QObject* parent = nullptr);
    ~ProxyController() override;

    /// The message of a program that runs from outside its install prefix.
    static QString notInstalledText(const std::filesystem::path& installPrefix);
    static constexpr double kAllowancePollInterval = 0.5;

    void apply(const ThrottlePlan& plan, Completion done) override;
    void hasConfiguration(std::function<void(bool)> done) override;
    void runningPlan(std::function<void(std::optional<ThrottlePlan>)> done) override;
    void setupStatus(std::function<void(SetupStatus)> done) override;
    void stopTunnel(std::function<void()> done) override;
    void resetSetup(Completion done) override;

    /// Activates the extension unless that already succeeded in this process. Callers that ask
    /// while a request waits for approval all get its answer.
    void activateExtension(Completion done);
    /// Whether the extension is activated and approved; false when the daemon does not answer
    /// within kProbeTimeout (a late answer is ignored).
    void isEnabled(std::function<void(bool)> done);

    bool awaitingApproval() const { return m_awaitingApproval; }
    bool awaitingProxyAllowance() const { return m_awaitingProxyAllowance; }
    bool isActivated() const { return m_activated; }
    /// What keeps the extension from being set up, as the last answer (or silence) of the daemon
    /// and the program's place say.
    SetupObstacle obstacle() const;

private:
    using Step = std::function<void(std::function<void()> finished)>;
    using Loaded = ControlResult<std::optional<ProxyConfiguration>>;

    template <typename T>
    void call(std::function<ControlResult<T>(ExtensionControl&)> operation,
              std::function<void(ControlResult<T>)> then);
    void enqueue(Step step);
    void runNextStep();

    void loadManager(std::function<void(Loaded)> done);
    void applyNow(const ThrottlePlan& plan, Completion done);
    void configure(std::optional<ProxyConfiguration> loaded, std::string planJson, Completion done);
    void sendPlan(const ProxyConfiguration& configuration, const std::string& planJson, Completion done);
    void start(const std::string& id, int attempt, Completion done);
    void waitForConnected(const std::string& id, double startedAt, double timeout,
                          std::function<void(bool)> done);
    void pollApproval();
    void awaitProxyAllowance(std::string planJson, Completion done);
    void setAwaitingProxyAllowance(bool awaiting);
    void noteDaemonAnswered(bool answered);
    void finishActivation(std::optional<QString> error);
    void setAwaitingApproval(bool awaiting);
    void resetNow(Completion done);
    void removeConfigurations(std::vector<ProxyConfiguration> remaining, Completion done);
    void deactivate(Completion done);

    ExtensionControl& m_control;
    ControlExecutor& m_executor;
    Clock& m_clock;
    Options m_options;

    bool m_awaitingApproval = false;
    bool m_awaitingProxyAllowance = false;
    bool m_activated = false;
    bool m_daemonAnswers = true;
    std::unique_ptr<ScheduledCall> m_allowancePoll;
    // Everyone waiting for the one activation request in flight, each with its own answer.
    std::vector<Completion> m_activationWaiters;
    std::unique_ptr<ScheduledCall> m_approvalPoll;

    std::deque<Step> m_steps;
    bool m_stepRunning = false;
    std::vector<std::unique_ptr<ScheduledCall>> m_timers;
};

} // namespace quorvex
