#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace quorvex {

/// One instance per user session. The first run listens on a local socket; a later run finds it
/// there, asks it to open its menu and ends. A socket left behind by a crashed run answers no
/// connection and is replaced. GUI thread.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);

    /// True when this process is now the one instance. False when another one runs: it was asked
    /// to open its menu.
    bool claim();

signals:
    /// A later run asked this one to open its menu.
    void openMenuRequested();

private:
    QString m_socketPath;
    QLocalServer m_server;
};

} // namespace quorvex
