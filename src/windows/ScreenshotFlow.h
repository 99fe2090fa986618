#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <filesystem>
#include <optional>

namespace quorvex {

class Clipboard;
class ScreenshotThumbnail;

/// One screenshot of a booted simulator, from the menu's "Take Screenshot" or "Copy Screenshot":
/// a clean status bar while it is taken (unless the simulator already carries an override),
/// capture, blank check, framing, then the file (named when written, never over another) or the
/// clipboard, the thumbnail and one toast.
///
/// start() reads nothing itself: the request carries the settings as they were at the click.
/// The blocking part runs on the global thread pool with copies of the request; the report
/// comes back to the GUI thread and is dropped if the flow is gone by then. Two requests in
/// quick succession run side by side.
class ScreenshotFlow final : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString udid;
        QString deviceName;
        bool copyOnly = false;
        bool cleanStatusBar = true;
        bool frame = true;
        bool copyToClipboard = true;
        std::filesystem::path folder;
        QDateTime date;
        /// The name the file is planned under; the write takes the next free one if it is taken.
        std::filesystem::path destination;
    };
    enum class Error { capture, screenOff, save };
    struct Outcome {
        std::optional<Error> error;
        bool framed = false;
        QByteArray png;
        std::optional<std::filesystem::path> file;
    };

    ScreenshotFlow(Clipboard& clipboard, ScreenshotThumbnail& thumbnail, QObject* parent = nullptr);

    /// A request with the screenshot settings and folder read now and the destination named.
    static Request request(const QString& udid, const QString& deviceName, bool copyOnly,
                           const QDateTime& now);

    void start(const Request& request);
    /// The blocking part, on any thread. `settleSeconds` is the pause after a status-bar
    /// override, so the simulator has drawn it before the capture.
    static Outcome run(const Request& request, double settleSeconds);
    /// Tells the user: clipboard, thumbnail and toast. GUI thread.
    void report(const Request& request, const Outcome& outcome);

    /// 0.4 s unless changed (tests set 0).
    void setSettleSeconds(double seconds) { m_settleSeconds = seconds; }

signals:
    void finished(const quorvex::ScreenshotFlow::Outcome& outcome);

private:
    Clipboard& m_clipboard;
    ScreenshotThumbnail& m_thumbnail;
    double m_settleSeconds = 0.4;
};

} // namespace quorvex

Q_DECLARE_METATYPE(quorvex::ScreenshotFlow::Outcome)
