#pragma once

#include "network/control/ExtensionControl.h"
#include "network/plan/ThrottlePlan.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace quorvex::test {

/// An in-memory network extension daemon for tests of the app side: the same answers as the real
/// daemon (activation awaiting the administrator, configurations with ids, one tunnel, a start or
/// a message with a plan that does not decode fails), plus knobs: approve and allow as the
/// administrator would, script the statuses a start goes through, make the next call of an
/// operation fail, or play a daemon that is not running. Records every call. Thread-safe.
class FakeExtensionControl final : public ExtensionControl {
    template <typename Work> auto locked(Work&& work) const -> decltype(work()) {
        const std::lock_guard lock(m_mutex);
        return work();
    }

public:
    // --- the administrator's side
    void approve() {
        locked([&] { m_approved = true; });
    }
    void allowProxy() {
        locked([&] { m_proxyAllowed = true; });
    }
    /// Approve activations and allow proxies at once (the daemon's --auto-approve).
    void autoApprove() {
        locked([&] { m_approved = m_proxyAllowed = true; });
    }

    // --- knobs
    /// The statuses status() answers after the next successful start, one per call, before the
    /// tunnel settles on Connected (or on the last scripted status, when `settle` is false).
    void scriptStart(std::vector<SessionStatus> statuses, bool settle = true) {
        locked([&] {
            m_script.assign(statuses.begin(), statuses.end());
            m_settle = settle;
        });
    }
    /// The next call of `operation` ("startTunnel", "sendMessage", ...) fails with `text`.
    void failNext(std::string operation, std::string text, ControlErrorKind kind = ControlErrorKind::Failed) {
        locked([&] { m_failures[std::move(operation)] = {std::move(text), kind}; });
    }
    /// Every call fails as if no daemon were running.
    void setUnreachable(bool unreachable) {
        locked([&] { m_unreachable = unreachable; });
    }
    /// Sets a configuration's status directly (a tunnel that dropped, for example).
    void setStatus(SessionStatus status) {
        locked([&] { m_status = status; });
    }

    // --- what happened
    std::vector<std::string> calls() const {
        return locked([&] { return m_calls; });
    }
    std::size_t callCount(const std::string& operation) const {
        return locked([&] { return std::size_t(std::count(m_calls.begin(), m_calls.end(), operation)); });
    }
    /// The plans applied by messages, in order.
    std::vector<std::string> messages() const {
        return locked([&] { return m_messages; });
    }
    /// The plan the running tunnel uses (the start's, then each accepted message's).
    std::optional<ThrottlePlan> runningPlan() const {
        return locked([&] { return m_runningPlan; });
    }
    std::vector<ProxyConfiguration> configurations() const {
        return locked([&] { return m_configurations; });
    }
    bool isActivated() const {
        return locked([&] { return m_activated; });
    }

