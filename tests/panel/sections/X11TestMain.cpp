// The main of the X11 test programs: a test HOME, then an Xvfb of its own laid out as
// QUORVEX_X11_DESKTOP asks (see X11TestMain.h), with Qt on the xcb platform there; or the
// offscreen platform when there is no server.
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

    const QStringList kind = qEnvironmentVariable("QUORVEX_X11_DESKTOP").split(u',', Qt::SkipEmptyParts);
    const bool twoScreens = kind.contains(QStringLiteral("two-screens"));
    std::optional<XvfbServer> server;
    if (!listing)
        server.emplace(twoScreens ? "2560x800x24" : "1280x800x24");
    std::unique_ptr<X11Desktop> desktop;
    X11Session& session = x11();
    if (server && server->isRunning()) {
        ::setenv("DISPLAY", server->display().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        desktop = std::make_unique<X11Desktop>(server->display());
        session.display = server->display();
        session.desktop = desktop.get();
        if (twoScreens) {
            session.monitors = {QRect(0, 0, 1280, 800), QRect(1280, 0, 1280, 800)};
            if (!desktop->setMonitors(session.monitors))
                session.missing = "the server refused two monitors";
        }
        if (!kind.contains(QStringLiteral("bare"))) {
            session.managed = desktop->startWindowManager();
            if (!session.managed)
                session.missing = "openbox did not start (scripts/install-deps installs it)";
        }
        if (kind.contains(QStringLiteral("scale2"))) {
            session.scale = 2;
            ::setenv("QT_SCALE_FACTOR", "2", 1);
        }
        if (!session.missing.empty())
            session.display.clear();
    } else {
        session.missing = "Xvfb is not available";
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
