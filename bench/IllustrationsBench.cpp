// CPU of the setup guide's drawings: each one is shown offscreen, on its backdrop and at the
// guide's size, for a few seconds of wall time, then hidden for as long. The process reads its
// own CPU time around each spell; an empty widget shown for as long is the idle reference.
// Goal: under 5 % of one core while a drawing is visible, nothing above the idle reference
// while it is hidden.

#include "CpuSpell.h"
#include "illustrations/LoopingTimeline.h"
#include "network/guide/IllustrationBackdrop.h"
#include "network/guide/IllustrationSpec.h"
#include "network/guide/SetupIllustrations.h"
#include "platform/data/SystemClock.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// A drawing that draws nothing: what the timeline, the backdrop and the window cost by themselves.
class EmptyDrawing final : public quorvex::LoopingTimeline {
public:
    EmptyDrawing()
        : LoopingTimeline(quorvex::systemClock(), 1.0, 0.0) {}

protected:
    void paintFrame(QPainter&, double) override {}
};

using quorvex::bench::Spell;

Spell run(QWidget& widget, QWidget* counted, bool visible, double seconds) {
    widget.setVisible(visible);
    return quorvex::bench::measureSpell(*counted, seconds);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QUORVEX_REDUCE_MOTION", "0");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;

    const quorvex::IllustrationFactory make = quorvex::setupIllustrations(quorvex::systemClock());
    struct Case {
        const char* name;
        quorvex::IllustrationSpec spec;
    };
    const Case cases[] = {
        {"intro", quorvex::IllustrationSpec::intro()},
        {"extension approval", quorvex::IllustrationSpec::settings()},
        {"proxy alert", quorvex::IllustrationSpec::proxyAlert()},
        {"done (confirmed)", quorvex::IllustrationSpec::done(*quorvex::NetworkProfile::builtIn("3g"), true)},
        {"done (waiting)", quorvex::IllustrationSpec::done(*quorvex::NetworkProfile::builtIn("3g"), false)},
    };

    std::printf("%-22s %14s %10s %14s\n", "drawing", "visible CPU %", "frames/s", "hidden CPU %");
    {
        QWidget idle;
        idle.resize(524, 270);
        const Spell shown = run(idle, &idle, true, seconds);
        const Spell hidden = run(idle, &idle, false, seconds);
        std::printf("%-22s %14.2f %10.1f %14.2f\n", "idle reference", shown.cpuPercent, shown.paintsPerSecond,
                    hidden.cpuPercent);
    }
    {
        auto* drawing = new EmptyDrawing;
        quorvex::IllustrationBackdrop backdrop(drawing);
        backdrop.resize(524, 270);
        const Spell shown = run(backdrop, drawing, true, seconds);
        const Spell hidden = run(backdrop, drawing, false, seconds);
        std::printf("%-22s %14.2f %10.1f %14.2f\n", "empty drawing", shown.cpuPercent, shown.paintsPerSecond,
                    hidden.cpuPercent);
    }
    // Argument 2, when given, runs only the drawings whose name contains it (for a profiler).
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    for (const Case& c : cases) {
        if (!only.isEmpty() && !QString::fromLatin1(c.name).contains(only))
            continue;
        QWidget* drawing = make(c.spec, nullptr);
        quorvex::IllustrationBackdrop backdrop(drawing);
        backdrop.resize(524, 270);
        const Spell shown = run(backdrop, drawing, true, seconds);
        const Spell hidden = run(backdrop, drawing, false, seconds);
        std::printf("%-22s %14.2f %10.1f %14.2f\n", c.name, shown.cpuPercent, shown.paintsPerSecond,
                    hidden.cpuPercent);
    }
    return 0;
}
