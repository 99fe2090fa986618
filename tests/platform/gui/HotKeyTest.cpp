#include "platform/gui/HotKey.h"

#include "support/FakeHotKeys.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <vector>

namespace quorvex {
namespace {

using test::FakeHotKeys;
constexpr quint32 kControlOption = HotKeyModifier::control | HotKeyModifier::option;

struct HotKeyTest : ::testing::Test {
    // Runs the queued presses, as the event loop would.
    static void deliver() { QCoreApplication::processEvents(); }

    FakeHotKeys service;
    HotKeyRegistry registry{service};
    std::vector<int> fired;
};

TEST_F(HotKeyTest, KeysGetDistinctNonZeroIdsAndOnlyTheFirstOfTwoEqualCombosIsHeld) {
    HotKey& first = HotKey::create(
        VirtualKey::S, kControlOption, [this] { fired.push_back(1); }, registry);
    HotKey& second = HotKey::create(
        VirtualKey::S, kControlOption, [this] { fired.push_back(2); }, registry);
    HotKey& third = HotKey::create(
        VirtualKey::C, kControlOption, [this] { fired.push_back(3); }, registry);
    EXPECT_NE(first.id(), 0u);
    EXPECT_NE(first.id(), second.id());
    EXPECT_NE(second.id(), third.id());
    EXPECT_NE(first.id(), third.id());

    first.setActive(true);
    second.setActive(true);
    EXPECT_EQ(first.reference(), first.id());
    EXPECT_FALSE(second.reference());
    EXPECT_TRUE(second.isActive()) << "the wish stays, only the registration failed";

    service.press(first.id());
    service.press(second.id());
    deliver();
    EXPECT_EQ(fired, std::vector<int>{1});
}

TEST_F(HotKeyTest, TheServiceIsAskedOnlyWhenIsActiveChanges) {
    HotKey& key = HotKey::create(
        VirtualKey::N, kControlOption, [] {}, registry);
    key.setActive(false);
    EXPECT_TRUE(service.calls().empty());

    key.setActive(true);
    key.setActive(true);
    EXPECT_EQ(service.count(FakeHotKeys::Call::Register), 1);
    EXPECT_TRUE(service.holds(key.id()));

    key.setActive(false);
    key.setActive(false);
    EXPECT_EQ(service.count(FakeHotKeys::Call::Unregister), 1);
    EXPECT_FALSE(service.holds(key.id()));
    EXPECT_FALSE(key.reference());
}

TEST_F(HotKeyTest, ARefusedKeyNeverFiresAndIsNotUnregisteredButIsTriedAgainOnTheNextActivation) {
    service.refuse({VirtualKey::P, kControlOption});
    HotKey& key = HotKey::create(
        VirtualKey::P, kControlOption, [this] { fired.push_back(1); }, registry);
    key.setActive(true);
    EXPECT_FALSE(key.reference());

    service.press(key.id());
    deliver();
    EXPECT_TRUE(fired.empty());

    key.setActive(false);
    EXPECT_EQ(service.count(FakeHotKeys::Call::Unregister), 0);
    key.setActive(true);
    EXPECT_EQ(service.count(FakeHotKeys::Call::Register), 2);
}

TEST_F(HotKeyTest, APressAfterUnregisteringDoesNothingEvenWhenItWasAlreadyOnItsWay) {
    HotKey& key = HotKey::create(
        VirtualKey::R, kControlOption, [this] { fired.push_back(1); }, registry);
    key.setActive(true);

    service.press(key.id()); // in flight: queued, not yet run
    key.setActive(false);
    deliver();
    service.press(key.id());
    deliver();
    EXPECT_TRUE(fired.empty());

    key.setActive(true);
    service.press(key.id());
    deliver();
    EXPECT_EQ(fired, std::vector<int>{1});
}

TEST_F(HotKeyTest, PressesRunLaterOnTheGuiThreadInPressOrder) {
    std::vector<QThread*> threads;
    HotKey& a = HotKey::create(
        VirtualKey::A, kControlOption,
        [&] {
            fired.push_back(1);
            threads.push_back(QThread::currentThread());
        },
        registry);
    HotKey& m = HotKey::create(
        VirtualKey::M, kControlOption, [&] { fired.push_back(2); }, registry);
    a.setActive(true);
    m.setActive(true);

    service.press(a.id());
    service.press(m.id());
    service.press(a.id());
    EXPECT_TRUE(fired.empty()) << "the service's reader must not run actions itself";
    deliver();
    EXPECT_EQ(fired, (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(threads.front(), QCoreApplication::instance()->thread());
}

TEST_F(HotKeyTest, UnknownIdsAndZeroAreIgnoredAndTheHandlerIsInstalledOnce) {
    HotKey& key = HotKey::create(
        VirtualKey::Z, HotKeyModifier::control | HotKeyModifier::command, [this] { fired.push_back(1); },
        registry);
    HotKey::create(
        VirtualKey::M, HotKeyModifier::control | HotKeyModifier::command, [] {}, registry);
    key.setActive(true);
    service.press(0);
    service.press(key.id() + 100);
    deliver();
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(service.handlerChanges(), 1);
}

TEST_F(HotKeyTest, TheRepeatKeyIsControlOptionCommandRActiveAtOnceAndMadeOnlyOnce) {
    HotKey& repeat = HotKey::repeatHotKey([this] { fired.push_back(1); }, registry);
    EXPECT_EQ(repeat.keyCode(), 15u);
    EXPECT_EQ(repeat.modifiers(), 0x1900u);
    EXPECT_TRUE(repeat.isActive());
    EXPECT_TRUE(repeat.reference());
    EXPECT_EQ(&HotKey::repeatHotKey([this] { fired.push_back(2); }, registry), &repeat);
    EXPECT_EQ(service.count(FakeHotKeys::Call::Register), 1);

    service.press(repeat.id());
    deliver();
    EXPECT_EQ(fired, std::vector<int>{1});
}

TEST_F(HotKeyTest, DestroyingARegistryReleasesItsKeysAndStopsItsPresses) {
    auto own = std::make_unique<HotKeyRegistry>(service);
    HotKey& key = HotKey::create(
        VirtualKey::D, kControlOption, [this] { fired.push_back(1); }, *own);
    key.setActive(true);
    const quint32 id = key.id();
    service.press(id);
    own.reset();
    deliver();
    EXPECT_FALSE(service.holds(id));
    EXPECT_TRUE(fired.empty());
}

} // namespace
} // namespace quorvex
