// The push window over the real keychain backend on a private session bus whose keyring takes
// calls and never answers them.
#include "devices/flows/DevicePushWindow.h"

#include "platform/data/qtkeychain/QtKeychain.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "support/PrivateSessionBus.h"
#include "support/QtPrinters.h"
#include "support/ToastLog.h"
#include "tools/Environment.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSettings>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(DevicePushKeyringTest, AStuckKeyringNeitherHoldsUpTheWindowNorHidesWhy) {
    test::PrivateSessionBus bus(test::PrivateSessionBus::Secrets::stopped);
    if (!bus.skipReason().empty())
        GTEST_SKIP() << bus.skipReason();
    ASSERT_EQ(bus.failure(), "");
    test::FakeClock clock;
    QtKeychain keychain(clock);
    Keychain* const previous = Keychain::install(&keychain);
    const auto restore = qScopeGuard([&] {
        Keychain::install(previous);
        sharedDefaults().clear();
    });
    // A key was imported earlier: the window reads it back when shown.
    sharedDefaults().setValue(
        Apns::kCredentialsKey,
        Apns::Credentials{"ABCDE12345", "TEAM123456", "AuthKey_ABCDE12345.p8"}.encode());
    test::FakeDialogs dialogs;
    test::ToastLog toasts;
    ApnsClient client;
    DevicePushWindow window(client, [](const QString&) {
        return QtConcurrent::run([] { return std::vector<DeviceApp>{{"com.demo.app", "Demo", {}, {}}}; });
    });
    QElapsedTimer elapsed;
    elapsed.start();
    window.show(PhysicalDevice{"D1", "Ana’s iPhone", {}, {}, {}});
    window.importKey();
    EXPECT_LT(elapsed.elapsed(), 1000) << "showing and importing wait for nothing";
    // The window goes on handling events: its app list arrives while the keyring is silent.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isLoadingApps(); }, 10'000));
    EXPECT_EQ(window.keyCheck(), DevicePushWindow::KeyCheck::checking);
    EXPECT_EQ(window.keyDetail(), "AuthKey_ABCDE12345.p8, checking your Keychain…");
    EXPECT_TRUE(window.isChangingKey());

    clock.advance(keychain.answerBound());
    const QString noAnswer = keychain.noAnswerText();
    EXPECT_EQ(window.keyCheck(), DevicePushWindow::KeyCheck::unreachable);
    EXPECT_EQ(window.keyDetail(), "AuthKey_ABCDE12345.p8: the Keychain can’t be read. " + noAnswer);
    EXPECT_FALSE(window.isChangingKey());
    ASSERT_FALSE(toasts.messages().empty());
    EXPECT_EQ(toasts.messages().back(),
              (ToastMessage{"Couldn’t reach your Keychain", noAnswer, "key", true}));
    EXPECT_TRUE(dialogs.panels().empty()) << "no file is asked for when the key could not be kept";
    window.hide();
}

} // namespace
} // namespace quorvex
