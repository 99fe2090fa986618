#include "illustrations/DoneIllustration.h"
#include "illustrations/IntroIllustration.h"
#include "illustrations/ProxyAlertIllustration.h"
#include "illustrations/SettingsIllustration.h"

#include "support/FakeClock.h"

#include <QImage>
#include <QPainter>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace quorvex {
namespace {

constexpr QSize kGuideSize(524, 270);
const QColor kBackdrop(230, 236, 250);

QImage fullFrame(QWidget& drawing) {
    QImage image(kGuideSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(kBackdrop);
    drawing.render(&image);
    return image;
}

// Between frames only the drawing's moving region is repainted over what the last frame left:
// at any pair of moments that must give the very picture a full repaint gives.
TEST(PartialRepaintTest, RepaintingTheMovingRegionMatchesAFullRepaint) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<LoopingTimeline>(Clock&)> make;
    };
    const Case cases[] = {
        {"intro",
         [](Clock& clock) {
             return std::make_unique<IntroIllustration>(
                 clock,
                 QList<IntroIllustration::Profile>{{"wifi", "Wi-Fi", "wifi"}, {"3g", "3G", "cellularbars"}},
                 2.2);
         }},
        {"settings",
         [](Clock& clock) {
             return std::make_unique<SettingsIllustration>(
                 clock,
                 SettingsTargets{
                     {373, 170}, {345, 123}, {340, 161}, {290, 175}, {300, 238}, 175, {200, 196}, 3.0});
         }},
        {"proxy alert",
         [](Clock& clock) {
             return std::make_unique<ProxyAlertIllustration>(clock, QPointF(252, 196), QPointF(330, 240));
         }},
        {"done, confirmed",
         [](Clock& clock) {
             return std::make_unique<DoneIllustration>(clock, QStringLiteral("cellularbars"), true);
         }},
        {"done, waiting",
         [](Clock& clock) {
             return std::make_unique<DoneIllustration>(clock, QStringLiteral("cellularbars"), false);
         }},
    };
    // One display frame, and a late timer that skipped several; starting across the loops, the
    // badge's spring and a profile change (with the pill's change after it and after a loop),
    // the approval dialog's pop and press, its sheet's pop, switch and Done button, and the proxy
    // alert's pop, fade and badge.
    const double steps[] = {1.0 / 60, 0.25};
    const double starts[] = {0.1, 0.3, 0.55, 1.3,  1.8,  2.15, 2.3,  2.6, 2.95, 3.4,
                             4.5, 5.0, 5.5,  6.45, 7.85, 9.65, 9.69, 9.8, 9.9};
    for (const Case& c : cases) {
        for (double step : steps) {
            for (double start : starts) {
                SCOPED_TRACE(testing::Message() << c.name << " from " << start << " by " << step);
                test::FakeClock clock;
                const std::unique_ptr<LoopingTimeline> drawing = c.make(clock);
                drawing->setReduceMotion(false);
                drawing->resize(kGuideSize);
                clock.advance(start);
                QImage canvas = fullFrame(*drawing);
                const QRegion before = drawing->nextFrameRegion();
                clock.advance(step);
                const QRect dirty = (before | drawing->nextFrameRegion()).boundingRect();
                {
                    QPainter clear(&canvas);
                    clear.setCompositionMode(QPainter::CompositionMode_Source);
                    clear.fillRect(dirty, kBackdrop);
                }
                drawing->render(&canvas, dirty.topLeft(), QRegion(dirty));
                EXPECT_TRUE(canvas == fullFrame(*drawing));
            }
        }
    }
}

} // namespace
} // namespace quorvex
