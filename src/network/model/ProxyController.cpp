#include "network/model/ProxyController.h"

#include "network/model/ControlExecutor.h"
#include "platform/core/Clock.h"

#include <QPointer>

#include <nlohmann/json.hpp>

#include <map>

namespace quorvex {
namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QString extensionRequestFailure(const std::string& error) {
    return QStringLiteral("System extension request failed: ") + text(error);
}

const QString kRestartText = QStringLiteral("Restart this computer to finish installing the extension.");
const QString kDidNotStartText = QStringLiteral("The network extension didn’t start. Try again in a moment.");

bool isUnder(const std::filesystem::path& path, const std::filesystem::path& prefix) {
    if (prefix.empty() || path.empty())
        return false;
    std::error_code error;
    const auto resolved = std::filesystem::weakly_canonical(path, error);
    const auto base = std::filesystem::weakly_canonical(prefix, error);
    auto inner = resolved.begin();
    for (auto part = base.begin(); part != base.end(); ++part, ++inner) {
        if (part->empty())
            continue; // the trailing separator of "/usr/local/"
        if (inner == resolved.end() || *inner != *part)
            return false;
    }
    return inner != resolved.end();
}

} // namespace

ProxyController::ProxyController(ExtensionControl& control, ControlExecutor& executor, Clock& clock,
                                 Options options, QObject* parent)
    : QObject(parent)
    , m_control(control)
    , m_executor(executor)
    , m_clock(clock)
    , m_options(std::move(options)) {}

ProxyController::~ProxyController() = default;

QString ProxyController::notInstalledText(const std::filesystem::path& installPrefix) {
    return QStringLiteral("Install Quorvex first (sudo cmake --install build/default) and start it from %1.")
        .arg(QString::fromStdString((installPrefix / "bin").string()));
}

template <typename T>
void ProxyController::call(std::function<ControlResult<T>(ExtensionControl&)> operation,
                           std::function<void(ControlResult<T>)> then) {
    auto result = std::make_shared<std::optional<ControlResult<T>>>();
    QPointer<ProxyController> self(this);
    ExtensionControl* control = &m_control;
    m_executor.run(
        [control, operation = std::move(operation), result] { result->emplace(operation(*control)); },
        [self, result, then = std::move(then)] {
            if (!self)
                return;
            self->noteDaemonAnswered(**result || (*result)->errorKind() != ControlErrorKind::Unreachable);
            then(std::move(**result));
        });
}

SetupObstacle ProxyController::obstacle() const {
    if (!isUnder(m_options.executablePath, m_options.installPrefix))
        return SetupObstacle::ProgramNotInstalled;
    return m_daemonAnswers ? SetupObstacle::None : SetupObstacle::DaemonNotRunning;
}

void ProxyController::noteDaemonAnswered(bool answered) {
    if (m_daemonAnswers == answered)
        return;
    const SetupObstacle before = obstacle();
    m_daemonAnswers = answered;
    if (obstacle() != before && onObstacleChange)
        onObstacleChange(obstacle());
}

// Changing operations (apply, stop, reset) run one at a time, in the order asked, each with its
// own answer; so two commits never interleave their saves and starts.
void ProxyController::enqueue(Step step) {
    m_steps.push_back(std::move(step));
    if (!m_stepRunning)
        runNextStep();
}

void ProxyController::runNextStep() {
    if (m_steps.empty()) {
        m_stepRunning = false;
        return;
    }
    m_stepRunning = true;
    Step step = std::move(m_steps.front());
    m_steps.pop_front();
    QPointer<ProxyController> self(this);
    step([self] {
        if (self)
            self->runNextStep();
    });
}

void ProxyController::loadManager(std::function<void(Loaded)> done) {
    call<std::vector<ProxyConfiguration>>(
        [](ExtensionControl& control) { return control.loadConfigurations(); },
        [done = std::move(done)](ControlResult<std::vector<ProxyConfiguration>> result) {
            if (!result) {
                done(Loaded::failure(result.error(), result.errorKind()));
                return;
            }
            if (result.value().empty())
                done(Loaded(std::nullopt));
            else
                done(Loaded(std::optional<ProxyConfiguration>(result.value().front())));
        });
}

