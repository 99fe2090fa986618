#include "network/plan/ThrottlePlan.h"

#include <gtest/gtest.h>

using namespace quorvex;

TEST(HostNamesTest, NormalizeHostKeepsOnlyTheCanonicalHost) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"  https://API.Example.com:8443/v1/items?q=1#top \n", "api.example.com"},
        {"example.com", "example.com"},
        {"example.com/path", "example.com"},
        {"example.com?x=1", "example.com"},
        {"example.com#frag", "example.com"},
        {"example.com:abc", "example.com"},
        {"*.example.com.", "example.com"},
        {"..example.com..", "example.com"},
        {"localhost", std::nullopt},
        {"my host.com", std::nullopt},
        {"my_host.com", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"https://", std::nullopt},
        {"192.168.1.1", "192.168.1.1"},
        {"192.168.1.256", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1..2.3", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"010.0.0.1", "10.0.0.1"},
        {"192.168.001.010:80", "192.168.1.10"},
        {"[2001:DB8:0:0:0:0:0:1]:443", "2001:db8::1"},
        {"2001:DB8:0:0:0:0:0:1", "2001:db8::1"},
        {"http://[::1]/x", "::1"},
        {"fe80::1:2", "fe80::1:2"},
        {"2001:db8:::1", std::nullopt},
        {"[::ffff:10.0.0.1]", "10.0.0.1"},
        {"12345:1", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ThrottlePlan::normalizeHost(text), expected) << '"' << text << '"';
}

TEST(HostNamesTest, BlockedDomainBlocksItselfAndItsSubdomainsOnly) {
    const std::optional<std::vector<std::string>> list =
        std::vector<std::string>{"example.com", "2001:db8::1"};
    const std::pair<const char*, bool> cases[] = {
        {"example.com", true},  {"api.example.com", true},      {"a.b.example.com", true},
        {"EXAMPLE.COM.", true}, {"badexample.com", false},      {"example.com.evil.net", false},
        {"com", false},         {"2001:0db8:0000::0001", true}, {"2001:db8::2", false},
    };
    for (const auto& [host, blocked] : cases)
        EXPECT_EQ(ThrottlePlan::isBlocked(host, list), blocked) << host;
    EXPECT_FALSE(ThrottlePlan::isBlocked("example.com", std::nullopt));
}

// An address typed with leading zeros used to be stored as typed ("010.0.0.1") while flows arrive
// as "10.0.0.1", so the rule looked active and blocked nothing.
TEST(HostNamesTest, AddressEntryWithLeadingZerosBlocksItsFlows) {
    const auto entry = ThrottlePlan::normalizeHost("010.0.0.1");
    ASSERT_TRUE(entry);
    const std::optional<std::vector<std::string>> list = std::vector<std::string>{*entry};
    EXPECT_TRUE(ThrottlePlan::isBlocked("10.0.0.1", list));
    EXPECT_TRUE(ThrottlePlan::isBlocked("::ffff:10.0.0.1", list)) << "an IPv4-mapped peer is the IPv4 host";
    EXPECT_TRUE(ThrottlePlan::isBlocked("::FFFF:0a00:0001", list));
    EXPECT_FALSE(ThrottlePlan::isBlocked("10.0.0.10", list));
    // Entries stored in the old written form still match.
    EXPECT_TRUE(ThrottlePlan::isBlocked("10.0.0.1", std::vector<std::string>{"010.0.0.1"}));
}
