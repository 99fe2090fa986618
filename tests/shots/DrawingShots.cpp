#include "shots/Shots.h"

#include "illustrations/DoneIllustration.h"
#include "illustrations/IntroIllustration.h"
#include "illustrations/ProxyAlertIllustration.h"
#include "illustrations/SettingsIllustration.h"
#include "support/FakeClock.h"

#include <memory>

namespace quorvex::shots {

QImage drawing(Drawing which, double t) {
    test::FakeClock clock;
    // The points the setup guide hands the drawings.
    const SettingsTargets targets{{373, 170}, {345, 123}, {340, 161}, {290, 175},
                                  {300, 238}, 175,        {200, 196}, 3.0};
    std::unique_ptr<LoopingTimeline> shown;
    switch (which) {
    case Drawing::intro:
        shown = std::make_unique<IntroIllustration>(
            clock, QList<IntroIllustration::Profile>{{"edge", "Edge", "cellularbars"}}, 2.2);
        break;
    case Drawing::settings:
        shown = std::make_unique<SettingsIllustration>(clock, targets);
        break;
    case Drawing::proxyAlert:
        shown = std::make_unique<ProxyAlertIllustration>(clock, QPointF(252, 196), QPointF(330, 240));
        break;
    case Drawing::doneVerified:
        shown = std::make_unique<DoneIllustration>(clock, QStringLiteral("tortoise"), true);
        break;
    case Drawing::doneWaiting:
        shown = std::make_unique<DoneIllustration>(clock, QStringLiteral("wifi"), false);
        break;
    }
    shown->resize(524, 270);
    shown->setReduceMotion(t < 0);
    if (t >= 0) {
        shown->show();
        clock.advance(t);
    }
    return shown->grab().toImage();
}

} // namespace quorvex::shots
