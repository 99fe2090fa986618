// Saves what the X server shows as a PNG, for the desktop scenes of scripts/shots.
// Usage: quorvex-screen-grab <file.png> [x y width height]
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 6) {
        std::cerr << "usage: quorvex-screen-grab <file.png> [x y width height]\n";
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QPixmap shot = argc == 6 ? screen->grabWindow(0, std::atoi(argv[2]), std::atoi(argv[3]),
                                                        std::atoi(argv[4]), std::atoi(argv[5]))
                                   : screen->grabWindow(0);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]))) {
        std::cerr << "quorvex-screen-grab: could not save " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