void ProxyController::hasConfiguration(std::function<void(bool)> done) {
    loadManager([done = std::move(done)](Loaded loaded) { done(loaded && loaded.value().has_value()); });
}

// --- activation

void ProxyController::activateExtension(Completion done) {
    if (m_activated) {
        done(std::nullopt);
        return;
    }
    if (!isUnder(m_options.executablePath, m_options.installPrefix)) {
        done(notInstalledText(m_options.installPrefix));
        return;
    }
    m_activationWaiters.push_back(std::move(done));
    if (m_activationWaiters.size() > 1)
        return; // joins the request in flight
    QPointer<ProxyController> self(this);
    call<ActivationState>([](ExtensionControl& control) { return control.requestActivation(); },
                          [self](ControlResult<ActivationState> result) {
                              if (!result) {
                                  // "Not found" passes unchanged: the reset recognises it.
                                  self->finishActivation(result.errorKind() == ControlErrorKind::NotFound
                                                             ? text(result.error())
                                                             : extensionRequestFailure(result.error()));
                                  return;
                              }
                              const ActivationState& state = result.value();
                              if (state.enabled) {
                                  self->m_activated = true;
                                  self->finishActivation(std::nullopt);
                              } else if (state.awaitingApproval) {
                                  self->setAwaitingApproval(true);
                                  self->pollApproval();
                              } else {
                                  // Accepted but not in effect: it completes only after a restart.
                                  self->finishActivation(kRestartText);
                              }
                          });
}

void ProxyController::pollApproval() {
    QPointer<ProxyController> self(this);
    m_approvalPoll = m_clock.schedule(kApprovalPollInterval, [self] {
        if (!self)
            return;
        self->call<ActivationState>(
            [](ExtensionControl& control) { return control.activationState(); },
            [self](ControlResult<ActivationState> result) {
                if (!result) {
                    self->finishActivation(extensionRequestFailure(result.error()));
                } else if (result.value().enabled) {
                    self->m_activated = true;
                    self->finishActivation(std::nullopt);
                } else if (result.value().awaitingApproval) {
                    self->pollApproval();
                } else {
                    // Neither pending nor enabled any more: the request was dropped.
                    self->finishActivation(extensionRequestFailure("The activation request was withdrawn."));
                }
            });
    });
}

void ProxyController::finishActivation(std::optional<QString> error) {
    m_approvalPoll.reset();
    setAwaitingApproval(false);
    auto waiters = std::move(m_activationWaiters);
    m_activationWaiters.clear();
    for (auto& waiter : waiters)
        waiter(error);
}

void ProxyController::setAwaitingApproval(bool awaiting) {
    m_awaitingApproval = awaiting;
    if (onApprovalChange)
        onApprovalChange(awaiting);
}

void ProxyController::isEnabled(std::function<void(bool)> done) {
    // The first of the daemon's answer and the watchdog wins; the other finds nothing to answer.
    struct Probe {
        std::function<void(bool)> done;
        std::unique_ptr<ScheduledCall> watchdog;
        void answer(bool enabled) {
            if (!done)
                return;
            auto take = std::move(done);
            done = nullptr;
            watchdog.reset();
            take(enabled);
        }
    };
    auto probe = std::make_shared<Probe>();
    probe->done = std::move(done);
    std::weak_ptr<Probe> weak = probe;
    probe->watchdog = m_clock.schedule(kProbeTimeout, [weak] {
        if (auto alive = weak.lock())
            alive->answer(false);
    });
    call<ActivationState>(
        [](ExtensionControl& control) { return control.activationState(); },
        [probe](ControlResult<ActivationState> result) { probe->answer(result && result.value().enabled); });
}

// --- applying a plan

