#include "extension/Link.h"

#include "extension/ExtensionState.h"
#include "extension/LogCapture.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace quorvex;

namespace {

using Phase = NetworkProfile::Phase;

Phase phase(const std::string& label, double seconds, LinkConditions conditions = {}) {
    return Phase{label, seconds, conditions};
}

LinkConditions loss(double fraction) {
    LinkConditions conditions;
    conditions.packetLoss = fraction;
    return conditions;
}

ThrottlePlan planFor(const std::string& key, std::vector<Phase> phases) {
    ThrottlePlan plan;
    plan.rules.push_back(
        {key == "*" ? std::nullopt : std::optional<std::string>(key), "custom", std::move(phases)});
    return plan;
}

// A relay stand-in that only records being closed.
class FakeRelay final : public Closable {
public:
    FakeRelay(std::shared_ptr<Link> link, RelayRegistry& registry)
        : m_link(std::move(link))
        , m_registry(registry) {}
    const std::shared_ptr<Link>& link() const override { return m_link; }
    void close() override {
        closed = true;
        m_registry.remove(this);
    }
    bool closed = false;

private:
    std::shared_ptr<Link> m_link;
    RelayRegistry& m_registry;
};

// Extension state on a fake clock, with the phase log lines and their times.
class LinkTest : public ::testing::Test {
protected:
    LinkTest() {
        log.onLine([this](const std::string& line) {
            if (line.find("] Phase ") != std::string::npos)
                phaseLog.push_back({line.substr(line.find("Phase ")), clock.now() - start});
            if (phaseLog.size() > 10000)
                throw std::runtime_error("the phase timer spins");
        });
    }

    std::shared_ptr<FakeRelay> addRelay(const std::shared_ptr<Link>& link) {
        auto relay = std::make_shared<FakeRelay>(link, state.registry());
        state.registry().add(relay);
        return relay;
    }

    struct Entry {
        std::string line;
        double at;
    };

    test::LogCapture log;
    test::FakeClock clock;
    const double start = clock.now();
    ExtensionState state{clock};
    std::vector<Entry> phaseLog;
};

} // namespace

TEST_F(LinkTest, TwoPhasesAlternateByTheirLengthsAndLogEachEntry) {
    state.applyPlan(planFor("*", {phase("A", 5), phase("B", 10)}));
    clock.advance(31);
    std::vector<std::pair<std::string, double>> seen;
    for (const Entry& entry : phaseLog)
        seen.push_back({entry.line, entry.at});
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, double>>{{"Phase A for 5.000000 s", 0},
                                                                 {"Phase B for 10.000000 s", 5},
                                                                 {"Phase A for 5.000000 s", 15},
                                                                 {"Phase B for 10.000000 s", 20},
                                                                 {"Phase A for 5.000000 s", 30}}));
    EXPECT_NE(log.lines().front().find("com.zelmora.Quorvex[proxy]"), std::string::npos);
}

TEST_F(LinkTest, ChangedPhasesRestartAtTheFirstAndTheOldChainStops) {
    state.applyPlan(planFor("*", {phase("A", 5), phase("B", 10)}));
    clock.advance(7); // in B
    const auto link = state.link("*");
    state.applyPlan(planFor("*", {phase("C", 3), phase("D", 3)}));
    EXPECT_EQ(state.link("*"), link) << "the rule keeps its link";
    phaseLog.clear();
    clock.advance(10);
    for (const Entry& entry : phaseLog)
        EXPECT_TRUE(entry.line.starts_with("Phase C") || entry.line.starts_with("Phase D")) << entry.line;
    EXPECT_EQ(phaseLog.size(), 3u); // D at 3, C at 6, D at 9 from the restart

    // The same phases again change nothing: no restart, no log line.
    phaseLog.clear();
    state.applyPlan(planFor("*", {phase("C", 3), phase("D", 3)}));
    EXPECT_TRUE(phaseLog.empty());
}

TEST_F(LinkTest, OnePhaseRuleArmsNoTimer) {
    LinkConditions lte{50000, 10000, 50, 65, 0, false};
    state.applyPlan(planFor("Demo.app", {phase("LTE", 0, lte)}));
    EXPECT_EQ(clock.pendingCount(), 0u);
    const auto link = state.link("Demo.app");
    EXPECT_DOUBLE_EQ(*link->downlink.bytesPerSecond(), 6250000);
    EXPECT_DOUBLE_EQ(link->uplink.delay(), 0.065);
    EXPECT_FALSE(link->isUnlimited());
}

TEST_F(LinkTest, CutPhaseClosesOnlyTheRelaysOfItsOwnLink) {
    state.applyPlan([] {
        ThrottlePlan plan = planFor("*", {phase("Wi-Fi", 15), phase("Offline", 3, loss(1.0))});
        plan.rules.push_back({"Other.app", "custom", {phase("steady", 0)}});
        return plan;
    }());
    const auto mine = addRelay(state.link("*"));
    const auto other = addRelay(state.link("Other.app"));
    clock.advance(14);
    EXPECT_FALSE(mine->closed);
    clock.advance(1);
    EXPECT_TRUE(mine->closed);
    EXPECT_FALSE(other->closed);
    EXPECT_TRUE(state.link("*")->isCut());
    EXPECT_EQ(state.registry().size(), 1u);
}

TEST_F(LinkTest, RemovedRuleClosesItsRelaysAndStopsItsPhases) {
    state.applyPlan(planFor("Demo.app", {phase("A", 1), phase("B", 1)}));
    const auto link = state.link("Demo.app");
    const auto relay = addRelay(link);
    state.applyPlan(ThrottlePlan{});
    EXPECT_TRUE(relay->closed);
    EXPECT_EQ(state.link("Demo.app"), nullptr);
    phaseLog.clear();
    clock.advance(5);
    EXPECT_TRUE(phaseLog.empty());
}

TEST_F(LinkTest, StalledPhaseHoldsPiecesUntilItEnds) {
    LinkConditions stall;
    stall.stalled = true;
    state.applyPlan(planFor("*", {phase("LTE", 10), phase("No signal", 6, stall)}));
    clock.advance(10);
    double sentAt = -1;
    state.link("*")->uplink.schedule(10, [&] { sentAt = clock.now() - start; }, {});
    clock.advance(10);
    EXPECT_NEAR(sentAt, 16, 1e-9);
}

// A rule with one stalled phase let TCP through: at once for 0 s, and unshaped for good after a
// longer one had run out.
TEST_F(LinkTest, ARuleWhoseOnlyPhaseStallsCarriesNothing) {
    LinkConditions stall;
    stall.stalled = true;
    for (const double seconds : {0.0, 5.0}) {
        state.applyPlan(planFor("Demo.app", {phase("No signal", seconds, stall)}));
        bool sent = false;
        state.link("Demo.app")->uplink.schedule(10, [&] { sent = true; }, {});
        state.link("Demo.app")->downlink.schedule(10, [&] { sent = true; }, {});
        clock.advance(100);
        EXPECT_FALSE(sent) << seconds << " s";
        state.applyPlan(ThrottlePlan{});
    }
}

// Phases of 0 s or less re-armed the phase timer at once, forever: the queue burnt a core.
TEST_F(LinkTest, PhasesOfZeroSecondsOrLessLastAMinimumLength) {
    state.applyPlan(planFor("*", {phase("A", 0), phase("B", -3)}));
    EXPECT_NO_THROW(clock.advance(1.0));
    EXPECT_LE(phaseLog.size(), static_cast<std::size_t>(1.0 / Link::minimumPhaseSeconds) + 1);
    EXPECT_GE(phaseLog.size(), 2u) << "the phases still alternate";
}
