// Writes the demo world for scripts/demo: a HOME with two booted simulators, a few user apps and
// a developer folder with something to clean, and the fake-xcrun rules that answer for them. Usage:
// quorvex-demo-fixture <folder>
#include "support/DemoWorld.h"

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

    quorvex::test::FixtureHome world(home);
    quorvex::test::DemoWorld::build(world);

    nlohmann::json rules = world.rules(root);
    // Something for every page of the storage cleaner.
    for (const nlohmann::json& rule : quorvex::test::DemoWorld::addDeveloperData(home))
        rules.push_back(rule);
    // What the simulator submenu and the language dialog read: English (US), normal animations.
    rules.push_back({{"args", {"simctl", "spawn", "*", "defaults", "read", "-g", "AppleLanguages"}},
                     {"stdout", "(\n    \"en-US\"\n)\n"}});
    rules.push_back(
        {{"args", {"simctl", "spawn", "*", "defaults", "read", "-g", "AppleLocale"}}, {"stdout", "en_US\n"}});
    rules.push_back({{"args", {"simctl", "spawn", "*", "notifyutil", "-g", "*"}},
                     {"stdout", "com.apple.UIKit.SimulatorSlowMotionAnimationState 0\n"}});
    // Every other simulator command succeeds silently in the demo.
    rules.push_back({{"args", {"simctl", "**"}}, {"stdout", ""}});
    std::ofstream(root / "rules.json") << rules.dump(2);
    std::cout << home.string() << "\n";
    return 0;
}
