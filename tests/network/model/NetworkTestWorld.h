#pragma once

#include "network/model/ControlExecutor.h"
#include "network/model/ProxyController.h"
#include "network/model/SetupGuideWindow.h"
#include "support/FakeClock.h"
#include "support/FakeExtensionControl.h"

#include <deque>
#include <optional>

namespace quorvex::test {

/// Runs daemon calls at once, or, while held, keeps them until the test lets them go: a daemon
/// that is slow to answer, without threads.
class ManualExecutor final : public ControlExecutor {
public:
    void run(std::function<void()> work, std::function<void()> then) override {
        if (m_held) {
            m_jobs.push_back({std::move(work), std::move(then)});
            return;
        }
        work();
        then();
    }

    void hold() { m_held = true; }
    /// Answers the oldest held call; false when none waits.
    bool releaseOne() {
        if (m_jobs.empty())
            return false;
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        job.work();
        job.then();
        return true;
    }
    /// Stops holding and answers everything held, and what those answers ask next.
    void releaseAll() {
        m_held = false;
        while (releaseOne()) {
        }
    }
    std::size_t heldCount() const { return m_jobs.size(); }

private:
    struct Job {
        std::function<void()> work;
        std::function<void()> then;
    };
    bool m_held = false;
    std::deque<Job> m_jobs;
};

/// A fake daemon, a virtual clock and a proxy controller for a program installed under /opt/qv.
struct ProxyWorld {
    FakeExtensionControl daemon;
    ManualExecutor executor;
    FakeClock clock;
    ProxyController proxy{daemon, executor, clock, {"/opt/qv/bin/quorvex", "/opt/qv"}};

    /// Advances the clock in small steps until `done` holds or `limit` seconds passed; answers the
    /// time it took.
    template <typename Done>
    std::optional<double> advanceUntil(Done&& done, double limit, double step = 0.05) {
        const double start = clock.now();
        while (!done()) {
            if (clock.now() - start > limit)
                return std::nullopt;
            clock.advance(step);
        }
        return clock.now() - start;
    }
};

/// Stands for the setup guide's window: remembers whether it shows and how often it was presented.
class RecordingWindow final : public SetupGuideWindow {
public:
    explicit RecordingWindow(int* presents)
        : m_presents(presents) {}
    void present() override {
        ++*m_presents;
        m_visible = true;
    }
    void close() override { m_visible = false; }
    bool isVisible() const override { return m_visible; }

private:
    int* m_presents;
    bool m_visible = false;
};

/// A ProxyControl that answers the setup status it is told and counts the reads; every change
/// succeeds at once.
class StatusSource final : public ProxyControl {
public:
    SetupStatus status;
    int reads = 0;

    void setupStatus(std::function<void(SetupStatus)> done) override {
        ++reads;
        done(status);
    }
    void apply(const ThrottlePlan&, Completion done) override { done(std::nullopt); }
    void hasConfiguration(std::function<void(bool)> done) override { done(false); }
    void runningPlan(std::function<void(std::optional<ThrottlePlan>)> done) override { done(std::nullopt); }
    void stopTunnel(std::function<void()> done) override { done(); }
    void resetSetup(Completion done) override { done(std::nullopt); }
};

/// A plan that shapes one app.
inline ThrottlePlan shapingPlan(const std::string& profileID = "edge") {
    const auto profile = *NetworkProfile::builtIn(profileID);
    ThrottlePlan plan;
    plan.rules.push_back({std::string("Demo.app"), profile.id, profile.phases});
    plan.blockedHosts.emplace();
    return plan;
}

} // namespace quorvex::test
