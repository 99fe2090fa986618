#include "panel/sections/PanelDrop.h"

#include "actions/SimulatorActions.h"
#include "devices/core/PhysicalDeviceTools.h"
#include "panel/controller/PanelTarget.h"
#include "platform/core/Clock.h"
#include "platform/data/PropertyList.h"
#include "platform/gui/Dialogs.h"
#include "simulator/DeviceTools.h"
#include "simulator/SimulatorApps.h"
#include "simulator/Toast.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"

#include <QFile>
#include <QMetaObject>
#include <QMimeDatabase>
#include <QStringDecoder>
#include <QVariantMap>
#include <QtConcurrent/QtConcurrentRun>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace quorvex {
namespace {

const QString kDropSymbol = QStringLiteral("tray.and.arrow.down");
const QString kPushSymbol = QStringLiteral("bell.slash");
const QString kInstallSymbol = QStringLiteral("square.and.arrow.down");
const QString kLinkSymbol = QStringLiteral("link");

// A push payload is at most a few kilobytes; a large file renamed to ".apns" is not read whole.
constexpr qint64 kMaxPayloadFileBytes = 16 * 1024 * 1024;
// Info.plist of an app bundle is small too.
constexpr qint64 kMaxInfoPlistBytes = 4 * 1024 * 1024;

QString quoted(const QString& text) {
    return QStringLiteral("\u201C") + text + QStringLiteral("\u201D");
}

std::filesystem::path localPath(const QUrl& url) {
    return std::filesystem::path(QFile::encodeName(url.toLocalFile()).toStdString());
}

// The last component of a file's path or of a link's path; a folder dropped as ".../Name.app/"
// is named by its own name.
QString lastPathComponent(const QUrl& url) {
    QString path = url.isLocalFile() ? url.toLocalFile() : url.path();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return name.isEmpty() ? url.toDisplayString() : name;
}

// A leading dot starts a hidden name, not an extension.
qsizetype extensionDot(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? dot : -1;
}

QString withoutExtension(const QString& name) {
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? name : name.left(dot);
}

QString lowerCaseExtension(const QString& name) {
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

bool isMediaType(const QMimeType& type) {
    QStringList names = type.allAncestors();
    names.prepend(type.name());
    for (const QString& name : names) {
        if (name.startsWith(QLatin1String("image/")) || name.startsWith(QLatin1String("video/")) ||
            name == QLatin1String("text/vcard"))
            return true;
    }
    return false;
}

// Reads a regular file whole. Anything else (a folder, a FIFO that would block the reader, a
// device) and a file larger than `limit` give nothing.
std::optional<QByteArray> readRegularFile(const std::filesystem::path& path, qint64 limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > limit) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray bytes;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || bytes.size() + n > limit) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    ::close(fd);
    return bytes;
}

// "CFBundleIdentifier" of the bundle's Info.plist, in any property-list format.
std::optional<QString> bundleIdentifier(const std::filesystem::path& bundle) {
    const auto bytes = readRegularFile(bundle / "Info.plist", kMaxInfoPlistBytes);
    if (!bytes)
        return std::nullopt;
    const auto plist = propertyListToVariant(*bytes);
    if (!plist || plist->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariant identifier = plist->toMap().value(QStringLiteral("CFBundleIdentifier"));
    if (identifier.typeId() != QMetaType::QString || identifier.toString().isEmpty())
        return std::nullopt;
    return identifier.toString();
}

std::optional<QString> decodeUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

PanelDrop::PanelDrop(PanelTarget& target, Clock& clock, SimulatorApps& apps, SimulatorActions& actions,
                     QObject* parent)
    : QObject(parent)
    , m_target(target)
    , m_clock(clock)
    , m_apps(apps)
    , m_actions(actions) {}

PanelDrop::~PanelDrop() {
    // Notices not yet shown die with the drop handler; results still on their way are dropped
    // with the queued calls that carry them.
    m_notices.clear();
    m_pool.waitForDone();
}

template <typename Work, typename Done> void PanelDrop::runTask(Work work, Done done) {
    using Result = std::invoke_result_t<Work&>;
    beginTask();
    QtConcurrent::run(&m_pool, std::move(work)).then(this, [this, done = std::move(done)](Result result) {
        done(result);
        endTask();
    });
}

// ---- Classification ----

PanelDrop::Kind PanelDrop::classify(const QUrl& url) {
    if (!url.isValid())
        return Kind::unsupported;
    if (url.isLocalFile()) {
        const QString extension = lowerCaseExtension(lastPathComponent(url));
        if (extension == QLatin1String("apns"))
            return Kind::push;
        static const QStringList certificateExtensions = {QStringLiteral("cer"), QStringLiteral("crt"),
                                                          QStringLiteral("der"), QStringLiteral("pem")};
        if (certificateExtensions.contains(extension))
            return Kind::certificate;
        if (extension == QLatin1String("app"))
            return Kind::app;
        if (extension.isEmpty())
            return Kind::unsupported;
        // Only the name is looked at: a made-up name with the extension, so neither the file's
        // contents nor the rest of its name can change the answer.
        const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("item.") + extension,
                                                               QMimeDatabase::MatchExtension);
        if (!type.isValid() || type.isDefault())
            return Kind::unsupported;
        return isMediaType(type) ? Kind::media : Kind::unsupported;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme.isEmpty() || scheme == QLatin1String("file") || scheme == QLatin1String("javascript") ||
        scheme == QLatin1String("data"))
        return Kind::unsupported;
    return Kind::link;
}

