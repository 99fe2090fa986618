// Program entry. Until the menu-bar frame lands, the program only announces itself with a toast
// and keeps running, so the foundation can be watched end to end.
#include "simulator/Toast.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvex"));
    QApplication::setOrganizationName(QStringLiteral("Zelmora"));
    QApplication::setQuitOnLastWindowClosed(false);

    quorvex::Toast::show(QStringLiteral("Quorvex is running"),
                         QStringLiteral("The menu-bar frame comes next"), QStringLiteral("checkmark.circle"),
                         false);
    return app.exec();
}
