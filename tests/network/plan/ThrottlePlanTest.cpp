#include "network/plan/ThrottlePlan.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

using namespace quorvex;

namespace {

ThrottlePlan samplePlan() {
    ThrottlePlan plan;
    plan.rules.push_back({"Demo.app", "train", NetworkProfile::builtIn("train")->phases});
    plan.rules.push_back({std::nullopt, "3g", NetworkProfile::builtIn("3g")->phases});
    plan.blockedHosts = std::vector<std::string>{"example.com", "2001:db8::1"};
    return plan;
}

// A one-rule plan whose single phase has these conditions, as JSON text.
std::string planWithConditions(const std::string& conditions) {
    return R"({"rules":[{"profileID":"x","phases":[{"label":"A","seconds":1,"conditions":)" + conditions +
           "}]}]}";
}

} // namespace

TEST(ThrottlePlanTest, EncodedPlanDecodesToAnEqualPlan) {
    const ThrottlePlan plan = samplePlan();
    const auto decoded = ThrottlePlan::decode(plan.encode());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, plan);
    for (const NetworkProfile& profile : NetworkProfile::builtInAll()) {
        ThrottlePlan single{{{std::nullopt, profile.id, profile.phases}}, std::vector<std::string>{}};
        EXPECT_EQ(ThrottlePlan::decode(single.encode()), single) << profile.id;
    }
}

TEST(ThrottlePlanTest, AbsentOptionalsAreLeftOutOfTheJsonAndReadBackAbsent) {
    ThrottlePlan plan;
    plan.rules.push_back({std::nullopt, "elevator", NetworkProfile::builtIn("elevator")->phases});
    const auto json = nlohmann::json::parse(plan.encode());
    EXPECT_FALSE(json.contains("blockedHosts"));
    const auto& rule = json["rules"][0];
    EXPECT_FALSE(rule.contains("appBundle"));
    const auto& stalled = rule["phases"][1]["conditions"];
    EXPECT_FALSE(stalled.contains("downKbps"));
    EXPECT_FALSE(stalled.contains("upKbps"));
    EXPECT_EQ(rule["phases"][0]["conditions"]["downKbps"], 50000);

    const auto decoded = ThrottlePlan::decode(plan.encode());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->rules[0].key(), "*");
    EXPECT_FALSE(decoded->rules[0].phases[1].conditions.downKbps.has_value());
    EXPECT_FALSE(decoded->blockedHosts.has_value());
}

TEST(ThrottlePlanTest, EncoderWritesKeysInFieldOrder) {
    const std::string text = samplePlan().encode();
    EXPECT_LT(text.find("\"rules\""), text.find("\"blockedHosts\""));
    EXPECT_LT(text.find("\"appBundle\""), text.find("\"profileID\""));
    EXPECT_LT(text.find("\"profileID\""), text.find("\"phases\""));
    EXPECT_LT(text.find("\"downKbps\""), text.find("\"upKbps\""));
    EXPECT_LT(text.find("\"packetLoss\""), text.find("\"stalled\""));
}

