#include "illustrations/DoneIllustration.h"
#include "illustrations/IntroIllustration.h"
#include "illustrations/ProxyAlertIllustration.h"
#include "illustrations/SettingsIllustration.h"

#include "support/FakeClock.h"

#include <QDir>
#include <QPixmap>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

// Renders frames of every drawing into QUORVEX_SHOTS_DIR for a look by eye; skipped without it.
TEST(SetupDrawingsShotsTest, SavesFramesWhenAskedTo) {
    const QString dir = qEnvironmentVariable("QUORVEX_SHOTS_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "QUORVEX_SHOTS_DIR not set";
    QDir().mkpath(dir);
    test::FakeClock clock;
    const SettingsTargets targets{{373, 170}, {345, 123}, {340, 161}, {290, 175},
                                  {300, 238}, 175,        {200, 196}, 3.0};

    auto save = [&](LoopingTimeline& drawing, const QString& name, double t) {
        drawing.resize(524, 270);
        if (t < 0) {
            drawing.setReduceMotion(true);
        } else {
            drawing.setReduceMotion(false);
            drawing.show();
            clock.advance(t);
        }
        EXPECT_TRUE(drawing.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png")));
        drawing.hide();
    };
    {
        IntroIllustration intro(clock, {{"edge", "Edge", "cellularbars"}}, 2.2);
        save(intro, QStringLiteral("intro-still"), -1);
    }
    for (double t : {-1.0, 0.4, 1.0, 1.85, 2.4, 4.6, 5.4, 6.6, 7.9, 10.0}) {
        SettingsIllustration settings(clock, targets);
        save(settings, t < 0 ? QStringLiteral("settings-still") : QStringLiteral("settings-%1").arg(t), t);
    }
    for (double t : {-1.0, 0.5, 2.4, 2.7, 3.1, 3.5, 5.6}) {
        ProxyAlertIllustration proxy(clock, {252, 196}, {330, 240});
        save(proxy, t < 0 ? QStringLiteral("proxy-still") : QStringLiteral("proxy-%1").arg(t), t);
    }
    {
        DoneIllustration done(clock, QStringLiteral("tortoise"), true);
        save(done, QStringLiteral("done-still"), -1);
    }
    {
        DoneIllustration done(clock, QStringLiteral("tortoise"), true);
        save(done, QStringLiteral("done-springing"), 0.4);
    }
    {
        DoneIllustration done(clock, QStringLiteral("wifi"), false);
        save(done, QStringLiteral("done-waiting"), 0.3);
    }
}

} // namespace
} // namespace quorvex