std::optional<QString> PanelDrop::targetBundle(const QByteArray& payload) {
    const nlohmann::json json = nlohmann::json::parse(payload.begin(), payload.end(), nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return std::nullopt;
    const auto value = json.find("Simulator Target Bundle");
    if (value == json.end() || !value->is_string())
        return std::nullopt;
    return QString::fromStdString(value->get<std::string>());
}

QString PanelDrop::absoluteString(const QUrl& url) {
    return QString::fromUtf8(url.toEncoded());
}

bool PanelDrop::openURLOnSimulator(const QString& udid, const QString& link) {
    return runTool(ToolPaths::xcrun(),
                   QStringList{QStringLiteral("simctl"), QStringLiteral("openurl"), udid, link})
        .has_value();
}

bool PanelDrop::confirmCertificates(const QList<QUrl>& urls, const SimulatorDevice& simulator) {
    QStringList names;
    for (const QUrl& url : urls)
        names.append(quoted(withoutExtension(lastPathComponent(url))));
    Alert alert;
    alert.message = QStringLiteral("Trust ") + names.join(QStringLiteral(", ")) + QStringLiteral(" on ") +
                    simulator.name + QStringLiteral("?");
    alert.informativeText =
        QStringLiteral("The simulator trusts everything signed by %1, for every app. Only add certificates "
                       "you know, like your proxy\u2019s (Proxyman, Charles, mitmproxy).")
            .arg(urls.size() > 1 ? QStringLiteral("these certificates") : QStringLiteral("this certificate"));
    alert.style = Alert::Style::Warning;
    alert.buttons = {{QStringLiteral("Trust")}, {QStringLiteral("Cancel")}};
    return Dialogs::shared().runAlert(alert) == Dialogs::kFirstButton;
}

// ---- Drop handling ----

void PanelDrop::handle(const QList<QUrl>& urls) {
    QStringList texts;
    for (const QUrl& url : urls)
        texts.append(absoluteString(url));
    handleItems(urls, texts);
}

void PanelDrop::handleUriList(const QByteArray& uriList) {
    // One item per line; lines starting with "#" are comments; CR LF or a bare LF end a line.
    QList<QUrl> urls;
    QStringList texts;
    for (const QByteArray& rawLine : uriList.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        urls.append(QUrl::fromEncoded(line));
        texts.append(QString::fromUtf8(line));
    }
    handleItems(urls, texts);
}

void PanelDrop::handleItems(const QList<QUrl>& urls, const QStringList& texts) {
    if (const auto device = m_target.physicalDevice()) {
        handleOnDevice(urls, texts, *device);
        return;
    }
    const auto simulator = m_target.simulator();
    if (!simulator) {
        Toast::show(QStringLiteral("No simulator running"),
                    QStringLiteral("Start a simulator to drop files on it."), kDropSymbol, true);
        return;
    }
    handleOnSimulator(urls, texts, *simulator);
}

void PanelDrop::handleOnDevice(const QList<QUrl>& urls, const QStringList& texts,
                               const PhysicalDevice& device) {
    if (urls.isEmpty())
        return;
    QStringList links;
    for (qsizetype i = 0; i < urls.size(); ++i)
        if (classify(urls[i]) == Kind::link)
            links.append(texts[i]);
    const QString detail =
        QStringLiteral("Files need a simulator; ") + device.name + QStringLiteral(" is a physical device.");
    if (links.isEmpty()) {
        Toast::show(QStringLiteral("Drop links on ") + device.name, detail, kDropSymbol, true);
        return;
    }

    // The notice about the files is decided once every open has ended: decided earlier it would
    // claim links were opened when none was, and it must never replace a failure's toast.
    struct Opens {
        qsizetype remaining;
        bool anyFailed = false;
    };
    const auto opens = std::make_shared<Opens>(Opens{links.size()});
    const bool onlyLinks = links.size() == urls.size();
    for (const QString& text : links) {
        runTask([text, id = device.id] { return PhysicalDeviceTools::openURL(text, id); },
                [this, opens, onlyLinks, text, detail, name = device.name](bool opened) {
                    if (opened) {
                        Toast::show(QStringLiteral("Opened on ") + name, text, kLinkSymbol, false);
                    } else {
                        opens->anyFailed = true;
                        Toast::show(QStringLiteral("Didn\u2019t work on ") + name,
                                    QStringLiteral("Is it unlocked and connected?"), kLinkSymbol, true);
                    }
                    if (--opens->remaining == 0 && !onlyLinks && !opens->anyFailed)
                        showLater(QStringLiteral("Opened the links only"), detail);
                });
    }
}

void PanelDrop::handleOnSimulator(const QList<QUrl>& urls, const QStringList& texts,
                                  const SimulatorDevice& simulator) {
    std::map<Kind, QList<QUrl>> groups;
    QStringList links;
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const Kind kind = classify(urls[i]);
        groups[kind].append(urls[i]);
        if (kind == Kind::link)
            links.append(texts[i]);
    }
    const auto group = [&groups](Kind kind) {
        const auto found = groups.find(kind);
        return found == groups.end() ? QList<QUrl>() : found->second;
    };

    if (const QList<QUrl> unsupported = group(Kind::unsupported); !unsupported.isEmpty()) {
        const QString title =
            unsupported.size() == 1
                ? QStringLiteral("Can\u2019t use ") + quoted(lastPathComponent(unsupported.front()))
                : QStringLiteral("Can\u2019t use %1 of the files").arg(unsupported.size());
        const QString detail =
            QStringLiteral("Drop push payloads, certificates, photos, videos, apps, or links.");
        if (groups.size() == 1) {
            Toast::show(title, detail, kDropSymbol, true);
            return;
        }
        showLater(title, detail);
    }

    const std::optional<SimulatorApp> panelApp = m_target.app();
    if (const QList<QUrl> pushes = group(Kind::push); !pushes.isEmpty())
        sendPushFiles(pushes, simulator, panelApp);
    for (const QString& link : links)
        openLink(link, simulator, panelApp);

    if (const QList<QUrl> media = group(Kind::media); !media.isEmpty()) {
        std::vector<std::filesystem::path> paths;
        for (const QUrl& url : media)
            paths.push_back(localPath(url));
        const QString title = media.size() == 1
                                  ? QStringLiteral("Added 1 item to ") + simulator.name
                                  : QStringLiteral("Added %1 items to ").arg(media.size()) + simulator.name;
        runOnSimulator(
            title, [paths, udid = simulator.udid] { return DeviceTools::addMedia(paths, udid); },
            QStringLiteral("photo.stack"));
    }

    const QList<QUrl> certificates = group(Kind::certificate);
    const QList<QUrl> apps = group(Kind::app);
    if (certificates.isEmpty()) {
        for (const QUrl& url : apps)
            installApp(url, simulator);
        return;
    }
    // The confirmation is modal: asked from within the drop it would hold up the drag source
    // until the user answers. The apps follow the answer, as they would have followed the alert.
    beginTask();
    QMetaObject::invokeMethod(
        this,
        [this, certificates, apps, simulator] {
            trustCertificates(certificates, simulator);
            for (const QUrl& url : apps)
                installApp(url, simulator);
            endTask();
        },
        Qt::QueuedConnection);
}

