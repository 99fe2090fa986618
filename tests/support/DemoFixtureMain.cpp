// Writes the demo world for scripts/demo: a HOME with two booted simulators and a few user apps,
// and the fake-xcrun rules that answer for them. Usage: quorvex-demo-fixture <folder>
#include "support/FixtureHome.h"

#include <QGuiApplication>

#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quorvex-demo-fixture <folder>\n";
        return 2;
    }
    QGuiApplication app(argc, argv); // icons are painted with QImage
    namespace fs = std::filesystem;
    const fs::path root = fs::absolute(argv[1]);
    const fs::path home = root / "home";
    fs::remove_all(root);
    fs::create_directories(home);
    ::setenv("HOME", home.c_str(), 1);

    using quorvex::test::FixtureApp;
    quorvex::test::FixtureHome world(home);
    world.addSimulator("6F1A2B3C-0000-4000-8000-000000000015", "iPhone 15 Pro", 300);
    world.addSimulator("6F1A2B3C-0000-4000-8000-0000000000A1", "iPad Air", 120);
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
        world.installApp("6F1A2B3C-0000-4000-8000-000000000015", entry);
    world.installApp("6F1A2B3C-0000-4000-8000-0000000000A1", apps[0]);

    nlohmann::json rules = world.rules(root);
    // Every other simulator command succeeds silently in the demo.
    rules.push_back({{"args", {"simctl", "**"}}, {"stdout", ""}});
    std::ofstream(root / "rules.json") << rules.dump(2);
    std::cout << home.string() << "\n";
    return 0;
}
