// CPU of numbers that roll: a header like the storage cleaner's (a 34-point total and a smaller
// figure, both rolling labels) is shown offscreen and measured in three spells of the same wall
// time in one process: an empty widget (the reference), the header at rest, and the header
// while its total keeps rolling (a new total every 0.65 s, about as long as the content spring
// takes to settle, so a roll is nearly always under way). Goal: under 5 % of one core while
// rolling; at rest, no frame scheduled and nothing above the reference.
//
// Then the storage cleaner's window content (960 × 640, at the overview) the same way: at rest
// once its scans have settled, and while its total keeps rolling (a rescan with a new size every
// 0.65 s: the headline, the donut's slices and its centre figure move together).

#include "CpuSpell.h"
#include "platform/data/SystemClock.h"
#include "storage/cleaner/CleanerMotion.h"
#include "storage/cleaner/CleanerWorld.h"
#include "storage/cleaner/StorageCleanerView.h"
#include "ui/Animator.h"
#include "ui/ByteCountFormatter.h"
#include "ui/Fonts.h"
#include "ui/RollingLabel.h"

#include <QApplication>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

namespace {

using quorvex::bench::Spell;

class TotalsHeader final : public QWidget {
public:
    explicit TotalsHeader(quorvex::Animator& animator)
        : m_total(new quorvex::RollingLabel(animator, this))
        , m_figure(new quorvex::RollingLabel(animator, this)) {
        auto* layout = new QVBoxLayout(this);
        m_total->setFont(quorvex::Fonts::system(34, QFont::Bold));
        m_figure->setFont(quorvex::Fonts::system(15, QFont::DemiBold));
        m_figure->setMonospacedDigits(true);
        layout->addWidget(m_total);
        layout->addWidget(m_figure);
        setBytes(m_bytes);
    }

    void setBytes(std::int64_t bytes) {
        m_total->setText(quorvex::ByteCountFormatter::file(bytes) + QStringLiteral(" in use"));
        m_figure->setText(quorvex::ByteCountFormatter::file(bytes));
    }

    void next() {
        m_bytes += 137'438'953 + (m_bytes % 9'000'000);
        setBytes(m_bytes);
    }

private:
    quorvex::RollingLabel* m_total;
    quorvex::RollingLabel* m_figure;
    std::int64_t m_bytes = 48'317'000'000;
};

void print(const char* name, const Spell& spell, const char* note) {
    std::printf("%-28s %8.2f %10.1f   %s\n", name, spell.cpuPercent, spell.paintsPerSecond, note);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    quorvex::Animator animator(quorvex::systemClock());
    animator.setReduceMotion(false);

    std::printf("%-28s %8s %10s\n", "widget", "CPU %", "paints/s");
    {
        QWidget empty;
        empty.resize(480, 140);
        empty.show();
        print("empty widget (reference)", quorvex::bench::measureSpell(empty, seconds), "");
    }
    TotalsHeader header(animator);
    header.resize(480, 140);
    header.show();
    const Spell rest = quorvex::bench::measureSpell(header, seconds);
    print("header at rest", rest, animator.isRunning() ? "a frame is scheduled" : "no frame scheduled");

    QTimer changes;
    QObject::connect(&changes, &QTimer::timeout, &header, [&] { header.next(); });
    changes.start(650);
    header.next();
    const Spell rolling = quorvex::bench::measureSpell(header, seconds);
    changes.stop();
    print("header, total rolling", rolling, "");

    using Kind = quorvex::CleanupCategory::Kind;
    using World = quorvex::test::CleanerWorld;
    World world;
    quorvex::Animator& cleanerMotion = quorvex::CleanerMotion::of(world.model).animator();
    cleanerMotion.setReduceMotion(false);
    std::int64_t derived = 21'474'836'480;
    world.load(Kind::derivedData, {World::item("DerivedData", derived)});
    world.load(Kind::simulators, {World::item("iPhone 15", 6'442'450'944)});
    world.load(Kind::caches, {World::item("Caches", 1'288'490'188)});
    quorvex::StorageCleanerView cleaner(world.model, world.spaceSaved, [] {});
    cleaner.resize(960, 640);
    cleaner.show();
    const Spell idle = quorvex::bench::measureSpell(cleaner, seconds);
    print("cleaner window at rest", idle,
          cleanerMotion.isRunning() ? "a frame is scheduled" : "no frame scheduled");

    QTimer rescans;
    QObject::connect(&rescans, &QTimer::timeout, &cleaner, [&] {
        derived += 734'003'200;
        world.load(Kind::derivedData, {World::item("DerivedData", derived)});
    });
    rescans.start(650);
    const Spell cleanerRolling = quorvex::bench::measureSpell(cleaner, seconds);
    rescans.stop();
    print("cleaner window, total rolling", cleanerRolling, "");

    // The same rescans with every change landing at once: what the scans and the relayout cost
    // without the motion.
    cleanerMotion.setReduceMotion(true);
    rescans.start(650);
    const Spell still = quorvex::bench::measureSpell(cleaner, seconds);
    rescans.stop();
    print("cleaner, rescans, no motion", still, "");
    return 0;
}
