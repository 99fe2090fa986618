// Renders every window and state of shotTable() into PNG files, for people to look at (closing
// notes, reviews); nothing here is compared. scripts/shots runs it on a private X server.
// Usage: quorvex-shots <folder> [part of a name...]   |   quorvex-shots --list
#include "shots/Shots.h"

#include "support/PrivateSessionBus.h"
#include "support/TestHome.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <iostream>

namespace {

// A picture of one colour throughout shows nothing: the window did not draw.
bool showsSomething(const QImage& picture) {
    if (picture.isNull())
        return false;
    const QRgb first = picture.pixel(0, 0);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != first)
                return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    using namespace quorvex::shots;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--list") {
        for (const Shot& shot : shotTable())
            std::cout << shot.name << "\t" << shot.shows << (shot.needsX11 ? " (X11)" : "") << "\n";
        return 0;
    }
    if (args.empty() || args[0].starts_with("-")) {
        std::cerr << "usage: quorvex-shots <folder> [part of a name...] | quorvex-shots --list\n";
        return 2;
    }
    // Settings, fixtures and scans stay in a HOME of their own, as in the tests.
    const quorvex::test::TestHome home;
    if (!home.isReady())
        return 2;
    // A session bus of its own with no Secret Service and no tray watcher, made before Qt first
    // connects to one: the pictures do not depend on the desktop they are taken on.
    const quorvex::test::PrivateSessionBus bus(quorvex::test::PrivateSessionBus::Secrets::none);
    if (const std::string why = bus.skipReason() + bus.failure(); !why.empty())
        std::cout << "on the desktop's session bus: " << why << "\n";
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const bool onX11 = QGuiApplication::platformName() == QLatin1String("xcb");
    const QDir out(QString::fromStdString(args[0]));

    int saved = 0, failed = 0, left = 0;
    for (const Shot& shot : shotTable()) {
        const std::string name = shot.name;
        bool wanted = args.size() == 1;
        for (std::size_t i = 1; i < args.size(); ++i)
            wanted = wanted || name.find(args[i]) != std::string::npos;
        if (!wanted)
            continue;
        if (shot.needsX11 && !onX11) {
            std::cout << "left out (needs an X server): " << name << "\n";
            ++left;
            continue;
        }
        const QImage picture = shot.take();
        const QString path = out.filePath(QString::fromUtf8(shot.name) + QStringLiteral(".png"));
        QDir().mkpath(QFileInfo(path).path());
        if (!showsSomething(picture) || !picture.save(path)) {
            std::cerr << "FAILED: " << name << " (" << shot.shows << ")\n";
            ++failed;
            continue;
        }
        std::cout << "saved " << path.toStdString() << "\n";
        ++saved;
    }
    endPanelOnScreen();
    std::cout << saved << " saved, " << failed << " failed, " << left << " left out\n";
    return failed == 0 ? 0 : 1;
}
