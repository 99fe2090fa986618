#pragma once

#include <QObject>

class QSocketNotifier;

namespace quorvex {

/// Turns SIGTERM, SIGINT and SIGHUP into a signal on the GUI thread. A signal handler may do
/// almost nothing, so it only writes one byte into a socket pair whose other end a
/// QSocketNotifier reads in the event loop. One instance per process.
class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quorvex
