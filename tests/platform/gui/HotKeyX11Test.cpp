#include "platform/gui/HotKey.h"

#include "platform/gui/x11/X11GlobalHotKeys.h"
#include "support/XvfbServer.h"

#include <QTest>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>

namespace quorvex {
namespace {

constexpr quint32 kControlOptionCommand =
    HotKeyModifier::control | HotKeyModifier::option | HotKeyModifier::command;

// Plays keyboard input into the server through XTest, from a client of its own.
class Keyboard final {
public:
    explicit Keyboard(const char* display)
        : m_connection(xcb_connect(display, nullptr))
        , m_symbols(xcb_key_symbols_alloc(m_connection)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
    ~Keyboard() {
        xcb_key_symbols_free(m_symbols);
        xcb_disconnect(m_connection);
    }

    xcb_keycode_t code(xcb_keysym_t keysym) const {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_symbols, keysym);
        const xcb_keycode_t result = codes ? codes[0] : 0;
        std::free(codes);
        return result;
    }

    // Presses the keys in order and releases them in reverse, then waits until the server has
    // handled it all.
    void type(std::initializer_list<xcb_keysym_t> chord) {
        for (xcb_keysym_t keysym : chord)
            xcb_test_fake_input(m_connection, XCB_KEY_PRESS, code(keysym), XCB_CURRENT_TIME, m_root, 0, 0, 0);
        for (auto it = std::rbegin(chord); it != std::rend(chord); ++it)
            xcb_test_fake_input(m_connection, XCB_KEY_RELEASE, code(*it), XCB_CURRENT_TIME, m_root, 0, 0, 0);
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

    // Holds a key combination the way another program would.
    bool grab(xcb_keysym_t keysym, uint16_t modifiers) {
        xcb_void_cookie_t cookie = xcb_grab_key_checked(m_connection, 1, m_root, modifiers, code(keysym),
                                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t* error = xcb_request_check(m_connection, cookie);
        std::free(error);
        return error == nullptr;
    }

private:
    xcb_connection_t* m_connection;
    xcb_key_symbols_t* m_symbols;
    xcb_window_t m_root = 0;
};

struct HotKeyX11Test : ::testing::Test {
    void SetUp() override {
        if (!xvfb.isRunning())
            GTEST_SKIP() << "Xvfb is not available";
        service = X11GlobalHotKeys::connect(xvfb.display().c_str());
        ASSERT_TRUE(service);
        EXPECT_TRUE(service->canGrabKeys());
        registry = std::make_unique<HotKeyRegistry>(*service);
        keyboard = std::make_unique<Keyboard>(xvfb.display().c_str());
    }

    test::XvfbServer xvfb;
    std::unique_ptr<X11GlobalHotKeys> service;
    std::unique_ptr<HotKeyRegistry> registry; // released before the service it uses
    std::unique_ptr<Keyboard> keyboard;
};

TEST_F(HotKeyX11Test, ControlAltSuperRRunsTheActionOncePerPressAlsoWithCapsLockOrNumLockOn) {
    int runs = 0;
    HotKey& key = HotKey::create(
        VirtualKey::R, kControlOptionCommand, [&] { ++runs; }, *registry);
    key.setActive(true);
    ASSERT_TRUE(key.reference());

    keyboard->type({XK_Control_L, XK_Alt_L, XK_Super_L, XK_r});
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs == 1; }, 5000));

    keyboard->type({XK_Control_L, XK_Alt_L, XK_r}); // without Super: not ours
    keyboard->type({XK_Caps_Lock});
    keyboard->type({XK_Control_L, XK_Alt_L, XK_Super_L, XK_r});
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs >= 2; }, 5000));
    EXPECT_EQ(runs, 2);

    keyboard->type({XK_Caps_Lock});
    keyboard->type({XK_Num_Lock});
    keyboard->type({XK_Control_L, XK_Alt_L, XK_Super_L, XK_r});
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs == 3; }, 5000));

    key.setActive(false);
    keyboard->type({XK_Control_L, XK_Alt_L, XK_Super_L, XK_r});
    HotKey& probe = HotKey::create(
        VirtualKey::T, kControlOptionCommand, [&] { runs += 100; }, *registry);
    probe.setActive(true);
    keyboard->type({XK_Control_L, XK_Alt_L, XK_Super_L, XK_t});
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs >= 100; }, 5000));
    EXPECT_EQ(runs, 103) << "the released key must not fire";
}

TEST_F(HotKeyX11Test, AKeyAnotherClientGrabbedFirstIsRefusedAndNeverFires) {
    ASSERT_TRUE(keyboard->grab(XK_t, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4));
    int taken = 0;
    int free = 0;
    HotKey& refused = HotKey::create(
        VirtualKey::T, kControlOptionCommand, [&] { ++taken; }, *registry);
    HotKey& granted = HotKey::create(
        VirtualKey::R, kControlOptionCommand, [&] { ++free; }, *registry);
    refused.setActive(true);
    granted.setActive(true);
    EXPECT_FALSE(refused.reference());
    EXPECT_TRUE(granted.reference());

    keyboard->type({XK_Control_L, XK_Alt_L, XK_Super_L, XK_t});
    keyboard->type({XK_Control_L, XK_Alt_L, XK_Super_L, XK_r});
    ASSERT_TRUE(QTest::qWaitFor([&] { return free == 1; }, 5000));
    EXPECT_EQ(taken, 0);
}

TEST(HotKeyX11, NoDisplayGivesNoBackend) {
    EXPECT_FALSE(X11GlobalHotKeys::connect(":4093"));
}

} // namespace
} // namespace quorvex
