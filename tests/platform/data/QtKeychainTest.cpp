// The QtKeychain backend against a real session bus the test starts itself: with GNOME Keyring on
// it, with no Secret Service at all, and with one that never answers. Skips when the tools are
// missing.
#include "platform/data/qtkeychain/QtKeychain.h"

#include "support/FakeClock.h"
#include "support/PrivateSessionBus.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

using Secrets = test::PrivateSessionBus::Secrets;
const QString kService = "com.zelmora.Quorvex.test";

template <typename T> T awaited(QFuture<T> future) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return future.isFinished(); }, 20'000));
    return future.isFinished() && future.resultCount() > 0 ? future.result() : T{};
}

// Skips only where the bus or the keyring is not installed; one that is and does not come up fails.
#define START_BUS(secrets)                                                                                   \
    test::PrivateSessionBus bus(secrets);                                                                    \
    if (!bus.skipReason().empty())                                                                           \
        GTEST_SKIP() << bus.skipReason();                                                                    \
    ASSERT_EQ(bus.failure(), "")

TEST(QtKeychainTest, WritesReplacesReadsAndRemovesItems) {
    START_BUS(Secrets::running);
    test::FakeClock clock;
    QtKeychain keychain(clock);
    EXPECT_EQ(awaited(keychain.unavailableReason()), std::nullopt);
    const Keychain::ReadResult missing = awaited(keychain.read(kService, "KEY1"));
    EXPECT_TRUE(missing.status.ok) << "a missing item is no failure";
    EXPECT_FALSE(missing.data);
    const Keychain::Status first = awaited(keychain.write(kService, "KEY1", "Test key", "first\n"));
    ASSERT_TRUE(first.ok) << first.error.toStdString();
    EXPECT_EQ(awaited(keychain.read(kService, "KEY1")).data, QByteArray("first\n"));
    ASSERT_TRUE(awaited(keychain.write(kService, "KEY1", "Test key", "second")).ok);
    EXPECT_EQ(awaited(keychain.read(kService, "KEY1")).data, QByteArray("second"));
    EXPECT_FALSE(awaited(keychain.read(kService, "KEY2")).data);
    EXPECT_TRUE(awaited(keychain.remove(kService, "KEY1")).ok);
    EXPECT_FALSE(awaited(keychain.read(kService, "KEY1")).data);
    EXPECT_TRUE(awaited(keychain.remove(kService, "KEY1")).ok) << "removing a missing item succeeds";
}

TEST(QtKeychainTest, RemoveAllTakesEveryAccountOfTheServiceButTheKeptOne) {
    START_BUS(Secrets::running);
    test::FakeClock clock;
    QtKeychain keychain(clock);
    for (const char* account : {"KEY1", "KEY2", "KEY3"})
        ASSERT_TRUE(awaited(keychain.write(kService, account, "Test key", account)).ok);
    ASSERT_TRUE(awaited(keychain.write("com.other.service", "KEY1", "Other", "other")).ok);
    EXPECT_TRUE(awaited(keychain.removeAll(kService, QStringLiteral("KEY2"))).ok);
    EXPECT_FALSE(awaited(keychain.read(kService, "KEY1")).data);
    EXPECT_EQ(awaited(keychain.read(kService, "KEY2")).data, QByteArray("KEY2"));
    EXPECT_FALSE(awaited(keychain.read(kService, "KEY3")).data);
    EXPECT_EQ(awaited(keychain.read("com.other.service", "KEY1")).data, QByteArray("other"));
    EXPECT_TRUE(awaited(keychain.removeAll(kService)).ok);
    EXPECT_FALSE(awaited(keychain.read(kService, "KEY2")).data);
}

TEST(QtKeychainTest, WithoutASecretServiceEveryCallSaysWhyAtOnce) {
    START_BUS(Secrets::none);
    test::FakeClock clock;
    QtKeychain keychain(clock);
    // Answered by the bus itself: the bound is never needed (the fake clock never moves).
    const QString none = "No secrets service, such as GNOME Keyring or KWallet, is running.";
    EXPECT_EQ(awaited(keychain.unavailableReason()), none);
    const Keychain::Status written = awaited(keychain.write(kService, "KEY1", "Test key", "data"));
    EXPECT_FALSE(written.ok);
    EXPECT_NE(written.code, Keychain::kNoAnswer);
    EXPECT_EQ(written.error, none) << "the bus's own words name nothing the user knows";
    const Keychain::ReadResult read = awaited(keychain.read(kService, "KEY1"));
    EXPECT_FALSE(read.status.ok);
    EXPECT_EQ(read.status.error, none);
    EXPECT_FALSE(read.data);
    EXPECT_FALSE(awaited(keychain.removeAll(kService)).ok);
}

TEST(QtKeychainTest, AKeyringThatNeverAnswersIsCutOffAtTheBoundWhileTheCallerRunsOn) {
    START_BUS(Secrets::stopped);
    test::FakeClock clock;
    QtKeychain keychain(clock, 5.0);
    QElapsedTimer started;
    started.start();
    QFuture<std::optional<QString>> available = keychain.unavailableReason();
    QFuture<Keychain::Status> written = keychain.write(kService, "KEY1", "Test key", "data");
    QFuture<Keychain::ReadResult> read = keychain.read(kService, "KEY1");
    EXPECT_LT(started.elapsed(), 1000) << "the calls returned at once";
    // The event loop keeps running meanwhile: a timer fires, nothing is settled.
    bool ticked = false;
    QTimer::singleShot(50, [&] { ticked = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticked; }, 5000));
    EXPECT_FALSE(available.isFinished() || written.isFinished() || read.isFinished());

    clock.advance(5.0);
    ASSERT_TRUE(available.isFinished() && written.isFinished() && read.isFinished());
    const QString noAnswer =
        "Your keyring didn’t answer within 5 seconds. It may be locked behind a prompt, or "
        "stuck; unlock or restart it, then try again.";
    EXPECT_EQ(available.result(), noAnswer);
    EXPECT_EQ(written.result().code, Keychain::kNoAnswer);
    EXPECT_EQ(written.result().error, noAnswer);
    EXPECT_EQ(read.result().status.error, noAnswer);
}

} // namespace
} // namespace quorvex
