#pragma once

// What the widget benchmarks measure of a spell of wall time: the process's CPU time over it
// (user and system, all threads) and the paints one widget received.

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QPaintEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <map>

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

// Counts the paints a widget and its children receive, and the area they paint, by class.
class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget& counted)
        : m_counted(counted) {}
    int paints = 0;
    std::map<QString, std::pair<int, double>> byClass; // paints and painted pixels
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (event->type() != QEvent::Paint || !receiver->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(receiver);
        if (widget != &m_counted && !m_counted.isAncestorOf(widget))
            return false;
        ++paints;
        if (!m_detailed)
            return false;
        double area = 0;
        for (const QRect& rect : static_cast<QPaintEvent*>(event)->region())
            area += static_cast<double>(rect.width()) * rect.height();
        auto& entry = byClass[QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') +
                              widget->objectName()];
        ++entry.first;
        entry.second += area;
        return false;
    }

private:
    QWidget& m_counted;
    // The breakdown costs a string per paint, so only when it is asked for.
    const bool m_detailed = qEnvironmentVariableIntValue("QUORVEX_BENCH_PAINTS") == 1;
};

// Lets the event loop settle for 200 ms, then runs it for `seconds` and measures that spell.
inline Spell measureSpell(QWidget& counted, double seconds) {
    PaintCounter counter(counted);
    qApp->installEventFilter(&counter);
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
    qApp->removeEventFilter(&counter);
    // QUORVEX_BENCH_PAINTS=1: which widgets painted, how often and how much, per second.
    if (qEnvironmentVariableIntValue("QUORVEX_BENCH_PAINTS") == 1)
        for (const auto& [name, entry] : counter.byClass)
            std::fprintf(stderr, "  %-48s %7.1f paints/s %12.0f px/s\n", qPrintable(name),
                         entry.first / elapsed, entry.second / elapsed);
    return {100 * cpu / elapsed, counter.paints / elapsed};
}

} // namespace quorvex::bench
