#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <functional>

namespace quorvex {

/// The options of the About panel: the credits line under the program's name.
struct AboutPanelOptions {
    QString credits;
    QFont font;
    QColor color;
    Qt::Alignment alignment = Qt::AlignHCenter;

    /// The credits as rich text in their font size, colour and alignment.
    QString creditsHtml() const;
};

/// The updater. Updates are offered only when the program's Info.plist names a feed
/// ("SUFeedURL") and a signing key ("SUPublicEDKey"); the shipped file has neither, so a normal
/// build says so when asked. A configured check fetches the feed on the thread pool, finds its
/// newest version and tells the user whether it is newer than this build, with a button that
/// opens its page. It never downloads or installs anything. GUI thread only; `checkFinished`
/// follows each check (the alert has been answered by then).
class Updates final : public QObject {
    Q_OBJECT
public:
    /// An alert to show modally; no buttons means the single default button.
    struct Alert {
        QString message;
        QString informativeText;
        QStringList buttons;
    };
    /// How the updater reaches the user; replaced in tests.
    struct Ui {
        std::function<void()> activate;            // bring the program to the front
        std::function<int(const Alert&)> runAlert; // index of the button pressed
        std::function<void(const QUrl&)> openUrl;  // the release page
    };

    /// `bundleInfo`: the Info.plist values. Missing `ui` members fall back to the alert layer
    /// (Dialogs, which also brings the program to the front) and the desktop's URL handler.
    explicit Updates(QVariantMap bundleInfo, Ui ui = {});

    /// The program's updater, made from its compiled-in Info.plist on first use; never released.
    static Updates& shared();
    /// The compiled-in Info.plist.
    static QVariantMap mainBundleInfo();

    /// True when "SUPublicEDKey" is a non-empty text and "SUFeedURL" is present.
    bool isConfigured() const;
    /// Called once at launch: starts the updater when configured. Scheduled checks are not
    /// offered, so nothing happens until the user asks.
    void start();
    bool isStarted() const { return m_started; }
    /// The "Check for Updates…" command. A request while a check runs is ignored.
    void checkForUpdates();
    bool isChecking() const { return m_checking; }

    static AboutPanelOptions aboutPanelOptions();

signals:
    void checkFinished();

private:
    void finishCheck(const QByteArray& feed, const QString& error);
    int showAlert(const Alert& alert);

    QVariantMap m_info;
    Ui m_ui;
    bool m_started = false;
    bool m_checking = false;
};

} // namespace quorvex
