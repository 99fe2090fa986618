#include "network/guide/SetupIllustrations.h"

#include "illustrations/DoneIllustration.h"
#include "illustrations/IntroIllustration.h"
#include "illustrations/ProxyAlertIllustration.h"
#include "illustrations/SettingsIllustration.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <memory>

namespace quorvex {
namespace {

TEST(SetupIllustrationsTest, EachPageGetsItsDrawingWithThePagesValues) {
    test::FakeClock clock;
    const IllustrationFactory make = setupIllustrations(clock);

    std::unique_ptr<QWidget> intro(make(IllustrationSpec::intro(), nullptr));
    auto* introDrawing = dynamic_cast<IntroIllustration*>(intro.get());
    ASSERT_NE(introDrawing, nullptr);
    // Six profiles of 2.2 s: the basic ones without "No Limit" and "Off".
    EXPECT_NEAR(introDrawing->duration(), 13.2, 1e-9);

    std::unique_ptr<QWidget> settings(make(IllustrationSpec::settings(), nullptr));
    auto* settingsDrawing = dynamic_cast<SettingsIllustration*>(settings.get());
    ASSERT_NE(settingsDrawing, nullptr);
    EXPECT_EQ(settingsDrawing->targets().toggle, QPointF(345, 123));
    EXPECT_EQ(settingsDrawing->targets().scrollDistance, 175);
    EXPECT_EQ(settingsDrawing->targets().dialogDuration, 3.0);

    std::unique_ptr<QWidget> proxy(make(IllustrationSpec::proxyAlert(), nullptr));
    EXPECT_NE(dynamic_cast<ProxyAlertIllustration*>(proxy.get()), nullptr);

    for (bool verified : {false, true}) {
        std::unique_ptr<QWidget> done(
            make(IllustrationSpec::done(*NetworkProfile::builtIn("3g"), verified), nullptr));
        auto* doneDrawing = dynamic_cast<DoneIllustration*>(done.get());
        ASSERT_NE(doneDrawing, nullptr);
        EXPECT_EQ(doneDrawing->verified(), verified);
    }
}

} // namespace
} // namespace quorvex
