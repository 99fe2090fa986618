#include "extension/BlockedHostAddresses.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace quorvex {
namespace {

using asio::ip::make_address;

class BlockedHostAddressesTest : public testing::Test {
protected:
    std::map<std::string, std::vector<std::string>> answers;
    std::vector<std::string> asked;
    BlockedHostAddresses book{[this](const std::string& name) {
                                  asked.push_back(name);
                                  std::vector<asio::ip::address> addresses;
                                  for (const auto& text : answers[name])
                                      addresses.push_back(make_address(text));
                                  return addresses;
                              },
                              false};

    std::string nameOf(const char* address) const { return book.nameOf(make_address(address)).value_or("-"); }
};

TEST_F(BlockedHostAddressesTest, AFlowToANamesAddressIsAFlowToTheName) {
    answers["example.com"] = {"93.184.216.34", "2606:2800:220:1::1"};
    answers["cdn.example.net"] = {"93.184.216.34", "203.0.113.9"};
    book.setBlockedHosts({"example.com", "198.51.100.7", "2001:db8::1", "cdn.example.net"});
    book.refreshNow();
    EXPECT_EQ(asked, (std::vector<std::string>{"example.com", "cdn.example.net"}))
        << "addresses in the list are not resolved";

    const struct {
        const char* address;
        const char* name;
    } cases[] = {
        {"93.184.216.34", "example.com"}, // two names share it: the first in the list reports it
        {"::ffff:93.184.216.34", "example.com"},
        {"2606:2800:220:1::1", "example.com"},
        {"203.0.113.9", "cdn.example.net"},
        {"198.51.100.7", "-"}, // an address entry meets flows as it is
        {"192.0.2.1", "-"},
    };
    for (const auto& item : cases)
        EXPECT_EQ(nameOf(item.address), item.name) << item.address;
}

TEST_F(BlockedHostAddressesTest, ChangesAndResolverFailures) {
    answers["example.com"] = {"93.184.216.34"};
    book.setBlockedHosts({"example.com"});
    book.refreshNow();
    ASSERT_EQ(nameOf("93.184.216.34"), "example.com");

    answers["example.com"] = {}; // the resolver fails for a while: the name stays blocked
    book.refreshNow();
    EXPECT_EQ(nameOf("93.184.216.34"), "example.com");

    answers["example.com"] = {"93.184.216.35"}; // it moved
    book.refreshNow();
    EXPECT_EQ(nameOf("93.184.216.34"), "-");
    EXPECT_EQ(nameOf("93.184.216.35"), "example.com");

    asked.clear();
    book.setBlockedHosts({}); // unblocked
    book.refreshNow();
    EXPECT_EQ(nameOf("93.184.216.35"), "-");
    EXPECT_TRUE(asked.empty());
}

// With the background thread: a change is resolved without anyone asking.
TEST(BlockedHostAddresses, ResolvesInTheBackgroundWhenTheNamesChange) {
    BlockedHostAddresses book([](const std::string& name) {
        return name == "example.com" ? std::vector<asio::ip::address>{make_address("93.184.216.34")}
                                     : std::vector<asio::ip::address>{};
    });
    book.setBlockedHosts({"example.com"});
    ASSERT_TRUE(book.waitUntilResolved(std::chrono::seconds(20)));
    EXPECT_EQ(book.nameOf(make_address("93.184.216.34")), "example.com");
}

} // namespace
} // namespace quorvex