TEST(ThrottlePlanTest, DecodingIsStrictAboutRequiredKeysAndTypes) {
    struct Case {
        const char* what;
        std::string json;
        bool decodes;
    };
    const std::string good = R"({"downKbps":780,"upKbps":330,"downDelayMs":100,"upDelayMs":100,)"
                             R"("packetLoss":0,"stalled":false})";
    const Case cases[] = {
        {"complete conditions", planWithConditions(good), true},
        {"missing stalled", planWithConditions(R"({"downDelayMs":1,"upDelayMs":1,"packetLoss":0})"), false},
        {"missing packetLoss", planWithConditions(R"({"downDelayMs":1,"upDelayMs":1,"stalled":false})"),
         false},
        {"downKbps 1.5",
         planWithConditions(
             R"({"downKbps":1.5,"downDelayMs":1,"upDelayMs":1,"packetLoss":0,"stalled":false})"),
         false},
        {"whole number written 2.0",
         planWithConditions(
             R"({"downKbps":2.0,"downDelayMs":1,"upDelayMs":1,"packetLoss":0,"stalled":false})"),
         true},
        {"integer beyond 64 bits",
         planWithConditions(
             R"({"downKbps":18446744073709551615,"downDelayMs":1,"upDelayMs":1,"packetLoss":0,"stalled":false})"),
         false},
        {"delay as a string",
         planWithConditions(R"({"downDelayMs":"1","upDelayMs":1,"packetLoss":0,"stalled":false})"), false},
        {"stalled as a number",
         planWithConditions(R"({"downDelayMs":1,"upDelayMs":1,"packetLoss":0,"stalled":0})"), false},
        {"null in a required field",
         planWithConditions(R"({"downDelayMs":null,"upDelayMs":1,"packetLoss":0,"stalled":false})"), false},
        {"null in an optional field",
         planWithConditions(
             R"({"downKbps":null,"downDelayMs":1,"upDelayMs":1,"packetLoss":0,"stalled":false})"),
         true},
        {"unknown key ignored",
         planWithConditions(R"({"jitterMs":5,"downDelayMs":1,"upDelayMs":1,"packetLoss":0,"stalled":false})"),
         true},
        {"missing rules", R"({"blockedHosts":[]})", false},
        {"rules not an array", R"({"rules":{}})", false},
        {"missing profileID", R"({"rules":[{"phases":[]}]})", false},
        {"appBundle as a number", R"({"rules":[{"appBundle":3,"profileID":"x","phases":[]}]})", false},
        {"blocked host as a number", R"({"rules":[],"blockedHosts":[3]})", false},
        {"not JSON", "{\"rules\":[", false},
        {"not an object", "[]", false},
        {"empty plan", R"({"rules":[]})", true},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto plan = ThrottlePlan::decode(c.json, &error);
        EXPECT_EQ(plan.has_value(), c.decodes) << c.what << ": " << error;
        if (!c.decodes) {
            EXPECT_FALSE(error.empty()) << c.what;
        }
    }
    const auto nullCap = ThrottlePlan::decode(cases[9].json);
    ASSERT_TRUE(nullCap);
    EXPECT_FALSE(nullCap->rules[0].phases[0].conditions.downKbps.has_value());
}

TEST(ThrottlePlanTest, AbsentBlockedHostsDiffersFromAnEmptyListButBlocksNothingAlike) {
    const auto absent = ThrottlePlan::decode(R"({"rules":[]})");
    const auto empty = ThrottlePlan::decode(R"({"rules":[],"blockedHosts":[]})");
    ASSERT_TRUE(absent && empty);
    EXPECT_FALSE(absent->blockedHosts.has_value());
    ASSERT_TRUE(empty->blockedHosts.has_value());
    EXPECT_TRUE(empty->blockedHosts->empty());
    EXPECT_NE(*absent, *empty);
    EXPECT_FALSE(ThrottlePlan::isBlocked("example.com", absent->blockedHosts));
    EXPECT_FALSE(ThrottlePlan::isBlocked("example.com", empty->blockedHosts));
}

TEST(ThrottlePlanTest, IsUnlimitedOnlyWhenNoPhaseShapesAnything) {
    EXPECT_TRUE(ThrottlePlan{}.isUnlimited());
    const auto unlimited = NetworkProfile::builtIn("unlimited")->phases;
    ThrottlePlan plan{{{std::nullopt, "unlimited", unlimited}}, std::vector<std::string>{"blocked.example"}};
    EXPECT_TRUE(plan.isUnlimited()) << "blocked hosts play no part";

    struct Case {
        const char* what;
        void (*change)(LinkConditions&);
    };
    const Case cases[] = {
        {"loss 0.01", [](LinkConditions& c) { c.packetLoss = 0.01; }},
        {"down cap", [](LinkConditions& c) { c.downKbps = 1000; }},
        {"up cap", [](LinkConditions& c) { c.upKbps = 1000; }},
        {"down delay", [](LinkConditions& c) { c.downDelayMs = 1; }},
        {"up delay", [](LinkConditions& c) { c.upDelayMs = 1; }},
        {"stall", [](LinkConditions& c) { c.stalled = true; }},
    };
    for (const Case& c : cases) {
        ThrottlePlan shaped = plan;
        shaped.rules.push_back({"Other.app", "custom", unlimited});
        c.change(shaped.rules.back().phases.front().conditions);
        EXPECT_FALSE(shaped.isUnlimited()) << c.what;
    }
}

TEST(ThrottlePlanTest, EqualPlansHashEqualAndAbsentCapsHashApartFromZero) {
    LinkConditions none;
    LinkConditions zero;
    zero.downKbps = 0;
    EXPECT_NE(none, zero);
    EXPECT_NE(std::hash<LinkConditions>{}(none), std::hash<LinkConditions>{}(zero));
    const auto a = NetworkProfile::builtIn("train")->phases;
    const auto b = NetworkProfile::builtIn("train")->phases;
    EXPECT_EQ(std::hash<NetworkProfile::Phase>{}(a[1]), std::hash<NetworkProfile::Phase>{}(b[1]));
}
