#include "app/BlockedHostsSubmenuBuilder.h"

#include "app/MenuTestWorld.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using test::outline;

TEST(BlockedHostsSubmenuBuilderTest, HostRowsAndAddHostAreDisabledWhileTheNetworkModelIsBusy) {
    struct Case {
        const char* name;
        bool busy;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        {"idle",
         false,
         {"api.example.com > (Blocked)", "cdn.example.com > (Off)", "---", "Add Host…",
          "i Simulator apps get “connection refused” for\nthese hosts and their subdomains."}},
        {"busy",
         true,
         {"api.example.com > (Blocked) {off}", "cdn.example.com > (Off) {off}", "---", "Add Host… {off}",
          "i Simulator apps get “connection refused” for\nthese hosts and their subdomains."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::MenuTestWorld world;
        world.neighbours.network.rules = {{"api.example.com", true}, {"cdn.example.com", false}};
        world.neighbours.network.busy = c.busy;
        MenuRows rows;
        BlockedHostsSubmenuBuilder(world.neighbours.network).fill(rows);
        EXPECT_EQ(outline(rows), c.expected);
        // An enabled rule offers to stop, a disabled one to block again.
        EXPECT_EQ(outline(rows[0].children), (QStringList{"Stop Blocking", "Remove"}));
        EXPECT_EQ(outline(rows[1].children), (QStringList{"Block", "Remove"}));
    }
}

} // namespace
} // namespace quorvex
