// The main of the X11 test programs: a test HOME, then an Xvfb with the xcb platform (openbox
// unless QUORVEX_NO_WINDOW_MANAGER is set), or the offscreen platform when there is no server.
#include "panel/sections/X11TestMain.h"

#include "panel/sections/X11Desktop.h"
#include "support/TestHome.h"
#include "support/XvfbServer.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace quorvex::test {

X11Session& x11() {
    static X11Session session;
    return session;
}

} // namespace quorvex::test

int main(int argc, char** argv) {
    using namespace quorvex::test;
    const TestHome home;
    if (!home.isReady())
        return 2;
    // Listing the tests (as the build does) needs no X server.
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::string(argv[i]) == "--gtest_list_tests";

    std::optional<XvfbServer> server;
    if (!listing)
        server.emplace("1280x800x24");
    std::unique_ptr<X11Desktop> desktop;
    if (server && server->isRunning()) {
        x11().display = server->display();
        ::setenv("DISPLAY", server->display().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        desktop = std::make_unique<X11Desktop>(server->display());
        x11().managed =
            qEnvironmentVariableIsEmpty("QUORVEX_NO_WINDOW_MANAGER") && desktop->startWindowManager();
        x11().desktop = desktop.get();
    } else {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
