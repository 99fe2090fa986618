#include "actions/ProvisionalPanelTarget.h"

#include "simulator/SimulatorApps.h"
#include "support/FakeClock.h"
#include "support/FakeXcrun.h"
#include "support/FixtureHome.h"

#include <gtest/gtest.h>

#include <QTest>

using namespace quorvex;

namespace {

void refresh(SimulatorApps& apps) {
    const QFuture<void> done = apps.refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.isFinished(); }, 10'000));
}

test::FixtureApp fixtureApp(const std::string& bundleID, const std::string& name) {
    test::FixtureApp app;
    app.bundleID = bundleID;
    app.displayName = name;
    return app;
}

} // namespace

TEST(ProvisionalPanelTargetTest, TargetsTheLastBootedSimulatorAndItsFirstAppButNoDevice) {
    test::FixtureHome home;
    test::FakeXcrun fake;
    test::FakeClock clock;
    // "iPad Air" sorts first but booted earlier.
    home.addSimulator("UDID-OLD", "iPad Air", 600);
    home.addSimulator("UDID-NEW", "iPhone 15", 30);
    home.installApp("UDID-OLD", fixtureApp("com.example.alpha", "Alpha"));
    home.installApp("UDID-NEW", fixtureApp("com.example.gamma", "Gamma"));
    home.installApp("UDID-NEW", fixtureApp("com.example.beta", "Beta"));
    home.answer(fake);
    SimulatorApps apps(clock);
    refresh(apps);

    const ProvisionalPanelTarget target(apps);
    EXPECT_FALSE(target.physicalDevice());
    ASSERT_TRUE(target.simulator());
    EXPECT_EQ(target.simulator()->udid, QStringLiteral("UDID-NEW"));
    ASSERT_TRUE(target.app());
    EXPECT_EQ(target.app()->id, QStringLiteral("com.example.beta"));
}

TEST(ProvisionalPanelTargetTest, NothingBootedMeansNoSimulatorAndNoApp) {
    test::FixtureHome home;
    test::FakeXcrun fake;
    test::FakeClock clock;
    home.answer(fake);
    SimulatorApps apps(clock);
    refresh(apps);

    const ProvisionalPanelTarget target(apps);
    EXPECT_FALSE(target.simulator());
    EXPECT_FALSE(target.app());
    EXPECT_FALSE(target.physicalDevice());
}
