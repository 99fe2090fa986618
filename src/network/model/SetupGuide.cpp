#include "network/model/SetupGuide.h"

#include "network/model/SetupGuideWindow.h"
#include "platform/core/Clock.h"

#include <QPointer>

namespace quorvex {

SetupGuide::SetupGuide(ProxyControl& proxy, Clock& clock, WindowFactory makeWindow, QObject* parent)
    : QObject(parent)
    , m_proxy(proxy)
    , m_clock(clock)
    , m_makeWindow(std::move(makeWindow))
    , m_profile(defaultProfile()) {}

SetupGuide::~SetupGuide() = default;

NetworkProfile SetupGuide::defaultProfile() {
    return *NetworkProfile::builtIn("edge");
}

template <typename T> void SetupGuide::assign(T& field, const T& value) {
    if (field == value)
        return;
    field = value;
    emit changed();
}

void SetupGuide::setProfile(const NetworkProfile& profile) {
    assign(m_profile, profile);
}

void SetupGuide::begin(const NetworkProfile& profile, PendingChange change) {
    assign(m_mode, Mode::Live);
    setProfile(profile);
    m_pendingChange = std::move(change);
    // Whatever an earlier run still does, this run starts idle and reports only its own outcome.
    ++m_runGeneration;
    assign(m_isWorking, false);
    reset();
    showWindow();
}

void SetupGuide::showTour(const NetworkProfile& profile) {
    assign(m_mode, Mode::Tour);
    setProfile(profile);
    reset();
    showWindow();
}

void SetupGuide::reset() {
    assign(m_phase, Phase::Intro);
    assign(m_error, std::optional<QString>());
    assign(m_started, false);
}

bool SetupGuide::isComplete(Phase step) const {
    switch (step) {
    case Phase::Intro:
        return true;
    case Phase::ApproveExtension:
        return m_status.extensionApproved;
    case Phase::AllowProxy:
        return m_status.proxyAllowed;
    case Phase::Done:
        return m_status.extensionApproved && m_status.proxyAllowed &&
               (m_mode == Mode::Tour || m_status.proxyRunning);
    }
    return false;
}

bool SetupGuide::canReach(Phase phase) const {
    if (m_mode == Mode::Tour || phase == Phase::Intro)
        return true;
    if (!m_started)
        return false;
    for (int earlier = int(Phase::ApproveExtension); earlier < int(phase); ++earlier)
        if (!isComplete(Phase(earlier)))
            return false;
    return true;
}

SetupGuide::Phase SetupGuide::firstIncompletePhase() const {
    if (!m_status.extensionApproved)
        return Phase::ApproveExtension;
    if (!m_status.proxyAllowed)
        return Phase::AllowProxy;
    return Phase::Done;
}

std::optional<SetupGuide::Phase> SetupGuide::previous(Phase phase) {
    if (phase == Phase::Intro)
        return std::nullopt;
    return Phase(int(phase) - 1);
}

std::optional<SetupGuide::Phase> SetupGuide::next(Phase phase) {
    if (phase == Phase::Done)
        return std::nullopt;
    return Phase(int(phase) + 1);
}

QString SetupGuide::primaryButtonTitle() const {
    if (m_mode == Mode::Live && m_error)
        return QStringLiteral("Try Again");
    if (m_phase == Phase::Done)
        return QStringLiteral("Done");
    if (m_phase == Phase::Intro && m_mode == Mode::Live && !m_started)
        return QStringLiteral("Continue");
    return QStringLiteral("Next");
}

bool SetupGuide::canContinue() const {
    if (m_mode == Mode::Live && m_error)
        return !m_isWorking;
    if (m_phase == Phase::Intro && m_mode == Mode::Live && !m_started)
        return true;
    if (m_phase == Phase::Done)
        return isComplete(Phase::Done);
    return canReach(*next(m_phase));
}

void SetupGuide::primaryAction() {
    if (m_mode == Mode::Live && m_error) {
        runPendingChange();
        return;
    }
    if (m_phase == Phase::Intro && m_mode == Mode::Live && !m_started) {
        assign(m_started, true);
        // The target comes from the status known now, before the change has run.
        const Phase target = firstIncompletePhase();
        runPendingChange();
        go(target);
        return;
    }
    if (m_phase == Phase::Done) {
        closeWindow();
        return;
    }
    go(*next(m_phase));
}

void SetupGuide::go(Phase target) {
    if (target != m_phase && canReach(target))
        assign(m_phase, target);
}

void SetupGuide::refresh(std::function<void()> done) {
    QPointer<SetupGuide> self(this);
    m_proxy.setupStatus([self, done = std::move(done)](SetupStatus status) {
        if (!self)
            return;
        if (status != self->m_status) {
            const SetupStatus old = self->m_status;
            self->assign(self->m_status, status);
            // Advance only from the page of the step this read saw confirmed; never move back.
            if (self->m_mode == Mode::Live && self->m_started) {
                if (self->m_phase == Phase::ApproveExtension && !old.extensionApproved &&
                    status.extensionApproved)
                    self->go(Phase::AllowProxy);
                else if (self->m_phase == Phase::AllowProxy && !old.proxyAllowed && status.proxyAllowed)
                    self->go(Phase::Done);
            }
        }
        if (done)
            done();
    });
}

void SetupGuide::runPendingChange() {
    const unsigned run = ++m_runGeneration;
    assign(m_isWorking, true);
    assign(m_error, std::optional<QString>());
    QPointer<SetupGuide> self(this);
    auto finish = [self, run](std::optional<QString> error) {
        if (!self || run != self->m_runGeneration)
            return;
        if (error)
            self->assign(self->m_error, error);
        self->assign(self->m_isWorking, false);
        self->refresh();
    };
    if (m_pendingChange)
        m_pendingChange(finish);
    else
        finish(std::nullopt);
}

void SetupGuide::showWindow() {
    if (!m_window)
        m_window = m_makeWindow(*this);
    m_window->present();
    m_nextPoll.reset();
    poll(++m_pollGeneration);
}

void SetupGuide::closeWindow() {
    if (m_window)
        m_window->close();
}

bool SetupGuide::isWindowVisible() const {
    return m_window && m_window->isVisible();
}

void SetupGuide::poll(unsigned generation) {
    if (generation != m_pollGeneration || !isWindowVisible())
        return;
    QPointer<SetupGuide> self(this);
    refresh([self, generation] {
        if (!self || generation != self->m_pollGeneration)
            return;
        self->m_nextPoll = self->m_clock.schedule(kPollInterval, [self, generation] {
            if (self)
                self->poll(generation);
        });
    });
}

} // namespace quorvex