// ---- Per-kind actions ----

void PanelDrop::sendPushFiles(const QList<QUrl>& urls, const SimulatorDevice& simulator,
                              const std::optional<SimulatorApp>& panelApp) {
    std::vector<std::filesystem::path> paths;
    for (const QUrl& url : urls)
        paths.push_back(localPath(url));
    runTask(
        [paths] {
            std::vector<std::optional<QByteArray>> contents;
            for (const auto& path : paths)
                contents.push_back(readRegularFile(path, kMaxPayloadFileBytes));
            return contents;
        },
        [this, urls, simulator, panelApp](const std::vector<std::optional<QByteArray>>& contents) {
            for (qsizetype i = 0; i < urls.size(); ++i)
                sendPushFile(urls[i], contents[static_cast<size_t>(i)], simulator, panelApp);
        });
}

void PanelDrop::sendPushFile(const QUrl& url, const std::optional<QByteArray>& contents,
                             const SimulatorDevice& simulator, const std::optional<SimulatorApp>& panelApp) {
    const QString name = lastPathComponent(url);
    const std::optional<QString> text = contents ? decodeUtf8(*contents) : std::nullopt;
    if (!text) {
        Toast::show(QStringLiteral("Couldn\u2019t read ") + quoted(name), std::nullopt, kPushSymbol, true);
        return;
    }
    if (const auto problem = SimulatorActions::validatePushPayload(*text)) {
        Toast::show(quoted(name) + QStringLiteral(" isn\u2019t a valid payload"), *problem, kPushSymbol,
                    true);
        return;
    }

    std::optional<QString> bundleID = targetBundle(*contents);
    if (!bundleID && panelApp)
        bundleID = panelApp->id;
    std::optional<SimulatorApp> app;
    std::optional<SimulatorInstall> install;
    if (bundleID) {
        for (const SimulatorApp& candidate : m_apps.apps()) {
            if (candidate.id != *bundleID)
                continue;
            app = candidate;
            if (const SimulatorInstall* found = candidate.install(simulator.udid))
                install = *found;
            break;
        }
    }
    if (!app || !install) {
        const QString subject = bundleID ? *bundleID : QStringLiteral("The app");
        Toast::show(subject + QStringLiteral(" isn\u2019t installed on ") + simulator.name, std::nullopt,
                    kPushSymbol, true);
        return;
    }
    m_actions.perform(SimulatorActions::Kind::push(withoutExtension(name), *text), *app, *install);
}

