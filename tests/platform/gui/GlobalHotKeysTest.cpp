#include "platform/gui/GlobalHotKeys.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

// Without a display the program still starts; its hot keys are refused and never fire.
TEST(GlobalHotKeysTest, WithoutADisplayEveryKeyIsRefused) {
    const QByteArray saved = qgetenv("DISPLAY");
    for (const char* display : {"", ":4093"}) {
        SCOPED_TRACE(display);
        qputenv("DISPLAY", display);
        auto service = GlobalHotKeys::create();
        ASSERT_TRUE(service);
        EXPECT_FALSE(service->canGrabKeys()); // known before any key is asked for
        int presses = 0;
        service->setPressHandler([&](quint32) { ++presses; });
        EXPECT_FALSE(
            service->registerHotKey(1, {VirtualKey::R, HotKeyModifier::control | HotKeyModifier::option}));
        service->unregisterHotKey(1);
        EXPECT_EQ(presses, 0);
    }
    qputenv("DISPLAY", saved);
}

} // namespace
} // namespace quorvex
