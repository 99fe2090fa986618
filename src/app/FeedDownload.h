#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace quorvex {

/// Fetches an update feed over http, https or file with libcurl, synchronously: call it from a
/// worker thread. Redirects are followed (at most 5, to http or https only); the whole fetch is
/// bounded by `timeoutSeconds` and the body by 8 MiB. An HTTP status of 400 or more is an error.
struct FeedDownload {
    QByteArray body;
    QString error; // empty on success; a sentence for the user otherwise

    static FeedDownload fetch(const QUrl& url, long timeoutSeconds = 30);
    static constexpr qint64 maximumSize = 8 * 1024 * 1024;
};

} // namespace quorvex
