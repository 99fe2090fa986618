// quorvex-netdemo: the app's side of one network run, for scripts/network-demo. The network model
// and proxy controller talk to a running daemon (--socket), choose --profile for the app whose
// bundle folder is Demo.app and block --block, then the probe runs, inside the client namespace,
// as that app and as an ordinary process; every step and outcome is printed. Quitting stops the
// proxy, as the program's quit does.
#include "network/control/SocketExtensionControl.h"
#include "network/model/NetworkModel.h"
#include "network/model/SetupGuide.h"
#include "network/model/WorkerThreadExecutor.h"
#include "platform/data/SystemClock.h"

#include "NetworkTestWorld.h"
#include "extension/NamespacePair.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace quorvex;

namespace {

struct Step {
    const char* what;
    std::string binary;
    const char* host;
    bool udp;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    auto option = [&](const QString& name, const QString& fallback = {}) {
        const auto at = arguments.indexOf(name);
        return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1] : fallback;
    };
    const std::string socket = option("--socket").toStdString();
    const std::string client = option("--client").toStdString();
    const std::string probe = option("--probe").toStdString();
    const std::string app = option("--app").toStdString();
    const QString profileID = option("--profile", "edge");
    const QString blocked = option("--block", "198.18.0.3");
    const auto profile = NetworkProfile::builtIn(profileID.toStdString());
    if (socket.empty() || client.empty() || probe.empty() || app.empty() || !profile) {
        std::fprintf(stderr, "usage: quorvex-netdemo --socket PATH --client NETNS --probe PATH --app PATH "
                             "[--profile ID] [--block HOST]\n");
        return 2;
    }

    SocketExtensionControl control(socket, 5);
    WorkerThreadExecutor executor;
    ProxyController proxy(control, executor, systemClock(), {"/opt/qv/bin/quorvex", "/opt/qv"});
    QTemporaryDir scratch;
    QSettings defaults(scratch.filePath("defaults.ini"), QSettings::IniFormat);
    int presents = 0;
    SetupGuide guide(proxy, systemClock(),
                     [&](SetupGuide&) { return std::make_unique<test::RecordingWindow>(&presents); });
    NetworkModel model(proxy, guide, defaults);
    SimulatorApp demo;
    demo.id = "com.example.Demo";
    demo.name = "Demo";
    demo.bundleFolder = "Demo.app";
    demo.devices = {"5A1E0F7B"};

    std::printf("Choosing %s for Demo.app\n", profile->name.c_str());
    model.setProfile(*profile, demo);
    if (QTest::qWaitFor([&] { return guide.isWindowVisible(); }, 3000)) {
        std::printf("  first run: the setup guide opened; pressing \"%s\"\n",
                    guide.primaryButtonTitle().toStdString().c_str());
        guide.primaryAction();
    }
    if (!QTest::qWaitFor([&] { return !guide.isWorking() && model.profile(demo).id == profile->id; },
                         15000)) {
        std::printf("  the choice was not applied: %s\n",
                    guide.error() ? guide.error()->toStdString().c_str() : "no answer");
        return 1;
    }
    std::printf("Blocking %s\n", blocked.toStdString().c_str());
    if (!model.addHostRule(blocked) || !QTest::qWaitFor([&] { return !model.hostRules().empty(); }, 5000)) {
        std::printf("  the host rule was not applied\n");
        return 1;
    }
    std::printf("Menu summary: %s\n\n", model.summary().toStdString().c_str());

    test::NamespacePair spaces{test::NamespacePair::Existing{client, ""}};
    const Step steps[] = {
        {"TCP echo, simulator app ", app, "198.18.0.2", false},
        {"TCP echo, ordinary      ", probe, "198.18.0.2", false},
        {"UDP echo, simulator app ", app, "198.18.0.2", true},
        {"UDP echo, ordinary      ", probe, "198.18.0.2", true},
        {"blocked host, sim. app  ", app, "198.18.0.3", false},
        {"blocked host, ordinary  ", probe, "198.18.0.3", false},
    };
    for (const Step& step : steps) {
        const auto seen = test::runProbe(spaces, step.binary, step.host, 9000, step.udp);
        std::printf("  %s %s:9000  %-8s %5lld ms\n", step.what, step.host, seen.outcome.c_str(),
                    seen.milliseconds);
    }

    bool stopped = false;
    model.stopProxyForQuit([&] { stopped = true; });
    stopped = QTest::qWaitFor([&] { return stopped; }, 5000);
    std::printf("\nQuit: the proxy %s\n", stopped ? "stopped" : "did not answer the stop");
    return 0;
}
