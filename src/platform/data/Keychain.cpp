#include "platform/data/Keychain.h"

#include "platform/core/Clock.h"
#include "platform/data/SystemClock.h"
#include "platform/data/qtkeychain/QtKeychain.h"

#include <QPromise>

#include <memory>

namespace quorvex {

namespace {
Keychain* g_installed = nullptr;
} // namespace

Keychain::Keychain(Clock& clock, double answerBound)
    : m_clock(clock)
    , m_bound(answerBound) {}

QString Keychain::noAnswerText() const {
    return QStringLiteral(
               "Your keyring didn’t answer within %1 seconds. It may be locked behind a prompt, or "
               "stuck; unlock or restart it, then try again.")
        .arg(m_bound);
}

template <typename T> QFuture<T> Keychain::bounded(QFuture<T> answer, T noAnswer) {
    // Whichever comes first, the answer or the bound, settles the call; both run on the GUI
    // thread, so the flag needs no lock.
    struct Call {
        QPromise<T> promise;
        bool settled = false;
        std::unique_ptr<ScheduledCall> bound;
        void settle(T value) {
            if (settled)
                return;
            settled = true;
            promise.addResult(std::move(value));
            promise.finish();
        }
    };
    auto call = std::make_shared<Call>();
    call->promise.start();
    QFuture<T> future = call->promise.future();
    call->bound = m_clock.schedule(m_bound, [weak = std::weak_ptr<Call>(call), noAnswer] {
        if (const auto alive = weak.lock())
            alive->settle(noAnswer);
    });
    // An answer that never comes keeps the call alive with the store's own job, nothing more.
    answer.then([call](T value) {
        call->settle(std::move(value));
        call->bound.reset();
    });
    return future;
}

QFuture<std::optional<QString>> Keychain::unavailableReason() {
    return bounded(startUnavailableReason(), std::optional<QString>(noAnswerText()));
}

QFuture<Keychain::ReadResult> Keychain::read(const QString& service, const QString& account) {
    return bounded(startRead(service, account), ReadResult{std::nullopt, {false, kNoAnswer, noAnswerText()}});
}

QFuture<Keychain::Status> Keychain::write(const QString& service, const QString& account,
                                          const QString& label, const QByteArray& data) {
    return bounded(startWrite(service, account, label, data), Status{false, kNoAnswer, noAnswerText()});
}

QFuture<Keychain::Status> Keychain::remove(const QString& service, const QString& account) {
    return bounded(startRemove(service, account), Status{false, kNoAnswer, noAnswerText()});
}

QFuture<Keychain::Status> Keychain::removeAll(const QString& service, const std::optional<QString>& keep) {
    return bounded(startRemoveAll(service, keep), Status{false, kNoAnswer, noAnswerText()});
}

Keychain& Keychain::shared() {
    if (g_installed)
        return *g_installed;
    static QtKeychain real(systemClock());
    return real;
}

Keychain* Keychain::install(Keychain* keychain) {
    Keychain* previous = g_installed;
    g_installed = keychain;
    return previous;
}

} // namespace quorvex