void PanelDrop::openLink(const QString& text, const SimulatorDevice& simulator,
                         const std::optional<SimulatorApp>& panelApp) {
    if (panelApp) {
        if (const SimulatorInstall* install = panelApp->install(simulator.udid)) {
            // Through the actions, so the link lands in the history and can be repeated. Their
            // delivery runs simctl on the GUI thread; queued, it runs after the drop has returned.
            beginTask();
            QMetaObject::invokeMethod(
                this,
                [this, text, app = *panelApp, target = *install] {
                    m_actions.perform(SimulatorActions::Kind::deepLink(text), app, target);
                    endTask();
                },
                Qt::QueuedConnection);
            return;
        }
    }
    runOnSimulator(
        QStringLiteral("Opened ") + text,
        [udid = simulator.udid, text] { return openURLOnSimulator(udid, text); }, kLinkSymbol);
}

void PanelDrop::trustCertificates(const QList<QUrl>& urls, const SimulatorDevice& simulator) {
    if (!confirmCertificates(urls, simulator))
        return;
    for (const QUrl& url : urls) {
        runOnSimulator(
            QStringLiteral("Trusted ") + quoted(withoutExtension(lastPathComponent(url))),
            [path = localPath(url), udid = simulator.udid] {
                return DeviceTools::addRootCertificate(path, udid);
            },
            QStringLiteral("checkmark.seal"));
    }
}

void PanelDrop::installApp(const QUrl& url, const SimulatorDevice& simulator) {
    const QString name = withoutExtension(lastPathComponent(url));
    Toast::show(QStringLiteral("Installing ") + name + QStringLiteral("\u2026"), std::nullopt, kInstallSymbol,
                false);
    runTask(
        [path = localPath(url), udid = simulator.udid] {
            if (!DeviceTools::installApp(path, udid))
                return false;
            // A failed launch is not reported: the app is installed, which is what was asked.
            if (const auto identifier = bundleIdentifier(path))
                DeviceTools::launchApp(*identifier, udid);
            return true;
        },
        [this, name, simulatorName = simulator.name](bool installed) {
            if (!installed) {
                Toast::show(QStringLiteral("Couldn\u2019t install ") + name,
                            QStringLiteral("Is it built for the simulator?"), kInstallSymbol, true);
                return;
            }
            // Told once the inventory lists the new app, so the menus already show it.
            beginTask();
            const auto report = [this, name, simulatorName] {
                Toast::show(QStringLiteral("Installed ") + name, QStringLiteral("on ") + simulatorName,
                            QStringLiteral("checkmark.circle"), false);
                endTask();
            };
            m_apps.refresh().then(this, report).onCanceled(this, report);
        });
}

// ---- Shared runners ----

void PanelDrop::runOnSimulator(const QString& title, std::function<bool()> work, const QString& symbol) {
    runTask(std::move(work), [title, symbol](bool succeeded) {
        if (succeeded)
            Toast::show(title, std::nullopt, symbol, false);
        else
            Toast::show(QStringLiteral("Couldn\u2019t do that on the simulator"), std::nullopt, symbol, true);
    });
}

void PanelDrop::showLater(const QString& title, const QString& detail) {
    const auto slot = m_notices.insert(m_notices.end(), nullptr);
    *slot = m_clock.schedule(kNoticeDelay, [this, slot, title, detail] {
        Toast::show(title, detail, kDropSymbol, true);
        // A pending call cannot be released from inside itself.
        QMetaObject::invokeMethod(
            this, [this, slot] { m_notices.erase(slot); }, Qt::QueuedConnection);
    });
}

void PanelDrop::beginTask() {
    ++m_pending;
}

void PanelDrop::endTask() {
    if (--m_pending == 0)
        emit tasksFinished();
}

} // namespace quorvex
