#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace quorvex {

/// What the command line and the session decide before the GUI starts: `--help` and
/// `--version` answer on standard output, and a run without any display ends with one clear
/// line instead of the platform plugin's abort. Decided before QApplication exists, since that
/// constructor is what aborts without a display.
class StartupOptions final {
public:
    /// Given the arguments without the program name. Unknown arguments are left alone.
    StartupOptions(const QStringList& arguments, const QProcessEnvironment& environment);

    /// The exit status when the run ends here (after writing to `out` or `err`), else nothing.
    std::optional<int> answerBeforeGui(std::FILE* out, std::FILE* err) const;

    /// `--exit-without-tray`: end with a message instead of waiting for a system tray.
    bool exitWithoutTray() const { return m_exitWithoutTray; }

    /// Whether the session offers a display for the platform Qt will pick.
    static bool hasDisplay(const QProcessEnvironment& environment);
    /// The socket the running instance listens on: in XDG_RUNTIME_DIR when set, else in the
    /// temporary folder under the user's id.
    static QString instanceSocketPath(const QProcessEnvironment& environment);

    static inline const char* const kNoDisplayMessage =
        "Quorvex needs a graphical session (DISPLAY or WAYLAND_DISPLAY is not set)\n";

private:
    QProcessEnvironment m_environment;
    bool m_help = false;
    bool m_version = false;
    bool m_exitWithoutTray = false;
    QString m_helpText;
};

} // namespace quorvex
