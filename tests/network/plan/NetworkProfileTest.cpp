#include "network/plan/NetworkProfile.h"

#include "ui/Symbols.h"

#include <gtest/gtest.h>

using namespace quorvex;

TEST(NetworkProfileTest, BuiltInListsHoldTheEightSteadyAndFourCyclingProfilesInOrder) {
    std::vector<std::string> ids;
    for (const auto& profile : NetworkProfile::builtInAll())
        ids.push_back(profile.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"unlimited", "wifi", "5g", "lte", "3g", "edge", "very-slow",
                                             "off", "elevator", "train", "spotty-wifi", "dropping"}));
    EXPECT_EQ(NetworkProfile::basic().size(), 8u);
    EXPECT_EQ(NetworkProfile::scenarios().size(), 4u);
    for (const auto& profile : NetworkProfile::basic()) {
        ASSERT_EQ(profile.phases.size(), 1u) << profile.id;
        EXPECT_EQ(profile.phases[0].label, profile.name);
        EXPECT_EQ(profile.phases[0].seconds, 0);
    }
}

TEST(NetworkProfileTest, EveryBuiltInProfileHasItsSummary) {
    const std::pair<const char*, const char*> cases[] = {
        {"unlimited", "No throttling"},
        {"wifi", "↓ 40 Mbps  ↑ 33 Mbps · 2 ms RTT"},
        {"5g", "↓ 200 Mbps  ↑ 50 Mbps · 20 ms RTT"},
        {"lte", "↓ 50 Mbps  ↑ 10 Mbps · 115 ms RTT"},
        {"3g", "↓ 780 Kbps  ↑ 330 Kbps · 200 ms RTT"},
        {"edge", "↓ 240 Kbps  ↑ 200 Kbps · 840 ms RTT"},
        {"very-slow", "↓ 50 Kbps  ↑ 20 Kbps · 1000 ms RTT · 5% loss"},
        {"off", "100% packet loss"},
        {"elevator", "LTE 10 s → No signal 6 s"},
        {"train", "LTE 12 s → Edge 6 s → Tunnel 5 s → 3G 8 s"},
        {"spotty-wifi", "Wi-Fi 7 s → Stall 2 s → Congested 4 s"},
        {"dropping", "Wi-Fi 15 s → Offline 3 s"},
    };
    for (const auto& [id, summary] : cases) {
        const auto profile = NetworkProfile::builtIn(id);
        ASSERT_TRUE(profile) << id;
        EXPECT_EQ(profile->summary(), summary) << id;
    }
}

TEST(NetworkProfileTest, BuiltInLookupIsExactAndIndexComparesWholeProfiles) {
    EXPECT_EQ(NetworkProfile::builtIn("lte")->name, "LTE");
    EXPECT_FALSE(NetworkProfile::builtIn("LTE"));
    EXPECT_FALSE(NetworkProfile::builtIn("satellite"));
    EXPECT_EQ(indexOf(NetworkProfile::builtInAll(), *NetworkProfile::builtIn("train")), 9u);
    NetworkProfile renamed = *NetworkProfile::builtIn("train");
    renamed.name = "Metro";
    EXPECT_FALSE(indexOf(NetworkProfile::builtInAll(), renamed));
    EXPECT_EQ(NetworkProfile{}.summary(), "");
}

TEST(NetworkProfileTest, ConditionSummariesFollowTheirOrderOfPrecedence) {
    auto conditions = [](std::optional<std::int64_t> down, std::optional<std::int64_t> up, double loss,
                         bool stalled) { return LinkConditions{down, up, 0, 0, loss, stalled}; };
    const std::pair<LinkConditions, const char*> cases[] = {
        {conditions(999, 1500, 0, false), "↓ 999 Kbps  ↑ 1 Mbps · 0 ms RTT"},
        {conditions(1000, 1000, 0, false), "↓ 1 Mbps  ↑ 1 Mbps · 0 ms RTT"},
        {conditions(5000, std::nullopt, 0, false), "0 ms RTT"},
        {conditions(std::nullopt, std::nullopt, 0.005, false), "0 ms RTT · 0% loss"},
        {conditions(std::nullopt, std::nullopt, 1.0, true), "100% packet loss"},
        {conditions(std::nullopt, std::nullopt, 0, true), "No signal"},
    };
    for (const auto& [value, summary] : cases)
        EXPECT_EQ(value.summary(), summary);
    EXPECT_EQ(formatRate(999), "999 Kbps");
    EXPECT_EQ(formatRate(1000), "1 Mbps");
    EXPECT_EQ(formatRate(1500), "1 Mbps");
}

TEST(NetworkProfileTest, EveryBuiltInSymbolHasAnIconOfItsOwn) {
    for (const auto& profile : NetworkProfile::builtInAll())
        EXPECT_TRUE(Symbols::contains(QString::fromStdString(profile.symbol))) << profile.symbol;
}
