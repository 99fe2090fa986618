#pragma once

#include "support/FixtureHome.h"

#include <nlohmann/json.hpp>

#include <filesystem>

namespace quorvex::test {

/// The demo world of scripts/demo, shared by the demo tool and the test that runs the inventory
/// against it: "iPhone 15 Pro" with three user apps and "iPad Air" with one of them.
struct DemoWorld {
    static constexpr const char* kPhone = "6F1A2B3C-0000-4000-8000-000000000015";
    static constexpr const char* kPad = "6F1A2B3C-0000-4000-8000-0000000000A1";

    /// Adds the simulators and apps to `world`.
    static void build(FixtureHome& world);

    /// A developer folder in `home` for the storage cleaner, a few MB in all: DerivedData of the
    /// demo's projects, archives, device support of old and current versions, logs, documentation,
    /// package caches, other caches, an orphaned simulator folder and two Xcode copies. Answers the
    /// fake-tool rules that go with it: every simulator (the booted ones, one old, one whose
    /// runtime is gone), the runtimes, and xcode-select's active Xcode. Dates are relative to now.
    static nlohmann::json addDeveloperData(const std::filesystem::path& home);
};

} // namespace quorvex::test
