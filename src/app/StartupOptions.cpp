#include "app/StartupOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <unistd.h>

namespace quorvex {

StartupOptions::StartupOptions(const QStringList& arguments, const QProcessEnvironment& environment)
    : m_environment(environment) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A status-bar utility for iOS simulators, connected devices and network shaping."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption noTray(QStringLiteral("exit-without-tray"),
                                    QStringLiteral("Exit with a message when no system tray is running, "
                                                   "instead of waiting for one."));
    const QCommandLineOption reset(QStringLiteral("reset-setup"),
                                   QStringLiteral("Remove the network extension's setup, then exit."));
    parser.addOption(noTray);
    parser.addOption(reset);
    // Unknown arguments are not an error here: the parser goes on past them.
    parser.parse(QStringList{QStringLiteral("quorvex")} + arguments);
    m_help = parser.isSet(help);
    m_version = parser.isSet(version);
    m_exitWithoutTray = parser.isSet(noTray);
    // Without an application object the parser cannot know the program's name.
    m_helpText = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("quorvex"));
}

std::optional<int> StartupOptions::answerBeforeGui(std::FILE* out, std::FILE* err) const {
    if (m_help) {
        std::fputs(m_helpText.toLocal8Bit().constData(), out);
        std::fflush(out);
        return 0;
    }
    if (m_version) {
        std::fprintf(out, "%s %s\n", QCoreApplication::applicationName().toLocal8Bit().constData(),
                     QCoreApplication::applicationVersion().toLocal8Bit().constData());
        std::fflush(out);
        return 0;
    }
    if (!hasDisplay(m_environment)) {
        std::fputs(kNoDisplayMessage, err);
        std::fflush(err);
        return 1;
    }
    return std::nullopt;
}

bool StartupOptions::hasDisplay(const QProcessEnvironment& environment) {
    // A platform chosen by name that needs no display server (offscreen, vnc, ...) is the user's
    // choice and is left to Qt; only the X11 and Wayland defaults need one of the two variables.
    const QString platform = environment.value(QStringLiteral("QT_QPA_PLATFORM"));
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")) &&
        !platform.startsWith(QLatin1String("wayland")))
        return true;
    return !environment.value(QStringLiteral("DISPLAY")).isEmpty() ||
           !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
}

QString StartupOptions::instanceSocketPath(const QProcessEnvironment& environment) {
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty())
        return QDir(runtime).filePath(QStringLiteral("quorvex.socket"));
    return QDir(QDir::tempPath()).filePath(QStringLiteral("quorvex-%1.socket").arg(::getuid()));
}

} // namespace quorvex
