#include "extension/LinkShaper.h"

#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

using namespace quorvex;

namespace {

// A shaper on a fake clock that records when each piece was sent and delivered.
class LinkShaperTest : public ::testing::Test {
protected:
    struct Event {
        std::string what; // "sent A", "deliver A"
        double at;        // seconds after the test began
    };

    void schedule(const std::string& name, std::int64_t bytes) {
        shaper.schedule(
            bytes,
            [this, name] {
                events.push_back({"sent " + name, clock.now() - start});
            },
            [this, name] {
                events.push_back({"deliver " + name, clock.now() - start});
            });
    }

    std::vector<std::string> deliveries() const {
        std::vector<std::string> result;
        for (const Event& event : events)
            if (event.what.starts_with("deliver"))
                result.push_back(event.what.substr(8));
        return result;
    }

    double timeOf(const std::string& what) const {
        for (const Event& event : events)
            if (event.what == what)
                return event.at;
        return -1;
    }

    test::FakeClock clock;
    const double start = clock.now();
    LinkShaper shaper{clock};
    std::vector<Event> events;
};

} // namespace

TEST_F(LinkShaperTest, UnshapedPieceRunsOnTheNextTurnNotInsideTheCall) {
    schedule("A", 1000);
    EXPECT_TRUE(events.empty());
    clock.advance(0);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].what, "sent A");
    EXPECT_EQ(events[1].what, "deliver A");
    EXPECT_DOUBLE_EQ(events[1].at, 0);
}

TEST_F(LinkShaperTest, PiecesQueueBehindEachOtherAtTheCapAndDeliveryAddsTheDelay) {
    shaper.apply(1000, 50); // 125000 bytes per second, 0.05 s one way
    schedule("A", 12500);
    schedule("B", 12500);
    clock.advance(1);
    EXPECT_NEAR(timeOf("sent A"), 0.1, 1e-9);
    EXPECT_NEAR(timeOf("sent B"), 0.2, 1e-9);
    EXPECT_NEAR(timeOf("deliver A"), 0.15, 1e-9);
    EXPECT_NEAR(timeOf("deliver B"), 0.25, 1e-9);
}

// A stall used to be a pause until the phase's planned end: a one-phase stall of 0 s carried
// everything, a longer one let flows through unshaped once its time was up, and what it held left
// in one burst when it ended, past the next phase's cap.
TEST_F(LinkShaperTest, StallHoldsNewPiecesUntilTheNextPhaseWhichPacesThemAtItsCap) {
    shaper.apply(1000, 0);
    schedule("before", 12500);
    shaper.apply(std::nullopt, 0, true);
    for (const char* name : {"A", "B", "C", "D"})
        schedule(name, 12500);
    clock.advance(1000);
    EXPECT_NEAR(timeOf("deliver before"), 0.1, 1e-9)
        << "pieces on the link before the stall keep their times";
    EXPECT_EQ(deliveries(), (std::vector<std::string>{"before"})) << "a stall carries nothing, however long";

    const double end = clock.now() - start;
    shaper.apply(1000, 0); // 125000 bytes per second: 12500 bytes every 0.1 s
    clock.advance(1);
    EXPECT_EQ(deliveries(), (std::vector<std::string>{"before", "A", "B", "C", "D"}));
    EXPECT_NEAR(timeOf("sent A") - end, 0.1, 1e-9);
    EXPECT_NEAR(timeOf("sent D") - end, 0.4, 1e-9);
}

TEST_F(LinkShaperTest, ChunkIsFiftyMillisecondsOfTheCapBetweenTheFloorAndTheCeiling) {
    const std::pair<std::optional<std::int64_t>, std::size_t> cases[] = {
        {std::nullopt, 65536}, {1, 512},       {80, 512},       {1000, 6250},
        {10000, 62500},        {40000, 65536}, {200000, 65536},
    };
    for (const auto& [kbps, chunk] : cases) {
        shaper.apply(kbps, 0);
        EXPECT_EQ(shaper.chunkSize(), chunk) << (kbps ? *kbps : -1);
    }
    shaper.apply(1, 0);
    EXPECT_DOUBLE_EQ(*shaper.bytesPerSecond(), 125);
}

// Pieces used to keep the delivery time they were scheduled with: after the spotty Wi-Fi's
// Congested phase (440 ms up) gave way to Wi-Fi (1 ms), later pieces overtook earlier ones and the
// TCP stream arrived reordered, its end before its data.
TEST_F(LinkShaperTest, LoweringTheDelayNeverLetsLaterPiecesOvertakeEarlierOnes) {
    shaper.apply(200, 440);
    schedule("A", 512);
    shaper.apply(33000, 1);
    schedule("B", 512);
    schedule("end", 0);
    clock.advance(2);
    EXPECT_EQ(deliveries(), (std::vector<std::string>{"A", "B", "end"}));
    EXPECT_GE(timeOf("deliver B"), timeOf("deliver A"));
    // B still left the link at the new rate; only its delivery waits behind A.
    EXPECT_LT(timeOf("sent B"), timeOf("deliver A"));
}

// Caps were converted to integers: a huge cap overflowed and trapped; a cap of 0 divided by zero.
TEST_F(LinkShaperTest, HugeCapsDoNotOverflowAndCapsOfZeroOrBelowHoldTheDirectionShut) {
    shaper.apply(std::numeric_limits<std::int64_t>::max(), 0);
    EXPECT_EQ(shaper.chunkSize(), 65536u);
    schedule("huge", 65536);
    clock.advance(0);
    EXPECT_NEAR(timeOf("deliver huge"), 0, 1e-9);

    for (const std::int64_t shutCap : {0, -40}) {
        events.clear();
        shaper.apply(shutCap, 0);
        EXPECT_TRUE(shaper.isShut());
        EXPECT_EQ(shaper.chunkSize(), 65536u);
        schedule("A", 1000);
        schedule("B", 0);
        clock.advance(100);
        EXPECT_TRUE(events.empty()) << "cap " << shutCap;
        shaper.apply(1000, 10);
        clock.advance(1);
        EXPECT_EQ(deliveries(), (std::vector<std::string>{"A", "B"}));
    }
}

TEST_F(LinkShaperTest, PieceFollowingWithinTheJitterContinuesTheBusyLinkAndALaterOneStartsAnew) {
    shaper.apply(1000, 0);
    schedule("A", 12500); // leaves at 0.1
    clock.advance(0.101);
    schedule("B", 12500); // 1 ms late: continues from 0.1
    clock.advance(0.2);
    EXPECT_NEAR(timeOf("sent B"), 0.2, 1e-9);
    schedule("C", 12500); // 101 ms after the link fell idle: starts now
    clock.advance(1);
    EXPECT_NEAR(timeOf("sent C"), 0.401, 1e-9);
}
