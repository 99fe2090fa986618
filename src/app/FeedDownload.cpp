#include "app/FeedDownload.h"

#include <QCoreApplication>

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace quorvex {
namespace {

struct Sink {
    QByteArray data;
    bool tooLarge = false;
};

size_t append(char* bytes, size_t size, size_t count, void* context) {
    auto* sink = static_cast<Sink*>(context);
    const size_t n = size * count;
    if (sink->data.size() + qint64(n) > FeedDownload::maximumSize) {
        sink->tooLarge = true;
        return 0; // makes curl stop with a write error
    }
    sink->data.append(bytes, qsizetype(n));
    return n;
}

} // namespace

FeedDownload FeedDownload::fetch(const QUrl& url, long timeoutSeconds) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    FeedDownload result;
    std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        result.error = QStringLiteral("The network library could not start.");
        return result;
    }
    Sink sink;
    char message[CURL_ERROR_SIZE] = {};
    const QByteArray address = url.toEncoded();
    const QByteArray agent = "Quorvex/" + QCoreApplication::applicationVersion().toUtf8();
    curl_easy_setopt(curl.get(), CURLOPT_URL, address.constData());
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https,file");
    curl_easy_setopt(curl.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, std::min(timeoutSeconds, 10L));
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_MAXFILESIZE_LARGE, curl_off_t(maximumSize));
    curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, agent.constData());
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, message);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, append);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &sink);

    const CURLcode code = curl_easy_perform(curl.get());
    if (code == CURLE_OK) {
        result.body = std::move(sink.data);
        return result;
    }
    if (sink.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.error =
            QStringLiteral("The update feed is larger than %1 MB.").arg(maximumSize / (1024 * 1024));
    } else if (code == CURLE_HTTP_RETURNED_ERROR) {
        long status = 0;
        curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
        result.error = QStringLiteral("The update server answered with status %1.").arg(status);
    } else {
        const QString detail = QString::fromUtf8(message[0] ? message : curl_easy_strerror(code)).trimmed();
        result.error = QStringLiteral("The update feed could not be loaded: %1").arg(detail);
    }
    return result;
}

} // namespace quorvex
