#include "app/provisional/ProvisionalNetwork.h"

#include "app/provisional/NotAvailableYet.h"
#include "network/NetworkProfile.h"

#include <QTimer>

namespace quorvex {

void ProvisionalNetwork::stopProxyForQuit(std::function<void()> done) {
    // Asynchronous like the real one, so callers never depend on a synchronous answer.
    QTimer::singleShot(0, this, [done = std::move(done)] {
        if (done)
            done();
    });
}

void ProvisionalNetwork::resetSetup(std::function<void(std::optional<QString> error)> done) {
    const QByteArray failure = qgetenv("QUORVEX_PROVISIONAL_RESET_ERROR");
    QTimer::singleShot(0, this, [done = std::move(done), failure] {
        if (failure.isEmpty())
            done(std::nullopt);
        else
            done(QString::fromUtf8(failure));
    });
}

bool ProvisionalNetwork::addHostRule(const QString&) {
    showNotAvailableYet(QStringLiteral("Blocking hosts"));
    return false;
}

void ProvisionalNetwork::showSetupGuideTour(const NetworkProfile&) {
    showNotAvailableYet(QStringLiteral("Network Setup Guide"));
}

NetworkProfile ProvisionalNetwork::profile(const SimulatorApp&) const {
    // Nothing is shaped without the network model, so every app is unlimited.
    return *NetworkProfile::builtIn("unlimited");
}

void ProvisionalNetwork::setProfile(const NetworkProfile&, const SimulatorApp&) {
    showNotAvailableYet(QStringLiteral("Network profiles"));
}

} // namespace quorvex
