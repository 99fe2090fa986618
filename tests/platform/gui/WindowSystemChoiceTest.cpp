#include "platform/gui/WindowSystem.h"

#include "support/XvfbServer.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace quorvex {
namespace {

// The backend follows the desktop Qt draws on, not whichever X server $DISPLAY names: on Wayland
// one answers too, but it could never show where the host's window is.
TEST(WindowSystemChoiceTest, AnXServerThatAnswersIsNotUsedWhenQtDrawsElsewhere) {
    test::XvfbServer xvfb;
    if (!xvfb.isRunning())
        GTEST_SKIP() << "Xvfb is not available";
    ASSERT_NE(QGuiApplication::platformName(), "xcb");
    const QByteArray display = qgetenv("DISPLAY");
    ::setenv("DISPLAY", xvfb.display().c_str(), 1);
    const auto windows = WindowSystem::create();
    if (display.isNull())
        ::unsetenv("DISPLAY");
    else
        ::setenv("DISPLAY", display.constData(), 1);
    ASSERT_TRUE(windows->hiddenWindowsReason());
    EXPECT_EQ(*windows->hiddenWindowsReason(), "No desktop to show it on");
    EXPECT_FALSE(windows->frontmostApplication());
}

} // namespace
} // namespace quorvex
