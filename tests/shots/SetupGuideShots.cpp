#include "shots/Shots.h"

#include "network/guide/SetupGuideView.h"
#include "network/guide/SetupIllustrations.h"
#include "network/model/NetworkTestWorld.h"
#include "network/model/ProxyController.h"

#include <QCoreApplication>

namespace quorvex::shots {
namespace {

using Phase = SetupGuide::Phase;

/// A daemon that answers the status it is told and takes every change.
class StatusSource final : public ProxyControl {
public:
    SetupStatus status;
    void setupStatus(std::function<void(SetupStatus)> done) override { done(status); }
    void apply(const ThrottlePlan&, Completion done) override { done(std::nullopt); }
    void hasConfiguration(std::function<void(bool)> done) override { done(false); }
    void runningPlan(std::function<void(std::optional<ThrottlePlan>)> done) override { done(std::nullopt); }
    void stopTunnel(std::function<void()> done) override { done(); }
    void resetSetup(Completion done) override { done(std::nullopt); }
};

struct GuideWorld {
    StatusSource proxy;
    test::FakeClock clock;
    int presents = 0;
    SetupGuide guide{proxy, clock,
                     [this](SetupGuide&) { return std::make_unique<test::RecordingWindow>(&presents); }};
    SetupGuideView view{guide, setupIllustrations(clock), [](SetupHelp::Topic) {}, [] {}};
    ProxyControl::Completion pending;

    void begin() {
        guide.begin(*NetworkProfile::builtIn("3g"),
                    [this](ProxyControl::Completion done) { pending = std::move(done); });
    }
    void setStatus(SetupStatus status) {
        proxy.status = status;
        guide.refresh();
    }
    QImage grab() {
        // Widgets added to a shown page show from the event loop; replaced ones go.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return view.grab().toImage();
    }
};

} // namespace

QImage setupGuideLive(GuideRun step) {
    GuideWorld world;
    world.view.show();
    world.begin();
    if (step == GuideRun::intro)
        return world.grab();
    if (step == GuideRun::introKeyboardFocus) {
        // As after a Tab: the window is active and the primary button draws its focus ring.
        world.view.activateWindow();
        for (int wait = 0; wait < 100 && !world.view.isActiveWindow(); ++wait)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (QWidget* primary = world.view.findChild<QWidget*>(QStringLiteral("primary")))
            primary->setFocus(Qt::TabFocusReason);
        return world.grab();
    }
    // What this system says before the run starts: the page of the first open step follows it.
    if (step == GuideRun::programNotInstalled || step == GuideRun::daemonNotRunning) {
        SetupStatus status;
        status.obstacle = step == GuideRun::programNotInstalled ? SetupObstacle::ProgramNotInstalled
                                                                : SetupObstacle::DaemonNotRunning;
        world.setStatus(status);
    }
    world.guide.primaryAction();
    switch (step) {
    case GuideRun::intro:
    case GuideRun::introKeyboardFocus:
    case GuideRun::extensionWaiting:
        break;
    case GuideRun::proxyWaiting:
        world.setStatus({true, false, false});
        break;
    case GuideRun::doneStarting:
        world.setStatus({true, true, false});
        break;
    case GuideRun::doneLive:
        world.setStatus({true, true, true});
        break;
    case GuideRun::programNotInstalled:
        world.pending(ProxyController::notInstalledText("/usr/local"));
        break;
    case GuideRun::daemonNotRunning:
        world.pending(
            QStringLiteral("System extension request failed: The network extension is not running (no "
                           "answer on /run/quorvex/extension.sock)."));
        break;
    case GuideRun::failed:
        world.pending(
            QStringLiteral("Install Quorvex first (sudo cmake --install build/default) and start it from "
                           "/usr/local/bin."));
        break;
    }
    world.clock.advance(2.0);
    return world.grab();
}

QImage setupGuideTour(Phase page, bool approvalsGiven) {
    GuideWorld world;
    world.setStatus(approvalsGiven ? SetupStatus{true, true, true} : SetupStatus{false, false, false});
    world.guide.showTour(*NetworkProfile::builtIn("3g"));
    world.view.show();
    world.guide.go(page);
    world.grab();
    world.clock.advance(2.0);
    return world.grab();
}

} // namespace quorvex::shots
