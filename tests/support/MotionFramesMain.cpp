// Renders frames of the views' motion on a fake clock, offscreen, as contact sheets for a look by
// eye: each sheet is one row per moment, captioned with the time since the change.
// Usage: quorvex-motion-frames <output folder>     (scripts/motion-frames runs it)

#include "illustrations/IntroIllustration.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/CleanerWorld.h"
#include "storage/cleaner/CleanupHUD.h"
#include "storage/cleaner/CleanupHUDView.h"
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

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPainterPath>

#include <functional>
#include <iostream>
#include <vector>

namespace {

using quorvex::test::FakeClock;

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

bool save(const QImage& image, const QString& folder, const QString& name) {
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!image.save(path)) {
        std::cerr << "could not save " << path.toStdString() << "\n";
        return false;
    }
    std::cout << path.toStdString() << "\n";
    return true;
}

QImage grabbed(QWidget& widget) {
    return widget.grab().toImage().scaled(widget.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: quorvex-motion-frames <output folder>\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    FakeClock clock;
    quorvex::Animator animator(clock);
    animator.setReduceMotion(false);
    bool saved = true;

    // Rolling totals: the content spring (0.5, 1.0), counting up and down.
    struct Roll {
        const char* name;
        QString from, to;
        quorvex::TextRoll::Direction direction;
        qreal points;
    };
    const Roll rolls[] = {
        {"roll-headline", "48.32 GB in use", "48.47 GB in use", quorvex::TextRoll::Direction::Up, 34},
        {"roll-carry", "1,999 items", "2,000 items", quorvex::TextRoll::Direction::Up, 20},
        {"roll-down", "120 MB", "119 MB", quorvex::TextRoll::Direction::Down, 20},
    };
    for (const Roll& roll : rolls) {
        quorvex::RollingLabel label(animator);
        label.setFont(quorvex::Fonts::system(roll.points, QFont::Bold));
        label.setMonospacedDigits(true);
        label.setDirection(roll.direction);
        label.setText(roll.from);
        label.resize(360, static_cast<int>(roll.points * 2.2));
        label.show();
        saved &=
            save(sheet(
                     clock, label.size(), [&] { label.setText(roll.to); }, [&] { return grabbed(label); }),
                 folder, QString::fromLatin1(roll.name));
    }

    // A check box becoming a tick inside the selection spring (0.5, 0.85), at 48 points.
    {
        quorvex::ReplacingSymbol box(animator, QStringLiteral("circle"));
        const QSize size(120, 64);
        saved &= save(sheet(
                          clock, size,
                          [&] {
                              box.setSymbol(QStringLiteral("checkmark.circle.fill"),
                                            quorvex::Motion::spring(0.5, 0.85));
                          },
                          [&] {
                              QImage image(size, QImage::Format_ARGB32_Premultiplied);
                              image.fill(Qt::white);
                              QPainter painter(&image);
                              painter.setRenderHint(QPainter::Antialiasing);
                              box.paint(painter, QRectF(36, 8, 48, 48), quorvex::Palette::blue());
                              return image;
                          }),
                      folder, QStringLiteral("symbol-replace"));
    }

    // A count badge scaling in about its centre with the selection spring.
    {
        quorvex::AnimatedValue shown(animator, 0);
        const QSize size(120, 40);
        saved &= save(sheet(
                          clock, size, [&] { shown.animateTo(1, quorvex::Motion::spring(0.5, 0.85)); },
                          [&] {
                              QImage image(size, QImage::Format_ARGB32_Premultiplied);
                              image.fill(Qt::white);
                              QPainter painter(&image);
                              painter.setRenderHint(QPainter::Antialiasing);
                              const QRectF badge(44, 10, 32, 20);
                              const quorvex::ScaleFade look = quorvex::ScaleFade::appearing(shown.value());
                              if (look.visible()) {
                                  look.apply(painter, badge);
                                  painter.setPen(Qt::NoPen);
                                  painter.setBrush(quorvex::Palette::blue());
                                  painter.drawRoundedRect(badge, 10, 10);
                                  painter.setPen(Qt::white);
                                  painter.setFont(quorvex::Fonts::caption(QFont::Bold));
                                  painter.drawText(badge, Qt::AlignCenter, QStringLiteral("12"));
                              }
                              return image;
                          }),
                      folder, QStringLiteral("badge-scale-in"));
    }

    // The cleaner's overview: a rescan finds more derived data; the headline, the donut's slices
    // and its centre figure move together on the content spring.
    {
        using Kind = quorvex::CleanupCategory::Kind;
        using World = quorvex::test::CleanerWorld;
        World world;
        quorvex::CleanerMotion::install(world.model, clock).animator().setReduceMotion(false);
        world.load(Kind::derivedData, {World::item("DerivedData", 8'000'000'000)});
        world.load(Kind::simulators, {World::item("iPhone 15", 6'000'000'000)});
        world.load(Kind::caches, {World::item("Caches", 2'000'000'000)});
        quorvex::OverviewDetail overview(world.model, world.spaceSaved);
        overview.resize(720, 640);
        overview.show();
        const QRect top(0, 0, 720, 330);
        saved &=
            save(sheet(
                     clock, top.size(),
                     [&] { world.load(Kind::derivedData, {World::item("DerivedData", 19'000'000'000)}); },
                     [&] { return overview.grab(top).toImage().scaled(top.size()); }),
                 folder, QStringLiteral("cleaner-overview-rescan"));

        // The selection bar: a first item, then a second (the spring keyed on the count).
        quorvex::SelectionBar bar(world.model, {});
        bar.resize(520, 64);
        bar.show();
        world.model.toggle(World::item("Caches", 0));
        clock.advance(2);
        saved &= save(sheet(
                          clock, bar.size(), [&] { world.model.toggle(World::item("iPhone 15", 0)); },
                          [&] { return grabbed(bar); }),
                      folder, QStringLiteral("cleaner-selection-bar"));
    }

    // The progress panel: the spinner, a report that brings the ring (the mark fades over, the
    // detail line rolls), the next report (the ring eases on), and "Done" (the button's fade).
    {
        quorvex::CleanupHUD hud(clock);
        const auto run = hud.show(QStringLiteral("Moving to Trash"));
        auto* view = hud.panel()->findChild<quorvex::CleanupHUDView*>();
        view->animator().setReduceMotion(false);
        const auto panel = [&] { return hud.panel()->grab().toImage().scaled(hud.panel()->size()); };
        saved &= save(sheet(
                          clock, hud.panel()->size(), [] {}, panel),
                      folder, QStringLiteral("hud-spinner"));
        using Phase = quorvex::CleanupProgress::Phase;
        saved &= save(
            sheet(
                clock, hud.panel()->size(),
                [&] { hud.update(run, std::nullopt, Phase::deleting(1'200'000'000, 9'800'000'000)); }, panel),
            folder, QStringLiteral("hud-ring-arrives"));
        clock.advance(2);
        saved &= save(
            sheet(
                clock, hud.panel()->size(),
                [&] { hud.update(run, std::nullopt, Phase::deleting(4'300'000'000, 9'800'000'000)); }, panel),
            folder, QStringLiteral("hud-ring-moves"));
        clock.advance(2);
        saved &= save(
            sheet(
                clock, hud.panel()->size(),
                [&] { hud.update(run, QStringLiteral("Moved to Trash"), Phase::success("Freed 9.8 GB.")); },
                panel),
            folder, QStringLiteral("hud-done"));
        hud.hide();
    }

    // The setup guide's intro: the speed pill changing from Wi-Fi to 5G 2.2 s into the loop.
    {
        quorvex::IntroIllustration intro(clock,
                                         {{"wifi", "Wi-Fi", "wifi"},
                                          {"5g", "5G", "antenna.radiowaves.left.and.right"},
                                          {"lte", "LTE", "antenna.radiowaves.left.and.right"}},
                                         2.2);
        intro.setReduceMotion(false);
        intro.resize(360, 240);
        intro.show();
        clock.advance(2.2);
        saved &= save(sheet(
                          clock, QSize(170, 40), [] {},
                          [&] { return intro.grab(QRect(0, 205, 170, 40)).toImage().scaled(170, 40); }),
                      folder, QStringLiteral("intro-pill"));
        intro.hide();
    }
    return saved ? 0 : 1;
}
