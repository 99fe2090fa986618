// CPU of numbers that roll: a header like the storage cleaner's (a 34-point total and a smaller
// figure, both rolling labels) is shown offscreen and measured in three spells of the same wall
// time in one process: an empty widget (the reference), the header at rest, and the header
// while its total keeps rolling (a new total every 0.65 s, about as long as the content spring
// takes to settle, so a roll is nearly always under way). Goal: under 5 % of one core while
// rolling; at rest, no frame scheduled and nothing above the reference.

#include "CpuSpell.h"
#include "platform/data/SystemClock.h"
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
    return 0;
}
