// Delivery of one action to one simulator: the payload check, the templates, the temporary
// payload file and the two simctl commands.
#include "actions/SimulatorActions.h"

#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quorvex {
namespace {

std::optional<QString> openURL(const QString& url, const QString& udid) {
    // Strict parsing, untrimmed: a space anywhere makes the text no URL, and the text must name
    // its scheme ("myapp:" alone is enough).
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme().isEmpty())
        return QStringLiteral("\u201C") + url + QStringLiteral("\u201D isn\u2019t a valid URL.");
    // The text goes to simctl exactly as typed, not as the parser would write it back.
    if (!runTool(ToolPaths::xcrun(),
                 QStringList{QStringLiteral("simctl"), QStringLiteral("openurl"), udid, url}))
        return QStringLiteral(
            "The simulator couldn\u2019t open it. Is the URL scheme registered by an installed app?");
    return std::nullopt;
}

// The user's temporary folder, as TMPDIR names it. Not QDir::tempPath(): that gives an empty
// path (the working folder) when TMPDIR names a folder that does not exist.
QString temporaryFolder() {
    const QString folder = qEnvironmentVariable("TMPDIR");
    return QDir::cleanPath(folder.isEmpty() ? QStringLiteral("/tmp") : folder);
}

// The temporary folder is shared between users here, so the payload file is created exclusively
// (never through a link or over a file someone else put there) and readable by its owner only.
// It is removed when this goes out of scope, whatever happened in between.
class PayloadFile final {
public:
    PayloadFile()
        : m_path(QDir(temporaryFolder())
                     .filePath(QStringLiteral("quorvex-push-") +
                               QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
                               QStringLiteral(".apns"))) {}
    PayloadFile(const PayloadFile&) = delete;
    PayloadFile& operator=(const PayloadFile&) = delete;
    ~PayloadFile() {
        // Only a file this call created is removed; a failed removal is ignored.
        if (m_created)
            ::unlink(QFile::encodeName(m_path).constData());
    }

    const QString& path() const { return m_path; }

    /// Writes the bytes; returns the error text on failure.
    std::optional<QString> write(const QByteArray& bytes) {
        const QByteArray native = QFile::encodeName(m_path);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return failure(errno);
        m_created = true;
        qsizetype written = 0;
        while (written < bytes.size()) {
            const ssize_t n =
                ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                const int error = n < 0 ? errno : EIO;
                ::close(fd);
                return failure(error);
            }
            written += n;
        }
        if (::close(fd) != 0 && errno != EINTR)
            return failure(errno);
        return std::nullopt;
    }

private:
    QString failure(int error) const {
        const QFileInfo info(m_path);
        return QStringLiteral(
                   "The file \u201C%1\u201D couldn\u2019t be saved in the folder \u201C%2\u201D (%3).")
            .arg(info.fileName(), QFileInfo(info.path()).fileName(),
                 QString::fromLocal8Bit(std::strerror(error)));
    }

    QString m_path;
    bool m_created = false;
};

std::optional<QString> sendPush(const QString& payload, const QString& bundleID, const QString& udid) {
    if (auto problem = SimulatorActions::validatePushPayload(payload))
        return problem;
    PayloadFile file;
    if (auto error = file.write(payload.toUtf8()))
        return error;
    if (!runTool(ToolPaths::xcrun(),
                 QStringList{QStringLiteral("simctl"), QStringLiteral("push"), udid, bundleID, file.path()}))
        return QStringLiteral("simctl couldn\u2019t deliver the notification.");
    return std::nullopt;
}

} // namespace

std::optional<QString> SimulatorActions::validatePushPayload(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    // A top-level scalar is not a payload document at all, so it reads as invalid JSON rather
    // than as a JSON value that is not an object.
    const nlohmann::json payload = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (payload.is_discarded() || !payload.is_structured())
        return QStringLiteral("The payload isn\u2019t valid JSON.");
    if (!payload.is_object())
        return QStringLiteral("The payload must be a JSON object.");
    const auto aps = payload.find("aps");
    if (aps == payload.end() || !aps->is_object())
        return QStringLiteral("The payload needs an \"aps\" dictionary.");
    return std::nullopt;
}

const std::vector<SimulatorActions::PushTemplate>& SimulatorActions::pushTemplates() {
    static const std::vector<PushTemplate> templates = {
        {QStringLiteral("Alert"),
         QStringLiteral("{\n"
                        "  \"aps\": {\n"
                        "    \"alert\": { \"title\": \"Hello\", \"body\": \"This is a test "
                        "notification.\" },\n"
                        "    \"sound\": \"default\"\n"
                        "  }\n"
                        "}")},
        {QStringLiteral("Alert with Badge"),
         QStringLiteral("{\n"
                        "  \"aps\": {\n"
                        "    \"alert\": { \"title\": \"3 new messages\", \"body\": "
                        "\"Tap to read them.\" },\n"
                        "    \"badge\": 3,\n"
                        "    \"sound\": \"default\"\n"
                        "  }\n"
                        "}")},
        {QStringLiteral("Silent Background"), QStringLiteral("{\n"
                                                             "  \"aps\": { \"content-available\": 1 },\n"
                                                             "  \"refresh\": true\n"
                                                             "}")},
        {QStringLiteral("Custom Data"),
         QStringLiteral("{\n"
                        "  \"aps\": { \"alert\": \"Your order shipped\", \"sound\": "
                        "\"default\" },\n"
                        "  \"orderID\": \"12345\",\n"
                        "  \"deepLink\": \"myapp://orders/12345\"\n"
                        "}")},
    };
    return templates;
}

std::optional<QString> SimulatorActions::send(const Kind& kind, const QString& bundleID,
                                              const QString& udid) {
    if (const auto* link = kind.asDeepLink())
        return openURL(link->url, udid);
    return sendPush(kind.asPush()->payload, bundleID, udid);
}

} // namespace quorvex