void ProxyController::apply(const ThrottlePlan& plan, Completion done) {
    QPointer<ProxyController> self(this);
    enqueue([self, plan, done = std::move(done)](std::function<void()> finished) {
        self->applyNow(plan, [finished, done](std::optional<QString> error) {
            done(error);
            finished();
        });
    });
}

void ProxyController::applyNow(const ThrottlePlan& plan, Completion done) {
    QPointer<ProxyController> self(this);
    if (plan.isUnlimited() && (!plan.blockedHosts || plan.blockedHosts->empty())) {
        // Nothing to shape or block: stop the tunnel, keep the configuration and its last plan.
        loadManager([self, done](Loaded loaded) {
            if (!loaded) {
                done(text(loaded.error()));
                return;
            }
            if (!loaded.value()) {
                done(std::nullopt);
                return;
            }
            const std::string id = loaded.value()->id;
            self->call<Done>([id](ExtensionControl& control) { return control.stopTunnel(id); },
                             [done](ControlResult<Done> stopped) {
                                 done(stopped ? std::nullopt : std::optional<QString>(text(stopped.error())));
                             });
        });
        return;
    }
    // A plan whose encoding the extension could not read back (a number JSON has no form for)
    // never reaches the configuration: the extension would refuse it at the next start, or keep
    // the old plan running while the app believes the new one applies.
    const std::string planJson = plan.encode();
    std::string why;
    if (!ThrottlePlan::decode(planJson, &why)) {
        done(QStringLiteral("The network plan could not be encoded: ") + text(why));
        return;
    }
    activateExtension([self, done, planJson](std::optional<QString> error) {
        if (!self)
            return;
        if (error) {
            done(error);
            return;
        }
        self->loadManager([self, done, planJson](Loaded loaded) {
            if (!loaded) {
                done(text(loaded.error()));
                return;
            }
            self->configure(loaded.value(), planJson, done);
        });
    });
}

void ProxyController::configure(std::optional<ProxyConfiguration> loaded, std::string planJson,
                                Completion done) {
    ProxyConfiguration configuration = loaded.value_or(ProxyConfiguration{});
    configuration.providerBundleIdentifier = extensionIdentifier;
    configuration.serverAddress = proxyServerAddress;
    configuration.plan = planJson;
    configuration.localizedDescription = "Quorvex";
    configuration.enabled = true;
    QPointer<ProxyController> self(this);
    call<ProxyConfiguration>(
        [configuration](ExtensionControl& control) { return control.saveConfiguration(configuration); },
        [self, planJson, done](ControlResult<ProxyConfiguration> saved) {
            if (!saved) {
                done(text(saved.error()));
                return;
            }
            if (!saved.value().enabled) {
                // Saved, and not enabled until the administrator allows proxy configurations:
                // where the platform would ask the user, the start waits for that instead of
                // failing with "not enabled".
                self->awaitProxyAllowance(planJson, done);
                return;
            }
            self->sendPlan(saved.value(), planJson, done);
        });
}

void ProxyController::awaitProxyAllowance(std::string planJson, Completion done) {
    setAwaitingProxyAllowance(true);
    QPointer<ProxyController> self(this);
    m_allowancePoll = m_clock.schedule(kAllowancePollInterval, [self, planJson, done] {
        if (!self)
            return;
        self->loadManager([self, planJson, done](Loaded loaded) {
            if (!self)
                return;
            if (!loaded || !loaded.value()) {
                self->setAwaitingProxyAllowance(false);
                done(loaded ? QStringLiteral("The proxy configuration was removed.") : text(loaded.error()));
                return;
            }
            if (!loaded.value()->enabled)
                return self->awaitProxyAllowance(planJson, done);
            self->setAwaitingProxyAllowance(false);
            self->sendPlan(*loaded.value(), planJson, done);
        });
    });
}

void ProxyController::setAwaitingProxyAllowance(bool awaiting) {
    if (m_awaitingProxyAllowance == awaiting)
        return;
    m_awaitingProxyAllowance = awaiting;
    if (onProxyAllowanceChange)
        onProxyAllowanceChange(awaiting);
}

