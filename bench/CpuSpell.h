#pragma once

// What the widget benchmarks measure of a spell of wall time: the process's CPU time over it
// (user and system, all threads) and the paints one widget received.

#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>

namespace quorvex::bench {

inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& tv) { return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Spell {
    double cpuPercent;      // of one core
    double paintsPerSecond; // paints the counted widget received
};

// Counts the paints a widget and its children receive.
class PaintCounter final : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Lets the event loop settle for 200 ms, then runs it for `seconds` and measures that spell.
inline Spell measureSpell(QWidget& counted, double seconds) {
    PaintCounter counter;
    counted.installEventFilter(&counter);
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();
    counter.paints = 0;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuBefore;
    counted.removeEventFilter(&counter);
    return {100 * cpu / elapsed, counter.paints / elapsed};
}

} // namespace quorvex::bench
