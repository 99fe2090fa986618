// quorvex-guide-shots FOLDER: saves the setup guide's pages as a person meets them on this system,
// one PNG per case, for scripts/guide-shots (which runs it on a private X server): the program not
// installed, the extension daemon not running, a daemon waiting for approval, the proxy waiting to
// be allowed, the last page, and a page with the keyboard focus on its primary button.
#include "network/guide/SetupGuideView.h"
#include "network/guide/SetupIllustrations.h"
#include "network/model/NetworkTestWorld.h"
#include "network/model/ProxyController.h"
#include "network/model/SetupGuideWindow.h"

#include <QApplication>
#include <QDir>

#include <iostream>

using namespace quorvex;

namespace {

using test::StatusSource;

class NoWindow final : public SetupGuideWindow {
public:
    void present() override {}
    void close() override {}
    bool isVisible() const override { return false; }
};

struct Case {
    const char* name;
    SetupStatus status;
    std::optional<QString> error; // what the run answered
    bool focusPrimary = false;    // the keyboard focus on the primary button
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: quorvex-guide-shots FOLDER\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(folder.path());
    SetupStatus notInstalled;
    notInstalled.obstacle = SetupObstacle::ProgramNotInstalled;
    SetupStatus notRunning;
    notRunning.obstacle = SetupObstacle::DaemonNotRunning;
    const Case cases[] = {
        {"1-intro", {}, std::nullopt},
        {"2-extension-program-not-installed", notInstalled, ProxyController::notInstalledText("/usr/local")},
        {"3-extension-daemon-not-running", notRunning,
         QStringLiteral("System extension request failed: The network extension is not running (no answer on "
                        "/run/quorvex/extension.sock).")},
        {"4-extension-waiting-for-approval", {}, std::nullopt},
        {"5-proxy-waiting-to-be-allowed", {true, false, false}, std::nullopt},
        {"6-done", {true, true, true}, std::nullopt},
        {"7-keyboard-focus-on-continue", {}, std::nullopt, true},
    };
    bool saved = true;
    for (const Case& c : cases) {
        StatusSource proxy;
        test::FakeClock clock;
        SetupGuide guide(proxy, clock, [](SetupGuide&) { return std::make_unique<NoWindow>(); });
        SetupGuideView view(
            guide, setupIllustrations(clock), [](SetupHelp::Topic) {}, [] {});
        proxy.status = c.status;
        guide.refresh();
        ProxyControl::Completion pending;
        guide.begin(*NetworkProfile::builtIn("3g"),
                    [&](ProxyControl::Completion done) { pending = std::move(done); });
        if (std::string(c.name) != "1-intro" && !c.focusPrimary) {
            guide.primaryAction(); // Continue: the run starts, the page of the first open step shows
            if (c.error)
                pending(c.error);
            else if (c.status.proxyRunning)
                pending(std::nullopt);
        }
        view.show();
        for (int frame = 0; frame < 20; ++frame) {
            clock.advance(0.1);
            QApplication::processEvents();
        }
        if (c.focusPrimary) {
            // As after a Tab: the window is active and the primary button shows its focus ring.
            view.activateWindow();
            for (int wait = 0; wait < 100 && !view.isActiveWindow(); ++wait)
                QApplication::processEvents(QEventLoop::AllEvents, 20);
            if (QWidget* primary = view.findChild<QWidget*>(QStringLiteral("primary")))
                primary->setFocus(Qt::TabFocusReason);
            QApplication::processEvents();
        }
        const QString file = folder.filePath(QString::fromLatin1(c.name) + QStringLiteral(".png"));
        if (view.grab().save(file)) {
            std::cout << "saved " << file.toStdString() << "\n";
        } else {
            std::cerr << "could not save " << file.toStdString() << "\n";
            saved = false;
        }
    }
    return saved ? 0 : 1;
}
