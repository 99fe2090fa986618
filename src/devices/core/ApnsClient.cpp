#include "devices/core/ApnsClient.h"

#include "devices/core/DevicesLog.h"
#include <QPromise>

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <cstring>
#include <memory>

namespace quorvex {

namespace {

size_t collect(char* data, size_t size, size_t count, void* target) {
    static_cast<QByteArray*>(target)->append(data, qsizetype(size * count));
    return size * count;
}

// Runs once the connection is up and before any byte of the request is written: the request
// carries the signed provider token, so it goes out only over a connection on which the server
// agreed to HTTP/2 in the TLS handshake.
int refuseWithoutHttp2(void* handle, char*, char*, int, int) {
    const curl_tlssessioninfo* session = nullptr;
    if (curl_easy_getinfo(static_cast<CURL*>(handle), CURLINFO_TLS_SSL_PTR, &session) != CURLE_OK ||
        !session || session->backend != CURLSSLBACKEND_OPENSSL || !session->internals)
        return CURL_PREREQFUNC_ABORT;
    const unsigned char* protocol = nullptr;
    unsigned int length = 0;
    SSL_get0_alpn_selected(static_cast<const SSL*>(session->internals), &protocol, &length);
    return length == 2 && std::memcmp(protocol, "h2", 2) == 0 ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
}

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

} // namespace

ApnsClient::ApnsClient()
    : ApnsClient(Options{}) {}

ApnsClient::ApnsClient(Options options)
    : m_options(std::move(options)) {
    static std::once_flag global;
    std::call_once(global, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_multi = curl_multi_init();
    m_easy = curl_easy_init();
    m_worker = std::thread([this] { run(); });
}

ApnsClient::~ApnsClient() {
    {
        std::lock_guard lock(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    // Ends a wait in the multi loop at once; curl_multi_wakeup may be called from any thread.
    if (m_multi)
        curl_multi_wakeup(static_cast<CURLM*>(m_multi));
    m_worker.join();
    if (m_easy)
        curl_easy_cleanup(static_cast<CURL*>(m_easy));
    if (m_multi)
        curl_multi_cleanup(static_cast<CURLM*>(m_multi));
}

ApnsClient& ApnsClient::shared() {
    static ApnsClient client;
    return client;
}

QFuture<ApnsClient::Response> ApnsClient::send(Apns::Request request) {
    auto promise = std::make_shared<QPromise<Response>>();
    QFuture<Response> future = promise->future();
    promise->start();
    const auto task = [this, promise, request = std::move(request)](bool stopped) {
        Response response;
        if (stopped)
            response.error = kStopped;
        else
            response = perform(request);
        promise->addResult(std::move(response));
        promise->finish();
    };
    {
        std::lock_guard lock(m_lock);
        if (!m_stopping) {
            m_queue.push_back(task);
            m_wake.notify_one();
            return future;
        }
    }
    task(true);
    return future;
}

void ApnsClient::run() {
    for (;;) {
        Task task;
        {
            std::unique_lock lock(m_lock);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            task = std::move(m_queue.front());
            m_queue.pop_front();
        }
        // Once stopping, the rest of the queue only hears that it was abandoned.
        task(m_stopping);
    }
}

ApnsClient::Response ApnsClient::perform(const Apns::Request& request) {
    Response response;
    CURL* handle = static_cast<CURL*>(m_easy);
    CURLM* multi = static_cast<CURLM*>(m_multi);
    if (!handle || !multi) {
        response.error = QStringLiteral("The HTTP client couldn’t start.");
        return response;
    }
    // Options are set afresh for every request; the connection cache of the handle survives
    // curl_easy_reset, so the HTTP/2 connection is still reused.
    curl_easy_reset(handle);
    std::unique_ptr<curl_slist, SlistFree> headers;
    curl_slist* list = nullptr;
    for (const auto& [name, value] : request.headers)
        list = curl_slist_append(list, (name + ": " + value).c_str());
    // An empty value after the colon removes a header curl would otherwise add by itself.
    for (const char* suppressed : {"Accept:", "Content-Type:", "Content-Length:", "User-Agent:", "Expect:"})
        list = curl_slist_append(list, suppressed);
    headers.reset(list);
    std::unique_ptr<curl_slist, SlistFree> connectTo;
    if (m_options.connectTo)
        connectTo.reset(curl_slist_append(nullptr, m_options.connectTo->c_str()));

    curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.constData());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, request.timeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &response.body);
    curl_easy_setopt(handle, CURLOPT_PREREQFUNCTION, refuseWithoutHttp2);
    curl_easy_setopt(handle, CURLOPT_PREREQDATA, handle);
    if (connectTo)
        curl_easy_setopt(handle, CURLOPT_CONNECT_TO, connectTo.get());
    if (m_options.caFile)
        curl_easy_setopt(handle, CURLOPT_CAINFO, m_options.caFile->c_str());

    // The multi loop instead of curl_easy_perform, so that the destructor can wake the wait.
    CURLcode result = CURLE_OK;
    curl_multi_add_handle(multi, handle);
    for (int running = 1; running > 0;) {
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            break;
        if (running > 0 && !m_stopping)
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        if (m_stopping) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left))
        if (message->msg == CURLMSG_DONE && message->easy_handle == handle && !m_stopping)
            result = message->data.result;
    curl_multi_remove_handle(multi, handle);
    if (m_stopping) {
        response.body.clear();
        response.error = kStopped;
        return response;
    }
    if (result == CURLE_ABORTED_BY_CALLBACK) {
        response.body.clear();
        response.error = QStringLiteral("The server doesn’t offer HTTP/2, so nothing was sent.");
        qCWarning(devicesLog) << "push not sent: the server did not agree to HTTP/2";
        return response;
    }
    if (result != CURLE_OK) {
        response.body.clear();
        response.error = QString::fromUtf8(curl_easy_strerror(result));
        qCWarning(devicesLog) << "push request failed:" << response.error;
        return response;
    }
    long version = 0;
    curl_easy_getinfo(handle, CURLINFO_HTTP_VERSION, &version);
    response.http2 = version == CURL_HTTP_VERSION_2_0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.status);
    // Status only: the body may name the device token, and the request carries the signed key.
    qCDebug(devicesLog) << "push answered with status" << response.status;
    return response;
}

} // namespace quorvex