void ProxyController::sendPlan(const ProxyConfiguration& configuration, const std::string& planJson,
                               Completion done) {
    QPointer<ProxyController> self(this);
    const std::string id = configuration.id;
    call<SessionStatus>(
        [id](ExtensionControl& control) { return control.status(id); },
        [self, id, planJson, done](ControlResult<SessionStatus> status) {
            if (status && isRunning(status.value())) {
                // A running tunnel takes the plan as a message; it is never restarted.
                self->call<Done>(
                    [id, planJson](ExtensionControl& control) { return control.sendMessage(id, planJson); },
                    [done](ControlResult<Done> sent) {
                        done(sent ? std::nullopt : std::optional<QString>(text(sent.error())));
                    });
                return;
            }
            self->start(id, 1, done);
        });
}

void ProxyController::start(const std::string& id, int attempt, Completion done) {
    QPointer<ProxyController> self(this);
    call<Done>([id](ExtensionControl& control) { return control.startTunnel(id); },
               [self, id, attempt, done](ControlResult<Done> started) {
                   if (!started) {
                       done(text(started.error())); // a refused start is not retried
                       return;
                   }
                   self->waitForConnected(
                       id, self->m_clock.now(), kConnectTimeout, [self, id, attempt, done](bool connected) {
                           if (connected) {
                               done(std::nullopt);
                               return;
                           }
                           self->m_timers.push_back(
                               self->m_clock.schedule(kPauseBetweenAttempts, [self, id, attempt, done] {
                                   if (!self)
                                       return;
                                   self->m_timers.clear();
                                   if (attempt >= kStartAttempts)
                                       done(kDidNotStartText);
                                   else
                                       self->start(id, attempt + 1, done);
                               }));
                       });
               });
}

void ProxyController::waitForConnected(const std::string& id, double startedAt, double timeout,
                                       std::function<void(bool)> done) {
    QPointer<ProxyController> self(this);
    call<SessionStatus>([id](ExtensionControl& control) { return control.status(id); },
                        [self, id, startedAt, timeout, done](ControlResult<SessionStatus> status) {
                            const bool connected = status && status.value() == SessionStatus::Connected;
                            const double elapsed = self->m_clock.now() - startedAt;
                            if (connected || elapsed >= timeout - 1e-9) {
                                done(connected);
                                return;
                            }
                            const bool fellBack = !status || status.value() == SessionStatus::Invalid ||
                                                  status.value() == SessionStatus::Disconnected;
                            if (fellBack && elapsed > kGiveUpWhenDisconnectedAfter - 1e-9) {
                                done(false); // not even connecting: no use waiting out the attempt
                                return;
                            }
                            self->m_timers.push_back(self->m_clock.schedule(
                                kConnectPollInterval, [self, id, startedAt, timeout, done] {
                                    if (!self)
                                        return;
                                    self->m_timers.clear();
                                    self->waitForConnected(id, startedAt, timeout, done);
                                }));
                        });
}

// --- reads

void ProxyController::runningPlan(std::function<void(std::optional<ThrottlePlan>)> done) {
    QPointer<ProxyController> self(this);
    loadManager([self, done](Loaded loaded) {
        if (!loaded || !loaded.value()) {
            done(std::nullopt);
            return;
        }
        const ProxyConfiguration configuration = *loaded.value();
        self->call<SessionStatus>(
            [id = configuration.id](ExtensionControl& control) { return control.status(id); },
            [self, configuration, done](ControlResult<SessionStatus> status) {
                if (!status || !isRunning(status.value())) {
                    done(std::nullopt);
                    return;
                }
                if (configuration.plan)
                    if (auto plan = ThrottlePlan::decode(*configuration.plan)) {
                        done(std::move(plan));
                        return;
                    }
                // A proxy running with a plan nobody can read is not left running.
                self->call<Done>(
                    [id = configuration.id](ExtensionControl& control) { return control.stopTunnel(id); },
                    [done](ControlResult<Done>) { done(std::nullopt); });
            });
    });
}

