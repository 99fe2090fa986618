#include "shots/Shots.h"

#include "illustrations/IntroIllustration.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/CleanerWorld.h"
#include "storage/cleaner/CleanupHUD.h"
#include "storage/cleaner/CleanupHUDView.h"
#include "storage/cleaner/CountBadge.h"
#include "storage/cleaner/OverviewDetail.h"
#include "storage/cleaner/SelectionBar.h"
#include "support/FakeClock.h"
#include "ui/AnimatedValue.h"
#include "ui/Animator.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/ReplacingSymbol.h"
#include "ui/RollingLabel.h"
#include "ui/ScaleFade.h"

#include <QPainter>
#include <QWidget>

#include <functional>
#include <vector>

namespace quorvex::shots {
namespace {

using test::FakeClock;

const std::vector<double> kMoments = {0, 0.03, 0.06, 0.1, 0.15, 0.25, 0.6};

// One row per moment: the caption, then what `frame` renders after the clock reached it.
QImage sheet(FakeClock& clock, QSize frameSize, const std::function<void()>& change,
             const std::function<QImage()>& frame) {
    const int caption = 70;
    QImage out(frameSize.width() + caption, frameSize.height() * static_cast<int>(kMoments.size()),
               QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::white);
    QPainter painter(&out);
    const double start = clock.now();
    change();
    for (size_t i = 0; i < kMoments.size(); ++i) {
        clock.advance(start + kMoments[i] - clock.now());
        const int top = static_cast<int>(i) * frameSize.height();
        painter.setPen(Qt::darkGray);
        painter.drawText(QRect(4, top, caption - 8, frameSize.height()), Qt::AlignVCenter | Qt::AlignLeft,
                         QStringLiteral("%1 s").arg(kMoments[i], 0, 'f', 2));
        painter.drawImage(caption, top, frame());
        painter.setPen(QColor(0, 0, 0, 30));
        painter.drawLine(0, top + frameSize.height() - 1, out.width(), top + frameSize.height() - 1);
    }
    return out;
}

QImage grabbed(QWidget& widget) {
    return widget.grab().toImage().scaled(widget.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// A blank frame to draw one moment on.
QImage canvas(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

// Rolling totals: the content spring (0.5, 1.0), counting up or down.
QImage roll(FakeClock& clock, Animator& animator, const QString& from, const QString& to,
            TextRoll::Direction direction, qreal points) {
    RollingLabel label(animator);
    label.setFont(Fonts::system(points, QFont::Bold));
    label.setMonospacedDigits(true);
    label.setDirection(direction);
    label.setText(from);
    label.resize(360, static_cast<int>(points * 2.2));
    label.show();
    return sheet(
        clock, label.size(), [&] { label.setText(to); }, [&] { return grabbed(label); });
}

using Kind = CleanupCategory::Kind;
using World = test::CleanerWorld;

// The cleaner's overview: a rescan finds more derived data; the headline, the donut's slices and
// its centre figure move together on the content spring.
QImage cleanerRescan(FakeClock& clock) {
    World world;
    CleanerMotion::install(world.model, clock).animator().setReduceMotion(false);
    world.load(Kind::derivedData, {World::item("DerivedData", 8'000'000'000)});
    world.load(Kind::simulators, {World::item("iPhone 15", 6'000'000'000)});
    world.load(Kind::caches, {World::item("Caches", 2'000'000'000)});
    OverviewDetail overview(world.model, world.spaceSaved);
    overview.resize(720, 640);
    overview.show();
    const QRect top(0, 0, 720, 330);
    return sheet(
        clock, top.size(),
        [&] { world.load(Kind::derivedData, {World::item("DerivedData", 19'000'000'000)}); },
        [&] { return overview.grab(top).toImage().scaled(top.size()); });
}

// The selection bar: a first item, then a second (the spring keyed on the count).
QImage cleanerSelectionBar(FakeClock& clock) {
    World world;
    CleanerMotion::install(world.model, clock).animator().setReduceMotion(false);
    world.load(Kind::simulators, {World::item("iPhone 15", 6'000'000'000)});
    world.load(Kind::caches, {World::item("Caches", 2'000'000'000)});
    SelectionBar bar(world.model, {});
    bar.resize(520, 64);
    bar.show();
    world.model.toggle(World::item("Caches", 0));
    clock.advance(2);
    return sheet(
        clock, bar.size(), [&] { world.model.toggle(World::item("iPhone 15", 0)); },
        [&] { return grabbed(bar); });
}

// The progress panel, brought to `step` (0 the spinner, 1 the first report, 2 the next, 3 done)
// with the earlier steps at rest, and that step's change drawn moment by moment.
QImage hud(FakeClock& clock, int step) {
    using Phase = CleanupProgress::Phase;
    CleanupHUD hud(clock);
    const auto run = hud.show(QStringLiteral("Moving to Trash"));
    hud.panel()->findChild<CleanupHUDView*>()->animator().setReduceMotion(false);
    const std::function<void()> steps[] = {
        [] {},
        [&] { hud.update(run, std::nullopt, Phase::deleting(1'200'000'000, 9'800'000'000)); },
        [&] { hud.update(run, std::nullopt, Phase::deleting(4'300'000'000, 9'800'000'000)); },
        [&] { hud.update(run, QStringLiteral("Moved to Trash"), Phase::success("Freed 9.8 GB.")); },
    };
    for (int i = 1; i < step; ++i) {
        steps[i]();
        clock.advance(2);
    }
    QImage out = sheet(clock, hud.panel()->size(), steps[step],
                       [&] { return hud.panel()->grab().toImage().scaled(hud.panel()->size()); });
    hud.hide();
    return out;
}

} // namespace

QImage motionSheet(MotionSheet which) {
    FakeClock clock;
    Animator animator(clock);
    animator.setReduceMotion(false);
    switch (which) {
    case MotionSheet::rollHeadline:
        return roll(clock, animator, "48.32 GB in use", "48.47 GB in use", TextRoll::Direction::Up, 34);
    case MotionSheet::rollCarry:
        return roll(clock, animator, "1,999 items", "2,000 items", TextRoll::Direction::Up, 20);
    case MotionSheet::rollDown:
        return roll(clock, animator, "120 MB", "119 MB", TextRoll::Direction::Down, 20);
    case MotionSheet::symbolReplace: {
        // A check box becoming a tick inside the selection spring (0.5, 0.85), at 48 points.
        ReplacingSymbol box(animator, QStringLiteral("circle"));
        const QSize size(120, 64);
        return sheet(
            clock, size,
            [&] { box.setSymbol(QStringLiteral("checkmark.circle.fill"), Motion::spring(0.5, 0.85)); },
            [&] {
                QImage image = canvas(size);
                QPainter painter(&image);
                painter.setRenderHint(QPainter::Antialiasing);
                box.paint(painter, QRectF(36, 8, 48, 48), Palette::blue());
                return image;
            });
    }
    case MotionSheet::badgeScaleIn: {
        // The sidebar's count badge scaling in about its centre with the selection spring.
        QWidget frame;
        frame.setAttribute(Qt::WA_DontShowOnScreen);
        frame.resize(120, 40);
        frame.setStyleSheet(QStringLiteral("background: white"));
        CountBadge badge(animator, &frame);
        frame.show();
        return sheet(
            clock, frame.size(),
            [&] {
                badge.setCount(12);
                badge.resize(badge.sizeHint());
                badge.move((frame.width() - badge.width()) / 2, (frame.height() - badge.height()) / 2);
            },
            [&] { return grabbed(frame); });
    }
    case MotionSheet::introPill: {
        // The setup guide's intro: the speed pill changing from Wi-Fi to 5G 2.2 s into the loop.
        IntroIllustration intro(clock,
                                {{"wifi", "Wi-Fi", "wifi"},
                                 {"5g", "5G", "antenna.radiowaves.left.and.right"},
                                 {"lte", "LTE", "antenna.radiowaves.left.and.right"}},
                                2.2);
        intro.setReduceMotion(false);
        intro.resize(360, 240);
        intro.show();
        clock.advance(2.2);
        return sheet(
            clock, QSize(170, 40), [] {},
            [&] { return intro.grab(QRect(0, 205, 170, 40)).toImage().scaled(170, 40); });
    }
    case MotionSheet::cleanerRescan:
        return cleanerRescan(clock);
    case MotionSheet::cleanerSelectionBar:
        return cleanerSelectionBar(clock);
    case MotionSheet::hudSpinner:
        return hud(clock, 0);
    case MotionSheet::hudRingArrives:
        return hud(clock, 1);
    case MotionSheet::hudRingMoves:
        return hud(clock, 2);
    case MotionSheet::hudDone:
        return hud(clock, 3);
    }
    return {};
}

} // namespace quorvex::shots
