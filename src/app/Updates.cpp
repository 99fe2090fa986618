// Ownership and lifetimes: a check owns one QFutureWatcher, a child of the Updates object, for the
// feed download running on the thread pool. The download captures only the address, so an
// Updates object destroyed mid-check leaves the download to finish unobserved (bounded by its
// own time-out).
#include "app/Updates.h"

#include "app/Appcast.h"
#include "app/FeedDownload.h"
#include "platform/data/PlistSettingsFormat.h"
#include "platform/gui/Dialogs.h"
#include "ui/Fonts.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QPalette>
#include <QtConcurrent>

namespace quorvex {
namespace {

const QString kCheckFailed = QStringLiteral("Couldn’t check for updates");

QString text(const QVariantMap& info, const char* key) {
    const QVariant value = info.value(QLatin1String(key));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

// The program's alert layer, so the updater's alerts look like every other and tests that
// install a dialog double answer them too.
int dialogAlert(const Updates::Alert& alert) {
    quorvex::Alert request;
    request.message = alert.message;
    request.informativeText = alert.informativeText;
    for (const QString& title : alert.buttons)
        request.buttons.push_back({title});
    const int response = Dialogs::shared().runAlert(request);
    return std::max(0, response - Dialogs::kFirstButton);
}

} // namespace

QString AboutPanelOptions::creditsHtml() const {
    const char* align = alignment & Qt::AlignHCenter ? "center"
                        : alignment & Qt::AlignRight ? "right"
                                                     : "left";
    return QStringLiteral("<p align=\"%1\" style=\"font-size:%2pt; color:rgba(%3,%4,%5,%6)\">%7</p>")
        .arg(QLatin1String(align))
        .arg(font.pointSizeF())
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF(), 0, 'f', 2)
        .arg(credits.toHtmlEscaped());
}

Updates::Updates(QVariantMap bundleInfo, Ui ui)
    : m_info(std::move(bundleInfo))
    , m_ui(std::move(ui)) {
    if (!m_ui.activate)
        m_ui.activate = [] {};
    if (!m_ui.runAlert)
        m_ui.runAlert = dialogAlert;
    if (!m_ui.openUrl)
        m_ui.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

Updates& Updates::shared() {
    static Updates* updates = new Updates(mainBundleInfo());
    return *updates;
}

QVariantMap Updates::mainBundleInfo() {
    QFile file(QStringLiteral(":/Info.plist"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return plistToVariant(file.readAll()).toMap();
}

bool Updates::isConfigured() const {
    return !text(m_info, "SUPublicEDKey").isEmpty() && m_info.contains(QStringLiteral("SUFeedURL"));
}

void Updates::start() {
    if (isConfigured())
        m_started = true;
}

void Updates::checkForUpdates() {
    if (!isConfigured()) {
        m_ui.activate();
        showAlert({QStringLiteral("Updates aren’t set up yet"),
                   QStringLiteral("This build has no update signing key (SUPublicEDKey)."),
                   {}});
        emit checkFinished();
        return;
    }
    if (m_checking)
        return;
    m_ui.activate();

    const QUrl feed(text(m_info, "SUFeedURL").trimmed(), QUrl::StrictMode);
    const QString scheme = feed.scheme().toLower();
    if (!feed.isValid() || (scheme != QLatin1String("https") && scheme != QLatin1String("http") &&
                            scheme != QLatin1String("file"))) {
        showAlert({kCheckFailed,
                   QStringLiteral("The update feed address (SUFeedURL) is not an http, https or file URL."),
                   {}});
        emit checkFinished();
        return;
    }

    m_checking = true;
    auto* watcher = new QFutureWatcher<FeedDownload>(this);
    connect(watcher, &QFutureWatcher<FeedDownload>::finished, this, [this, watcher] {
        const FeedDownload download = watcher->result();
        watcher->deleteLater();
        finishCheck(download.body, download.error);
    });
    watcher->setFuture(QtConcurrent::run([feed] { return FeedDownload::fetch(feed); }));
}

void Updates::finishCheck(const QByteArray& feed, const QString& error) {
    m_checking = false;
    QString problem = error;
    std::optional<Appcast> appcast;
    if (problem.isEmpty())
        appcast = Appcast::parse(feed, &problem);
    const AppcastItem* newest = appcast ? appcast->newest() : nullptr;
    if (problem.isEmpty() && !newest)
        problem = QStringLiteral("The update feed lists no versions.");
    if (!problem.isEmpty()) {
        showAlert({kCheckFailed, problem, {}});
        emit checkFinished();
        return;
    }

    const QString name =
        text(m_info, "CFBundleName").isEmpty() ? QStringLiteral("Quorvex") : text(m_info, "CFBundleName");
    QString current = text(m_info, "CFBundleVersion");
    if (current.isEmpty())
        current = QCoreApplication::applicationVersion();
    QString shownCurrent = text(m_info, "CFBundleShortVersionString");
    if (shownCurrent.isEmpty())
        shownCurrent = current;

    if (compareVersions(newest->version, current) > 0) {
        const bool hasPage = newest->page.isValid() && !newest->page.isEmpty();
        const QString info =
            hasPage ? QStringLiteral("You have %1. Open its page to download it.").arg(shownCurrent)
                    : QStringLiteral("You have %1.").arg(shownCurrent);
        const int answer = showAlert(
            {QStringLiteral("%1 %2 is available").arg(name, newest->displayVersion), info,
             hasPage ? QStringList{QStringLiteral("Open Page"), QStringLiteral("Later")} : QStringList{}});
        if (hasPage && answer == 0)
            m_ui.openUrl(newest->page);
    } else {
        showAlert({QStringLiteral("You’re up to date"),
                   QStringLiteral("%1 %2 is the newest version available.").arg(name, shownCurrent),
                   {}});
    }
    emit checkFinished();
}

int Updates::showAlert(const Alert& alert) {
    return m_ui.runAlert(alert);
}

AboutPanelOptions Updates::aboutPanelOptions() {
    AboutPanelOptions options;
    options.credits =
        QStringLiteral("Network throttling, privacy permissions, app data, screenshots and storage "
                       "cleanup for Device Hub and the iOS simulators, from your menu bar.");
    options.font = Fonts::system(11);
    QColor secondary = QGuiApplication::palette().color(QPalette::WindowText);
    secondary.setAlphaF(0.5f);
    options.color = secondary;
    options.alignment = Qt::AlignHCenter;
    return options;
}

} // namespace quorvex