void ProxyController::setupStatus(std::function<void(SetupStatus)> done) {
    QPointer<ProxyController> self(this);
    loadManager([self, done](Loaded loaded) {
        std::optional<ProxyConfiguration> configuration;
        if (loaded)
            configuration = loaded.value();
        self->isEnabled([self, configuration, done](bool approved) {
            if (!self)
                return;
            if (!configuration) {
                done({approved, false, false, self->obstacle()});
                return;
            }
            self->call<SessionStatus>(
                [id = configuration->id](ExtensionControl& control) { return control.status(id); },
                [self, configuration, approved, done](ControlResult<SessionStatus> status) {
                    done({approved, configuration->enabled,
                          status && status.value() == SessionStatus::Connected, self->obstacle()});
                });
        });
    });
}

// --- stopping and resetting

void ProxyController::stopTunnel(std::function<void()> done) {
    QPointer<ProxyController> self(this);
    enqueue([self, done = std::move(done)](std::function<void()> finished) {
        self->loadManager([self, done, finished](Loaded loaded) {
            if (!loaded || !loaded.value()) {
                done();
                finished();
                return;
            }
            self->call<Done>(
                [id = loaded.value()->id](ExtensionControl& control) { return control.stopTunnel(id); },
                [done, finished](ControlResult<Done>) {
                    done();
                    finished();
                });
        });
    });
}

void ProxyController::resetSetup(Completion done) {
    QPointer<ProxyController> self(this);
    enqueue([self, done = std::move(done)](std::function<void()> finished) {
        self->resetNow([done, finished](std::optional<QString> error) {
            done(error);
            finished();
        });
    });
}

void ProxyController::resetNow(Completion done) {
    QPointer<ProxyController> self(this);
    call<std::vector<ProxyConfiguration>>(
        [](ExtensionControl& control) { return control.loadConfigurations(); },
        [self, done](ControlResult<std::vector<ProxyConfiguration>> loaded) {
            if (!loaded) {
                done(text(loaded.error()));
                return;
            }
            self->removeConfigurations(loaded.value(), done);
        });
}

void ProxyController::removeConfigurations(std::vector<ProxyConfiguration> remaining, Completion done) {
    QPointer<ProxyController> self(this);
    if (remaining.empty()) {
        isEnabled([self, done](bool enabled) {
            if (!self)
                return;
            if (!enabled) {
                self->deactivate(done);
                return;
            }
            // An enabled extension is first asked to activate (no install check, no bookkeeping),
            // so the deactivation that follows finds it in a known state.
            self->call<ActivationState>([](ExtensionControl& control) { return control.requestActivation(); },
                                        [self, done](ControlResult<ActivationState> activated) {
                                            if (!activated) {
                                                done(extensionRequestFailure(activated.error()));
                                                return;
                                            }
                                            self->deactivate(done);
                                        });
        });
        return;
    }
    const std::string id = remaining.front().id;
    remaining.erase(remaining.begin());
    call<Done>([id](ExtensionControl& control) { return control.stopTunnel(id); },
               [self, id, remaining = std::move(remaining), done](ControlResult<Done>) mutable {
                   self->call<Done>(
                       [id](ExtensionControl& control) { return control.removeConfiguration(id); },
                       [self, remaining = std::move(remaining), done](ControlResult<Done> removed) mutable {
                           if (!removed) {
                               done(text(removed.error()));
                               return;
                           }
                           self->removeConfigurations(std::move(remaining), done);
                       });
               });
}

void ProxyController::deactivate(Completion done) {
    QPointer<ProxyController> self(this);
    call<Done>([](ExtensionControl& control) { return control.deactivate(); },
               [self, done](ControlResult<Done> result) {
                   if (result || result.errorKind() == ControlErrorKind::NotFound) {
                       self->m_activated = false; // a missing extension is what a reset wants
                       done(std::nullopt);
                       return;
                   }
                   done(extensionRequestFailure(result.error()));
               });
}

} // namespace quorvex
