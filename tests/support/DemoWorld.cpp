#include "support/DemoWorld.h"

namespace quorvex::test {

void DemoWorld::build(FixtureHome& world) {
    world.addSimulator(kPhone, "iPhone 15 Pro", 300);
    world.addSimulator(kPad, "iPad Air", 120);
    // The camera's permission is written to the simulator's privacy database, not through simctl:
    // without one, every camera row of the demo would fail.
    world.addPrivacyDatabase(kPhone);
    world.addPrivacyDatabase(kPad);
    const FixtureApp apps[] = {
        {"com.example.orders",
         "Orders",
         "Orders",
         "2.1",
         "45",
         "User",
         {"AppIcon60x60"},
         {"group.com.example.shared"}},
        {"com.example.weather", "Weather Lab", "WeatherLab", "1.0", "7", "User", {"AppIcon60x60"}, {}},
        {"com.example.notes", "", "Notes", "", "12", "User", {"AppIcon60x60"}, {}},
    };
    for (const FixtureApp& entry : apps)
        world.installApp(kPhone, entry);
    world.installApp(kPad, apps[0]);
}

} // namespace quorvex::test
