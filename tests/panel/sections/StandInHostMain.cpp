// A stand-in for another program's window on $DISPLAY, for the demo and for pictures: by default
// the Simulator window of the demo's first booted simulator, the same window the X11 tests use.
// It is activated once and lives until it is closed or the program is stopped.
// Usage: quorvex-stand-in-host [--class NAME] [--title TEXT] [--geometry X,Y,WIDTH,HEIGHT]
//                              [--colour 0xRRGGBB]
//        quorvex-stand-in-host --monitors WIDTHxHEIGHT[,WIDTHxHEIGHT...]
// The second form only cuts the screen into monitors side by side (RandR) and ends; the X server
// must then run with -noreset, or it forgets them once no client is left.
#include "panel/sections/X11Desktop.h"

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

int main(int argc, char** argv) {
    QString windowClass = QStringLiteral("Simulator");
    QString title = QStringLiteral("iPhone 15 Pro – iOS 17.2");
    QRect geometry(80, 90, 390, 780);
    uint32_t colour = 0xb8bcc4;
    std::vector<QRect> monitors;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const QString value = QString::fromUtf8(argv[i + 1]);
        if (option == "--class") {
            windowClass = value;
        } else if (option == "--title") {
            title = value;
        } else if (option == "--geometry") {
            const QStringList parts = value.split(u',');
            if (parts.size() != 4) {
                std::cerr << "--geometry takes X,Y,WIDTH,HEIGHT\n";
                return 2;
            }
            geometry = QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
        } else if (option == "--monitors") {
            int x = 0;
            for (const QString& size : value.split(u',')) {
                const QStringList sides = size.split(u'x');
                if (sides.size() != 2) {
                    std::cerr << "--monitors takes WIDTHxHEIGHT,...\n";
                    return 2;
                }
                monitors.emplace_back(x, 0, sides[0].toInt(), sides[1].toInt());
                x += sides[0].toInt();
            }
        } else if (option == "--colour") {
            colour = uint32_t(value.toUInt(nullptr, 16));
        } else {
            std::cerr << "unknown option " << option << "\n";
            return 2;
        }
    }
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::cerr << "no DISPLAY\n";
        return 1;
    }
    quorvex::test::X11Desktop desktop(display);
    if (xcb_connection_has_error(desktop.connection())) {
        std::cerr << "cannot open display " << display << "\n";
        return 1;
    }
    if (!monitors.empty())
        return desktop.setMonitors(monitors) ? 0 : 1;
    const xcb_window_t window = desktop.createWindow(windowClass, title, ::getpid(), geometry, colour);
    desktop.activate(window);
    std::cout << window << std::endl;
    // Until the server or a window manager closes the connection, or the program is stopped.
    while (xcb_generic_event_t* event = xcb_wait_for_event(desktop.connection()))
        std::free(event);
    return 0;
}
