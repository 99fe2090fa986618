#pragma once

#include "support/FixtureHome.h"

namespace quorvex::test {

/// The demo world of scripts/demo, shared by the demo tool and the test that runs the inventory
/// against it: "iPhone 15 Pro" with three user apps and "iPad Air" with one of them.
struct DemoWorld {
    static constexpr const char* kPhone = "6F1A2B3C-0000-4000-8000-000000000015";
    static constexpr const char* kPad = "6F1A2B3C-0000-4000-8000-0000000000A1";

    /// Adds the simulators and apps to `world`.
    static void build(FixtureHome& world);
};

} // namespace quorvex::test