    // --- ExtensionControl
    ControlResult<ActivationState> requestActivation() override {
        return call<ActivationState>("requestActivation", [&]() -> ControlResult<ActivationState> {
            m_activated = true;
            return state();
        });
    }
    ControlResult<Done> deactivate() override {
        return call<Done>("deactivate", [&]() -> ControlResult<Done> {
            if (!m_activated)
                return ControlResult<Done>::failure("The network extension is not installed.",
                                                    ControlErrorKind::NotFound);
            stop();
            m_activated = false;
            return Done{};
        });
    }
    ControlResult<ActivationState> activationState() override {
        return call<ActivationState>("activationState",
                                     [&]() -> ControlResult<ActivationState> { return state(); });
    }
    ControlResult<std::vector<ProxyConfiguration>> loadConfigurations() override {
        using Result = ControlResult<std::vector<ProxyConfiguration>>;
        return call<std::vector<ProxyConfiguration>>("loadConfigurations", [&]() -> Result {
            std::vector<ProxyConfiguration> shown;
            for (const auto& configuration : m_configurations)
                shown.push_back(effective(configuration));
            return shown;
        });
    }
    ControlResult<ProxyConfiguration> saveConfiguration(const ProxyConfiguration& configuration) override {
        using Result = ControlResult<ProxyConfiguration>;
        return call<ProxyConfiguration>("saveConfiguration", [&]() -> Result {
            if (configuration.providerBundleIdentifier != extensionIdentifier)
                return Result::failure("The configuration names an unknown extension: " +
                                       configuration.providerBundleIdentifier);
            ProxyConfiguration saved = configuration;
            if (saved.id.empty()) {
                saved.id = "FAKE" + std::to_string(++m_nextId);
                m_configurations.push_back(saved);
            } else if (auto existing = find(saved.id); existing != m_configurations.end()) {
                *existing = saved;
            } else {
                return Result::failure("No such proxy configuration: " + saved.id,
                                       ControlErrorKind::NotFound);
            }
            return effective(saved);
        });
    }
    ControlResult<Done> removeConfiguration(const std::string& id) override {
        return call<Done>("removeConfiguration", [&]() -> ControlResult<Done> {
            const auto existing = find(id);
            if (existing == m_configurations.end())
                return ControlResult<Done>::failure("No such proxy configuration.",
                                                    ControlErrorKind::NotFound);
            if (id == m_runningId)
                stop();
            m_configurations.erase(existing);
            return Done{};
        });
    }
    ControlResult<Done> startTunnel(const std::string& id) override {
        return call<Done>("startTunnel", [&]() -> ControlResult<Done> {
            const auto existing = find(id);
            if (existing == m_configurations.end())
                return ControlResult<Done>::failure("No such proxy configuration.",
                                                    ControlErrorKind::NotFound);
            if (!state().enabled)
                return ControlResult<Done>::failure("The network extension is not enabled.");
            if (!effective(*existing).enabled)
                return ControlResult<Done>::failure("The proxy configuration is not enabled.");
            if (m_runningId == id)
                return Done{};
            if (!m_runningId.empty())
                return ControlResult<Done>::failure("Another proxy configuration is running.");
            if (!existing->plan)
                return ControlResult<Done>::failure("The configuration carries no plan.");
            std::string error;
            auto plan = ThrottlePlan::decode(*existing->plan, &error);
            if (!plan)
                return ControlResult<Done>::failure("The plan cannot be read: " + error);
            m_runningPlan = std::move(plan);
            m_runningId = id;
            m_status = SessionStatus::Connected;
            m_pending = m_script;
            return Done{};
        });
    }
    ControlResult<Done> stopTunnel(const std::string& id) override {
        return call<Done>("stopTunnel", [&]() -> ControlResult<Done> {
            if (find(id) == m_configurations.end())
                return ControlResult<Done>::failure("No such proxy configuration.",
                                                    ControlErrorKind::NotFound);
            if (id == m_runningId)
                stop();
            return Done{};
        });
    }
    ControlResult<SessionStatus> status(const std::string& id) override {
        return call<SessionStatus>("status", [&]() -> ControlResult<SessionStatus> {
            if (find(id) == m_configurations.end())
                return SessionStatus::Invalid;
            if (id != m_runningId)
                return SessionStatus::Disconnected;
            if (!m_pending.empty()) {
                const SessionStatus next = m_pending.front();
                if (m_pending.size() > 1 || m_settle)
                    m_pending.pop_front();
                return next;
            }
            return m_status;
        });
    }
    ControlResult<Done> sendMessage(const std::string& id, const std::string& message) override {
        return call<Done>("sendMessage", [&]() -> ControlResult<Done> {
            if (find(id) == m_configurations.end())
                return ControlResult<Done>::failure("No such proxy configuration.",
                                                    ControlErrorKind::NotFound);
            if (id != m_runningId || !isRunning(m_status))
                return ControlResult<Done>::failure("The proxy is not running.");
            std::string error;
            auto plan = ThrottlePlan::decode(message, &error);
            if (!plan)
                return ControlResult<Done>::failure("The plan cannot be read: " + error);
            m_messages.push_back(message);
            m_runningPlan = std::move(plan);
            return Done{};
        });
    }

private:
    template <typename T, typename Work> ControlResult<T> call(const std::string& operation, Work&& work) {
        const std::lock_guard lock(m_mutex);
        m_calls.push_back(operation);
        if (m_unreachable)
            return ControlResult<T>::failure("The network extension is not running.",
                                             ControlErrorKind::Unreachable);
        if (auto failure = m_failures.find(operation); failure != m_failures.end()) {
            auto [text, kind] = failure->second;
            m_failures.erase(failure);
            return ControlResult<T>::failure(text, kind);
        }
        return work();
    }

    ActivationState state() const {
        return {m_approved, m_activated && !m_approved, m_activated && m_approved, m_proxyAllowed};
    }
    ProxyConfiguration effective(ProxyConfiguration configuration) const {
        configuration.enabled = configuration.enabled && m_proxyAllowed;
        return configuration;
    }
    std::vector<ProxyConfiguration>::iterator find(const std::string& id) {
        return std::find_if(m_configurations.begin(), m_configurations.end(),
                            [&](const ProxyConfiguration& configuration) { return configuration.id == id; });
    }
    void stop() {
        m_runningId.clear();
        m_status = SessionStatus::Disconnected;
        m_pending.clear();
    }

    mutable std::mutex m_mutex;
    bool m_approved = false;
    bool m_activated = false;
    bool m_proxyAllowed = false;
    bool m_unreachable = false;
    bool m_settle = true;
    int m_nextId = 0;
    std::vector<ProxyConfiguration> m_configurations;
    std::string m_runningId;
    SessionStatus m_status = SessionStatus::Disconnected;
    std::deque<SessionStatus> m_script;
    std::deque<SessionStatus> m_pending;
    std::optional<ThrottlePlan> m_runningPlan;
    std::vector<std::string> m_messages;
    std::vector<std::string> m_calls;
    std::map<std::string, std::pair<std::string, ControlErrorKind>> m_failures;
};

} // namespace quorvex::test
