#include "illustrations/DoneIllustration.h"
#include "illustrations/ProxyAlertIllustration.h"
#include "illustrations/SettingsIllustration.h"

#include "illustrations/DoneFrame.h"
#include "illustrations/ProxyAlertFrame.h"
#include "support/FakeClock.h"

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

const SettingsTargets kGuideTargets{{373, 170}, {345, 123}, {340, 161}, {290, 175},
                                    {300, 238}, 175,        {200, 196}, 3.0};

TEST(SetupDrawingsTest, GuideTargetsLandOnTheButtonsTheyClick) {
    struct Case {
        const char* name;
        QPointF target;
        QRectF drawn;
    };
    const Case cases[] = {
        {"Open System Settings", kGuideTargets.openSettingsButton,
         SettingsIllustration::openSettingsButtonRect()},
        {"info button, pane scrolled", kGuideTargets.infoButton,
         SettingsIllustration::infoButtonRect(kGuideTargets.scrollDistance).adjusted(-3, -3, 3, 3)},
        {"extension switch", kGuideTargets.toggle, SettingsIllustration::toggleRect()},
        {"Done", kGuideTargets.doneButton, SettingsIllustration::doneButtonRect()},
        {"Allow", QPointF(252, 196), ProxyAlertIllustration::allowButtonRect()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.drawn.contains(c.target))
            << c.drawn.x() << "," << c.drawn.y() << " " << c.drawn.width() << "x" << c.drawn.height();
    }
    // Before the pane scrolls, the app's info button lies below the visible pane.
    EXPECT_GT(SettingsIllustration::infoButtonRect(0).top(), 250);
}

// A grab of a drawing held at its still frame, in scene coordinates (the widget is the scene's size).
template <typename Drawing> QImage stillGrab(Drawing& drawing) {
    drawing.setReduceMotion(true);
    drawing.resize(400, 250);
    QImage image = drawing.grab().toImage();
    return image.scaled(400, 250);
}

TEST(SetupDrawingsTest, StillFramesDrawTheirStateAtTheTargets) {
    test::FakeClock clock;
    const QColor accent = QPalette().color(QPalette::Highlight);

    SettingsIllustration settings(clock, kGuideTargets);
    const QImage settingsImage = stillGrab(settings);
    // The switch is on: accent near its right end, where the pointer does not cover it.
    const QRectF toggle = SettingsIllustration::toggleRect();
    const QColor track = settingsImage.pixelColor(QPointF(toggle.left() + 3, toggle.center().y()).toPoint());
    EXPECT_LT(std::abs(track.hue() - accent.hue()), 12) << track.name().toStdString();

    ProxyAlertIllustration proxy(clock, {252, 196}, {330, 240});
    const QImage proxyImage = stillGrab(proxy);
    // "Allow" is shown in full accent, not its pressed shade.
    const QRectF allow = ProxyAlertIllustration::allowButtonRect();
    const QColor fill = proxyImage.pixelColor(QPointF(allow.left() + 4, allow.center().y()).toPoint());
    EXPECT_LT(std::abs(fill.red() - accent.red()) + std::abs(fill.green() - accent.green()) +
                  std::abs(fill.blue() - accent.blue()),
              20)
        << fill.name().toStdString();
}

TEST(SetupDrawingsTest, DoneBadgeSpringsInAfterItsDelayAndEndsWhole) {
    test::FakeClock clock;
    DoneIllustration done(clock, QStringLiteral("wifi"), true);
    done.setReduceMotion(false);
    done.resize(400, 250);
    done.show();
    EXPECT_DOUBLE_EQ(done.drawn(), 0);
    clock.advance(0.15);
    EXPECT_DOUBLE_EQ(done.drawn(), 0);
    clock.advance(0.2);
    EXPECT_GT(done.drawn(), 0);
    clock.advance(3);
    EXPECT_DOUBLE_EQ(done.drawn(), 1);
    EXPECT_TRUE(done.isAnimating());

    // Unconfirmed again: the check goes at once; confirmed under Reduce Motion: whole at once.
    done.setVerified(false);
    EXPECT_DOUBLE_EQ(done.drawn(), 0);
    done.setReduceMotion(true);
    done.setVerified(true);
    EXPECT_DOUBLE_EQ(done.drawn(), 1);
    EXPECT_FALSE(done.isAnimating());
}

TEST(SetupDrawingsTest, DrawingsScheduleNothingWhileHidden) {
    test::FakeClock clock;
    SettingsIllustration settings(clock, kGuideTargets);
    ProxyAlertIllustration proxy(clock, {252, 196}, {330, 240});
    DoneIllustration done(clock, QStringLiteral("wifi"), true);
    LoopingTimelineWidget* drawings[] = {&settings, &proxy, &done};
    for (LoopingTimelineWidget* drawing : drawings) {
        drawing->setReduceMotion(false);
        drawing->resize(400, 250);
        drawing->show();
        EXPECT_TRUE(drawing->isAnimating());
        drawing->hide();
        EXPECT_FALSE(drawing->isAnimating());
    }
    EXPECT_EQ(clock.pendingCount(), 0u);
}

} // namespace
} // namespace quorvex
